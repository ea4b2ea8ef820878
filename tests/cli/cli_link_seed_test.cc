// The stored link seed: a project with one gives at every build (--strict
// too) the site `build --seed` gives with that number; removing it gives back
// the file without it; bad values leave the file alone.
#include <algorithm>
#include <filesystem>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "tests/cli/CliTestUtil.h"

namespace orvana::cli {
namespace {

using testing::ReadWholeFile;
using testing::RunTool;

// Every file of a folder with its bytes, in name order.
std::string FolderBytes(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files(std::filesystem::directory_iterator(folder), {});
  std::sort(files.begin(), files.end());
  std::string all;
  for (const auto& file : files) all += file.filename().string() + "\n" + ReadWholeFile(file);
  return all;
}

TEST(CliLinkSeedTest, StoredSeedGivesTheSiteOfThatSeedAtEveryBuild) {
  std::mt19937_64 random(4711);
  testing::TempDir dir;
  std::string text, links;
  for (int i = 0; i < 200; ++i)
    text += "Слово " + std::to_string(i) + " в тексте.\n\n",
        links += "http://a" + std::to_string(i % 40) + ".org/\n";
  testing::WriteWholeFile(dir / "text", text);
  testing::WriteWholeFile(dir / "links", links);
  for (int round = 0; round < 6; ++round) {
    const uint64_t number = random();
    const std::string seed = std::to_string(number), out = dir / std::to_string(round);
    const std::string project = out + ".orvana";
    std::filesystem::create_directory(out);
    ASSERT_EQ(RunTool({"new", project, "--text", dir / "text", "--links", dir / "links", "--out",
                       out, "--min", "300", "--max", "600", "--output-encoding", "utf-8",
                       round % 2 ? "--safe-links" : "--prune"})
                  .code,
              0);
    const std::string plain = ReadWholeFile(project);
    ASSERT_EQ(RunTool({"build", project, "--seed", seed}).code, 0);
    const std::string by_option = FolderBytes(out);
    ASSERT_EQ(RunTool({"build", project, "--seed", std::to_string(number ^ 1)}).code, 0);
    ASSERT_NE(FolderBytes(out), by_option);
    for (const char* bad : {"-1", "18446744073709551616", "12a", ""})
      EXPECT_EQ(RunTool({"set", project, "--link-seed", bad}).code, 2) << bad;
    EXPECT_EQ(ReadWholeFile(project), plain);
    ASSERT_EQ(RunTool({"set", project, "--link-seed", seed}).code, 0);
    for (const char* how : {"--no-prune", "--strict"}) {
      ASSERT_EQ(RunTool({"build", project, how}).code, 0);
      EXPECT_EQ(FolderBytes(out), by_option) << "seed " << seed << ", " << how;
    }
    ASSERT_EQ(RunTool({"set", project, "--link-seed", "none"}).code, 0);
    EXPECT_EQ(ReadWholeFile(project), plain);
  }
}

}  // namespace
}  // namespace orvana::cli
