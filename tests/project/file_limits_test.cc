// How far the reader reads a project file: never past a line it cannot take,
// never past the largest file it takes.
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "ObjectText.h"
#include "ProjectFile.h"
#include "ProjectTestUtil.h"

namespace orvana::test {
namespace {

// The project as written back with the warnings, or the error.
std::string Outcome(const std::function<void(TSiteGenerator&, const TProjectReadContext&)>& read) {
  TSiteGenerator g;
  std::string warnings;
  TProjectReadContext context;
  context.warning = [&](const std::string& w) { warnings += w + "\n"; };
  try {
    read(g, context);
  } catch (const EOrvanaError& e) {
    return std::string("error: ") + e.what();
  }
  return WriteProjectText(g) + warnings;
}

TEST(ProjectFileLimits, EndlessLinesAndFilesOverTheLimitFailEarly) {
  TempDir dir;
  // 64 GiB, nearly all a hole: read whole, it would not fit in memory.
  WriteWholeFile(dir / "endless.prj", "object Gen: TSiteGenerator\r\n" + std::string(5000, 'x'));
  ASSERT_EQ(::truncate((dir / "endless.prj").c_str(), off_t{64} << 30), 0);
  WriteWholeFile(dir / "small.prj", CrLfLines({"object Gen: TSiteGenerator", "end"}));
  TSiteGenerator g;
  const struct {
    std::string file;
    uint64_t limit;
    std::string message;
  } cases[] = {
      {dir / "endless.prj", uint64_t{128} << 30, "Line too long on line 2"},
      {dir / "endless.prj", kMaxProjectFileBytes, "File too large (more than 16 GiB)"},
      {dir / "small.prj", 20, "File too large (more than 20 bytes)"},
  };
  for (const auto& c : cases) {
    const std::string message =
        c.message[0] == 'F' ? "Cannot open file \"" + c.file + "\". " + c.message : c.message;
    ExpectThrowsMessage<EOrvanaError>([&] { LoadProjectFile(c.file, g, {}, c.limit); }, message);
  }
}

TEST(ProjectFileLimits, AFileEndingInALongLineReadsAsItsWholeText) {
  TSiteGenerator g;
  g.SetSiteTitle("Title");
  g.SetSiteText({"one", std::string(300, 'w')});
  TOrvanaExtras extras;
  extras.PagerWindow = 2;
  g.SetExtras(extras);
  const std::string whole = WriteProjectText(g) + "junk\r\n" + WriteProjectText(g);
  TempDir dir;
  std::mt19937 random(11);
  for (int round = 0; round < 100; ++round) {
    // Cut after any byte, then a line of about the reader's limit to the end.
    std::string text = whole.substr(0, random() % (whole.size() + 1));
    text.append(object_text::kMaxLineBytes - 3 + random() % 40, " x'"[random() % 3]);
    WriteWholeFile(dir / "p.prj", text);
    EXPECT_EQ(Outcome([&](auto& g, auto& c) { LoadProjectFile(dir / "p.prj", g, c); }),
              Outcome([&](auto& g, auto& c) { ReadProjectText(text, g, c); }))
        << text.substr(0, text.size() - object_text::kMaxLineBytes);
  }
}

}  // namespace
}  // namespace orvana::test
