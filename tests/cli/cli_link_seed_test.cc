// The stored link seed: whatever else the project holds, a project with one
// gives the same site at every build, the site `build --seed` gives with that
// number, and a project without one is saved as it was.
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
using testing::TempDir;
using testing::WriteWholeFile;

// Every file of a folder with its bytes, in name order.
std::string FolderBytes(const std::filesystem::path& folder) {
  std::string all;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) files.push_back(entry);
  std::sort(files.begin(), files.end());
  for (const auto& file : files) all += file.filename().string() + "\n" + ReadWholeFile(file);
  return all;
}

TEST(CliLinkSeedTest, StoredSeedGivesTheSameSiteAsThatSeedEveryBuild) {
  std::mt19937_64 random(4711);
  TempDir dir;
  std::string text;
  for (int i = 0; i < 200; ++i) text += "Слово " + std::to_string(i) + " в тексте стоит.\n\n";
  WriteWholeFile(dir / "text", text);
  std::string links;
  for (int i = 0; i < 40; ++i) links += "http://a" + std::to_string(i) + ".org/\n";
  WriteWholeFile(dir / "links", links);
  for (int round = 0; round < 6; ++round) {
    const uint64_t number = random();
    const std::string seed = std::to_string(number);
    const std::filesystem::path out = dir / ("out" + std::to_string(round));
    std::filesystem::create_directory(out);
    const std::string project = dir / ("p" + std::to_string(round) + ".orvana");
    std::vector<std::string> args = {
        "new", project, "--text", dir / "text", "--links", dir / "links",       "--out",
        out,   "--min", "300",    "--max",      "600",     "--output-encoding", "utf-8"};
    if (round % 2) args.push_back("--safe-links");
    ASSERT_EQ(RunTool(args).code, 0);
    const std::string plain = ReadWholeFile(project);
    ASSERT_EQ(RunTool({"build", project, "--seed", seed}).code, 0);
    const std::string by_option = FolderBytes(out);
    // Another seed places the links elsewhere: the comparison can tell.
    ASSERT_EQ(RunTool({"build", project, "--seed", std::to_string(number ^ 1)}).code, 0);
    ASSERT_NE(FolderBytes(out), by_option);
    ASSERT_EQ(RunTool({"set", project, "--link-seed", seed}).code, 0);
    EXPECT_NE(ReadWholeFile(project).find("LinkSeed = '" + seed + "'"), std::string::npos);
    for (int build = 0; build < 2; ++build) {
      ASSERT_EQ(RunTool({"build", project}).code, 0);
      EXPECT_EQ(FolderBytes(out), by_option) << "seed " << seed << ", build " << build;
    }
    const auto strict = RunTool({"build", project, "--strict"});
    ASSERT_EQ(strict.code, 0) << strict.err;
    EXPECT_EQ(FolderBytes(out), by_option) << "--strict, seed " << seed;
    // Removing it gives back the file without it, byte for byte.
    ASSERT_EQ(RunTool({"set", project, "--link-seed", "none"}).code, 0);
    EXPECT_EQ(ReadWholeFile(project), plain);
  }
}

TEST(CliLinkSeedTest, RandomDrawsAStoredNumberAndBadValuesLeaveTheFile) {
  TempDir dir;
  const std::string project = dir / "p.orvana";
  ASSERT_EQ(RunTool({"new", project}).code, 0);
  const std::string before = ReadWholeFile(project);
  for (const char* bad : {"-1", "18446744073709551616", "12a", "", " 5"})
    EXPECT_EQ(RunTool({"set", project, "--link-seed", bad}).code, 2) << bad;
  EXPECT_EQ(ReadWholeFile(project), before);
  ASSERT_EQ(RunTool({"set", project, "--link-seed", "random"}).code, 0);
  const std::string show = RunTool({"show", project, "--json"}).out;
  EXPECT_NE(show.find("\"LinkSeed\":\""), std::string::npos);
  EXPECT_EQ(show.find("\"LinkSeed\":\"\""), std::string::npos);
}

}  // namespace
}  // namespace orvana::cli
