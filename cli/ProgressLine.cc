#include "cli/ProgressLine.h"

#include <ostream>
#include <string>

namespace orvana::cli {
namespace {

constexpr std::chrono::seconds kQuietStart{1};
constexpr std::chrono::milliseconds kRedrawEvery{100};

bool progress_on_terminal = false;

}  // namespace

TProgressLine::TProgressLine(std::ostream& stream, bool enabled, TClock clock)
    : stream_(stream), enabled_(enabled), clock_(std::move(clock)), start_(clock_()) {}

TProgressLine::~TProgressLine() { Finish(); }

void TProgressLine::Update(long done, long total) {
  if (!enabled_) return;
  const auto now = clock_();
  if (now - start_ < kQuietStart) return;
  if (drawn_width_ > 0 && now - last_draw_ < kRedrawEvery && done != total) return;
  last_draw_ = now;
  std::string line = std::to_string(done) + " of " + std::to_string(total) + " pages written";
  const size_t width = line.size();
  // A shorter line than the last one must blank out the rest of it.
  if (width < drawn_width_) line.append(drawn_width_ - width, ' ');
  stream_ << '\r' << line << std::flush;
  drawn_width_ = std::max(width, drawn_width_);
}

void TProgressLine::Finish() {
  if (drawn_width_ == 0) return;
  stream_ << '\r' << std::string(drawn_width_, ' ') << '\r' << std::flush;
  drawn_width_ = 0;
}

void SetProgressOnTerminal(bool on) { progress_on_terminal = on; }
bool ProgressOnTerminal() { return progress_on_terminal; }

}  // namespace orvana::cli
