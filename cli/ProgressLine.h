// The progress line of a long build: "N of M pages written" on the error
// stream, redrawn in place with a carriage return and cleared at the end.
//
// It only appears on a terminal (the caller decides) and only once the build
// has run for a while, so short builds, pipes and logs never see it.
#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>

namespace orvana::cli {

class TProgressLine {
 public:
  using TClock = std::function<std::chrono::steady_clock::time_point()>;

  // Nothing is ever drawn unless `enabled`. The clock is read at construction
  // (the start of the build) and at each update.
  TProgressLine(std::ostream& stream, bool enabled, TClock clock = std::chrono::steady_clock::now);
  ~TProgressLine();
  TProgressLine(const TProgressLine&) = delete;
  TProgressLine& operator=(const TProgressLine&) = delete;

  // `done` of `total` pages written. Draws once a second has passed since
  // the start, then at most ten times a second, and always for the last page.
  void Update(long done, long total);

  // Clears the line if it was drawn; the stream is then where it was before.
  void Finish();

 private:
  std::ostream& stream_;
  bool enabled_;
  TClock clock_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
  size_t drawn_width_ = 0;
};

// Whether progress lines may be drawn on the error stream: the program turns
// it on when standard error is a terminal; off by default.
void SetProgressOnTerminal(bool on);
bool ProgressOnTerminal();

}  // namespace orvana::cli
