// Saving a project while its pages are made and dropped one at a time.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/FileSystem.h"
#include "engine/Notify.h"
#include "engine/SiteBuild.h"
#include "project/ProjectFile.h"
#include "tests/project/ProjectTestUtil.h"

namespace orvana::test {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void FillSite(TSiteGenerator& g) {
  TStringList text;
  for (int i = 0; i < 200; ++i) {
    text.push_back(W("Строка номер ") + std::to_string(i) + ". Words here 'and' there, again.");
    if (i % 4 == 0) text.emplace_back();
  }
  g.SetSiteText(text);
  TStringList urls;
  for (int i = 0; i < 40; ++i) urls.push_back("http://example.com/" + std::to_string(i));
  g.SetSiteUrlsToLink(urls);
  g.SetMinCharsPerPage(300);
  g.SetMaxCharsPerPage(600);
  g.SetSiteTemplate(
      "<title>SiteGeneratorChange.Title</title>\rSiteGeneratorChange.Menu\r"
      "SiteGeneratorChange.MainText\rSiteGeneratorChange.Pagination\r");
  g.SetCssCode("p {}\r");
  g.SetSiteTitle(W("Сайт"));
  g.SetName("Gen");
  g.SetRandomSeed(23);
}

class StreamSave : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "orvana-stream-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::create_directories(dir_ + "/site");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Generates the site page by page into dir_/site, streaming the project
  // into `project`; commits when `commit`.
  bool StreamBuild(TSiteGenerator& g, const std::string& project, TFileSystem* file_system,
                   const std::string& folder) {
    TProjectFileStream saved(g, project, file_system);
    TSiteBuildOptions options;
    options.folder = folder;
    options.on_page = [&](const TSitePage& page, const auto& bar, const auto& html) {
      saved.AddPage(page, bar, html);
    };
    const bool written =
        BuildSite(g, file_system ? *file_system : RealFileSystem(), options).outcome ==
        TBuildOutcome::kWritten;
    if (written) saved.Commit();
    return written;
  }

  std::string dir_;
};

TEST_F(StreamSave, WritesTheBytesOfAWholeSaveAfterGenerate) {
  TSiteGenerator whole;
  FillSite(whole);
  whole.Generate();
  ASSERT_GT(whole.Pages().Count(), 5);
  const std::string expected = WriteProjectText(whole);

  TSiteGenerator streamed;
  FillSite(streamed);
  const std::string project = dir_ + "/p.orvana";
  ASSERT_TRUE(StreamBuild(streamed, project, nullptr, dir_ + "/site"));
  EXPECT_EQ(ReadFile(project), expected);
  // Nothing of the replacement is left beside the project.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}), 2);
  // The pages were not kept whole in memory.
  EXPECT_EQ(streamed.Pages()[1].PageHTML, "");
}

TEST_F(StreamSave, AMissingFolderLeavesTheProjectAsItWas) {
  TSiteGenerator g;
  FillSite(g);
  const std::string project = dir_ + "/p.orvana";
  std::ofstream(project) << "old";
  TErrorBoxHandler previous = SetErrorBoxHandler([](const std::string&) {});
  EXPECT_FALSE(StreamBuild(g, project, nullptr, dir_ + "/absent"));
  SetErrorBoxHandler(std::move(previous));
  EXPECT_EQ(ReadFile(project), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}), 2);
}

TEST_F(StreamSave, ASiteThatFailsHalfWayLeavesTheProjectAsItWas) {
  TSiteGenerator g;
  FillSite(g);
  const std::string project = dir_ + "/p.orvana";
  std::ofstream(project) << "old";
  fs::create_directories(dir_ + "/site/page3.html");  // a folder in the way of a page
  EXPECT_THROW(StreamBuild(g, project, nullptr, dir_ + "/site"), EOrvanaError);
  EXPECT_EQ(ReadFile(project), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}), 2);
}

// A file system whose project replacement fails to open or to take bytes.
class TRefusingFileSystem final : public TFileSystem {
 public:
  explicit TRefusingFileSystem(TWriteFailure failure, bool at_open)
      : failure_(failure), at_open_(at_open) {}
  bool IsDirectory(const std::string& path) override { return RealFileSystem().IsDirectory(path); }
  bool ReplaceFile(const std::string& path, std::string_view bytes, TReplaceMode mode,
                   TWriteFailure* failure) override {
    if (mode == TReplaceMode::kDocument) {
      *failure = failure_;
      return false;
    }
    ++pages_;
    return RealFileSystem().ReplaceFile(path, bytes, mode, failure);
  }
  std::unique_ptr<TFileReplacement> BeginReplace(const std::string& path, TReplaceMode mode,
                                                 TWriteFailure* failure) override {
    if (at_open_ && mode == TReplaceMode::kDocument) {
      *failure = failure_;
      return nullptr;
    }
    return TFileSystem::BeginReplace(path, mode, failure);
  }
  TWriteFailure failure_;
  bool at_open_;
  int pages_ = 0;
};

TEST_F(StreamSave, AProjectThatCannotBeWrittenFailsAfterTheSiteAsAWholeSaveDoes) {
  for (const bool at_open : {true, false}) {
    TRefusingFileSystem file_system({TWriteFailure::kWrite, ENOSPC}, at_open);
    TSiteGenerator g;
    FillSite(g);
    try {
      StreamBuild(g, "/x/p.orvana", &file_system, dir_ + "/site");
      FAIL() << "no error";
    } catch (const EOrvanaError& e) {
      EXPECT_STREQ(e.what(),
                   "Stream write error: \"/x/p.orvana\". No space left on device (error 28)");
    }
    // Every page and the stylesheet were written before the error.
    EXPECT_EQ(file_system.pages_, g.Pages().Count() + 1) << at_open;
  }
}

}  // namespace
}  // namespace orvana::test

namespace orvana::test {
namespace {

TEST_F(StreamSave, AProjectIsSavedInChunksWithTheBytesOfTheWholeText) {
  TSiteGenerator g;
  FillSite(g);
  TStringList text;
  for (int i = 0; i < 30000; ++i)
    text.push_back(W("Длинная строка текста номер ") + std::to_string(i));
  g.SetSiteText(text);
  g.Generate();
  const std::string whole = WriteProjectText(g);
  std::string joined;
  int chunks = 0;
  WriteProjectTextInChunks(g, [&](std::string_view chunk) {
    joined += chunk;
    ++chunks;
  });
  EXPECT_EQ(joined, whole);
  EXPECT_GT(chunks, 2);
  const std::string project = dir_ + "/p.orvana";
  SaveProjectFile(g, project);
  EXPECT_EQ(ReadFile(project), whole);
}

}  // namespace
}  // namespace orvana::test
