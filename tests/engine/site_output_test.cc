#include "engine/SiteOutput.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "engine/Error.h"
#include "engine/FileSystem.h"
#include "engine/Notify.h"
#include "engine/SiteGenerator.h"
#include "tests/support/SiteWrite.h"
#include "tests/support/TestUtil.h"

namespace orvana {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

// Real folders under a fresh temporary directory; error boxes are recorded.
class SiteOutputTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("orvana-out-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    previous_ = SetErrorBoxHandler([this](const std::string& text) { boxes_.push_back(text); });
  }
  void TearDown() override {
    SetErrorBoxHandler(previous_);
    fs::remove_all(dir_);
  }
  // A site of `pages` pages of ten bytes each, each page's file holding its
  // title.
  void MakeSite(int pages) {
    g_.SetSiteTemplate("<html>\rSiteGeneratorChange.Title\r</html>");
    g_.SetMinCharsPerPage(10);
    g_.SetMaxCharsPerPage(10);
    g_.SetSiteText({std::string(static_cast<size_t>(pages) * 10 - 1, 'x')});
    g_.SetCssCode("body {\r}\r");
    g_.Generate();
  }
  void Import(const std::string& folder) {
    g_.SetSavePath(folder);
    g_.SiteImport();
  }
  std::vector<std::string> Listing() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
  TSiteGenerator g_;
  std::vector<std::string> boxes_;
  TErrorBoxHandler previous_;
};

TEST_F(SiteOutputTest, WritesEveryPageAndTheStylesheetWithExactBytes) {
  MakeSite(3);
  g_.SetSavePath(dir_.string());
  g_.SiteImport();
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(Listing(),
            (std::vector<std::string>{"index.html", "page1.html", "page2.html", "style.css"}));
  EXPECT_EQ(ReadFile(dir_ / "index.html"), "<html>\r - index\r</html>");  // no line break added
  EXPECT_EQ(ReadFile(dir_ / "page2.html"), g_.Pages()[2].PageHTML);
  EXPECT_EQ(g_.Pages()[2].PageHTML, "<html>\r - " + test::W("Раздел 2") + "\r</html>");
  EXPECT_EQ(ReadFile(dir_ / "style.css"), "body {\r}\r");
}

TEST_F(SiteOutputTest, RewritingReplacesFilesAndLeavesOthersAlone) {
  WriteFile(dir_ / "page5.html", "old page five");
  WriteFile(dir_ / "index.html", std::string(10000, 'x'));
  MakeSite(3);
  Import(dir_.string());
  Import(dir_.string());
  EXPECT_EQ(ReadFile(dir_ / "index.html"), "<html>\r - index\r</html>");
  EXPECT_EQ(ReadFile(dir_ / "page5.html"), "old page five");
  EXPECT_EQ(Listing().size(), 5u);  // no temporary file left behind
}

TEST_F(SiteOutputTest, TrailingSeparatorIsAccepted) {
  MakeSite(1);
  Import(dir_.string() + "/");
  EXPECT_EQ(ReadFile(dir_ / "index.html"), "<html>\r - index\r</html>");
}

TEST_F(SiteOutputTest, EmptyStringsGiveEmptyFiles) {
  g_.Generate();
  Import(dir_.string());
  EXPECT_EQ(Listing(), (std::vector<std::string>{"index.html", "style.css"}));
  EXPECT_EQ(fs::file_size(dir_ / "index.html"), 0u);
  EXPECT_EQ(fs::file_size(dir_ / "style.css"), 0u);
}

TEST_F(SiteOutputTest, MissingFolderShowsTheBoxAndWritesNothing) {
  MakeSite(2);
  for (const std::string& path :
       {std::string(), (dir_ / "nope").string(), (dir_ / "file").string()}) {
    if (path.ends_with("file")) WriteFile(path, "a file, not a folder");
    boxes_.clear();
    EXPECT_NO_THROW(Import(path));
    ASSERT_EQ(boxes_.size(), 1u) << path;
    EXPECT_EQ(boxes_[0], test::W("Указанный каталог не существует"));
  }
  EXPECT_EQ(Listing(), (std::vector<std::string>{"file"}));
}

// Folders are the platform's names, whatever their letters.
TEST_F(SiteOutputTest, FolderNamesReachTheFileSystemAsGiven) {
  MakeSite(1);
  for (const char* folder : {"сайт", "中文", "caf\xC3\xA9"}) {
    fs::create_directories(dir_ / folder);
    Import(dir_.string() + "/" + folder);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_TRUE(fs::exists(dir_ / folder / "index.html")) << folder;
  }
}

TEST_F(SiteOutputTest, AFolderInTheWayOfAPageIsAnErrorBeforeAnyFileIsWritten) {
  MakeSite(3);
  fs::create_directories(dir_ / "page1.html");
  const auto error = test::ExpectThrowsMessage<EOrvanaError>(
      [&] { Import(dir_.string()); }, "Cannot create file \"" + (dir_ / "page1.html").string() +
                                          "\". " + SystemErrorText(EISDIR) + " (error " +
                                          std::to_string(EISDIR) + ")");
  if (error) {
    EXPECT_EQ(error->ErrorCode(), EISDIR);
  }
  EXPECT_FALSE(fs::exists(dir_ / "index.html"));
  EXPECT_FALSE(fs::exists(dir_ / "page2.html"));
  EXPECT_FALSE(fs::exists(dir_ / "style.css"));
}

// A file system that fails the n-th write, to check what a full disk leaves.
class FailingFileSystem : public TFileSystem {
 public:
  FailingFileSystem(int fail_at, TWriteFailure failure) : fail_at_(fail_at), failure_(failure) {}
  bool IsDirectory(const std::string& path) override { return RealFileSystem().IsDirectory(path); }
  bool ReplaceFile(const std::string& path, std::string_view bytes, TReplaceMode mode,
                   TWriteFailure* failure) override {
    if (++calls_ == fail_at_) {
      *failure = failure_;
      return false;
    }
    return RealFileSystem().ReplaceFile(path, bytes, mode, failure);
  }
  int calls_ = 0;

 private:
  int fail_at_;
  TWriteFailure failure_;
};

TEST_F(SiteOutputTest, FailedWriteKeepsTheOldFileAndStops) {
  WriteFile(dir_ / "page1.html", "previous content");
  MakeSite(3);
  FailingFileSystem failing(2, {TWriteFailure::kWrite, ENOSPC});
  const auto error = test::ExpectThrowsMessage<EOrvanaError>(
      [&] { test::BuildInto(g_, dir_.string(), failing); },
      "Cannot write file \"" + (dir_ / "page1.html").string() +
          "\". No space left on device (error 28)");
  if (error) {
    EXPECT_EQ(error->ErrorCode(), ENOSPC);
  }
  EXPECT_EQ(failing.calls_, 2);
  EXPECT_EQ(ReadFile(dir_ / "page1.html"), "previous content");
  EXPECT_EQ(Listing(), (std::vector<std::string>{"index.html", "page1.html"}));
}

TEST(RealFileSystem, ReplaceKeepsPermissionsAndRefusesReadOnlyTargets) {
  const fs::path dir = fs::temp_directory_path() / ("orvana-perm-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path f = dir / "a.html";
  WriteFile(f, "old");
  fs::permissions(f, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  TWriteFailure failure{};
  ASSERT_TRUE(RealFileSystem().ReplaceFile(f.string(), "new", TReplaceMode::kSitePage, &failure));
  EXPECT_EQ(ReadFile(f), "new");
  EXPECT_EQ(fs::status(f).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  if (::geteuid() != 0) {  // root may write anything; the check is for users
    fs::permissions(f, fs::perms::owner_read);
    EXPECT_FALSE(
        RealFileSystem().ReplaceFile(f.string(), "newer", TReplaceMode::kSitePage, &failure));
    EXPECT_EQ(failure.stage, TWriteFailure::kCreate);
    EXPECT_EQ(ReadFile(f), "new");
  }
  fs::remove_all(dir);
}

TEST(RealFileSystem, FailedWriteLeavesTheOldFileAndNoTemporary) {
  // A file-size limit makes the real write() fail part-way (EFBIG), the way a
  // full disk does, without needing a special mount.
  const fs::path dir = fs::temp_directory_path() / ("orvana-fsize-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path f = dir / "index.html";
  WriteFile(f, "old content");
  struct sigaction ignore {
  }, old_action{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &old_action);
  struct rlimit old_limit {};
  ::getrlimit(RLIMIT_FSIZE, &old_limit);
  struct rlimit small = old_limit;
  small.rlim_cur = 4096;
  ::setrlimit(RLIMIT_FSIZE, &small);
  TWriteFailure failure{}, failure_new{};
  const std::string big(100000, 'x');
  const bool ok = RealFileSystem().ReplaceFile(f.string(), big, TReplaceMode::kSitePage, &failure);
  const bool ok_new = RealFileSystem().ReplaceFile((dir / "new.html").string(), big,
                                                   TReplaceMode::kDocument, &failure_new);
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  ::sigaction(SIGXFSZ, &old_action, nullptr);
  EXPECT_FALSE(ok);
  EXPECT_EQ(failure.stage, TWriteFailure::kWrite);
  EXPECT_EQ(failure.error_code, EFBIG);
  EXPECT_EQ(ReadFile(f), "old content");
  // A file that did not exist before is not left behind half written.
  EXPECT_FALSE(ok_new);
  EXPECT_EQ(failure_new.error_code, EFBIG);
  EXPECT_FALSE(fs::exists(dir / "new.html"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace orvana

namespace orvana {
namespace {

class StreamingTest : public SiteOutputTest {};

std::map<std::string, std::string> ReadAll(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(dir)) files[e.path().filename()] = ReadFile(e.path());
  return files;
}

void FillInputs(TSiteGenerator& g) {
  TStringList text;
  for (int i = 0; i < 300; ++i) {
    text.push_back(test::W("Строка номер ") + std::to_string(i) + ". Words here and there, again.");
    if (i % 5 == 0) text.emplace_back();
  }
  g.SetSiteText(text);
  TStringList urls;
  for (int i = 0; i < 60; ++i) urls.push_back("http://example.com/" + std::to_string(i));
  g.SetSiteUrlsToLink(urls);
  g.SetMinCharsPerPage(400);
  g.SetMaxCharsPerPage(700);
  g.SetSiteTemplate(
      "<title>SiteGeneratorChange.Title</title>\rSiteGeneratorChange.Menu\r"
      "SiteGeneratorChange.MainText\rSiteGeneratorChange.Pagination\r");
  g.SetCssCode("p {}\r");
  g.SetRandomSeed(17);
}

TEST_F(StreamingTest, WritesTheSameFilesAsGenerateThenWrite) {
  FillInputs(g_);
  test::GenerateThenImport(g_, dir_.string());
  const auto expected = ReadAll(dir_);
  ASSERT_GT(expected.size(), 10u);
  const int pages = g_.Pages().Count();
  const std::string menu = g_.SiteMenu();

  const fs::path second = dir_ / "second";
  fs::create_directories(second);
  TSiteGenerator streaming;
  FillInputs(streaming);
  ASSERT_EQ(test::BuildInto(streaming, second.string()).outcome, TBuildOutcome::kWritten);
  EXPECT_EQ(ReadAll(second), [&] {
    auto e = expected;
    e.erase("second");
    return e;
  }());
  EXPECT_EQ(streaming.Pages().Count(), pages);
  EXPECT_EQ(streaming.SiteMenu(), menu);
  EXPECT_EQ(streaming.LinksPlaced(), g_.LinksPlaced());
  EXPECT_EQ(streaming.Pages()[1].PageHTML, "");
  EXPECT_EQ(streaming.Pages()[1].PageText, g_.Pages()[1].PageText);
}

TEST_F(StreamingTest, MissingFolderGeneratesAndWritesNothing) {
  FillInputs(g_);
  g_.AddPage("kept");
  EXPECT_EQ(test::BuildInto(g_, (dir_ / "absent").string()).outcome, TBuildOutcome::kMissingFolder);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(g_.Pages().Count(), 1);
  g_.SetSavePath((dir_ / "absent").string());
  g_.SiteImport();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], test::W("Указанный каталог не существует"));
  EXPECT_EQ(g_.Pages().Count(), 1);
  EXPECT_TRUE(fs::is_empty(dir_));
}

}  // namespace
}  // namespace orvana

namespace orvana {
namespace {

TEST(RealFileSystem, PiecesAreWrittenInOrderAcrossManyWriteBatches) {
  // More pieces than one gathered write takes, empty ones among them, into a
  // new file and over an existing one.
  const fs::path dir = fs::temp_directory_path() / ("orvana-pieces-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::vector<std::string> texts;
  for (int i = 0; i < 3000; ++i) texts.push_back(i % 7 == 0 ? "" : std::to_string(i) + ",");
  texts.push_back(std::string(200000, 'z'));  // a piece larger than a pipe or a page
  std::vector<std::string_view> pieces(texts.begin(), texts.end());
  std::string expected;
  for (const std::string& t : texts) expected += t;
  for (const char* name : {"new.html", "old.html"}) {
    const fs::path f = dir / name;
    if (std::string_view(name) == "old.html") WriteFile(f, "old content");
    TWriteFailure failure{};
    const auto file = RealFileSystem().BeginReplace(f.string(), TReplaceMode::kSitePage, &failure);
    ASSERT_TRUE(file && file->WritePieces(pieces, &failure) && file->Commit(&failure));
    EXPECT_EQ(ReadFile(f), expected) << name;
  }
  TWriteFailure failure{};
  const auto empty = RealFileSystem().BeginReplace((dir / "empty.html").string(),
                                                   TReplaceMode::kSitePage, &failure);
  ASSERT_TRUE(empty && empty->WritePieces({}, &failure) && empty->Commit(&failure));
  EXPECT_EQ(ReadFile(dir / "empty.html"), "");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace orvana

namespace orvana {
namespace {

// A folder of known block size and free space, with pages already there.
struct TBlockFileSystem final : FailingFileSystem {
  TBlockFileSystem() : FailingFileSystem(0, {}) {}
  std::optional<TFolderSpace> FolderSpace(const std::string&) override { return space; }
  uint64_t AllocatedSize(const std::string& path) override { return allocated[path]; }
  std::optional<TFolderSpace> space;
  std::map<std::string, uint64_t> allocated;
};

TEST(CheckSiteFits, CountsWholeBlocksAndCreditsTheFilesReplaced) {
  // Pages of 5900 bytes (two blocks), some there in 8192: a fresh site, rebuilds, the
  // temporaries of one or more writers.
  const struct {
    uint64_t free, needed;  // needed 0: fits
    int pages, old_pages;
    size_t in_flight = 1;
  } cases[] = {{2 << 20, 290 * 8192, 290, 0}, {290 * 8192, 0, 290, 0}, {100000, 0, 290, 290},
               {8191, 8192, 290, 290},        {8192, 0, 290, 290},     {90111, 90112, 300, 290},
               {16383, 16384, 290, 290, 2},   {24576, 0, 290, 290, 3}, {8192, 0, 1, 1, 4}};
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) names.push_back("page" + std::to_string(i + 1) + ".html");
  for (const auto& c : cases) {
    TBlockFileSystem fs;
    fs.space = TFolderSpace{4096, c.free};
    std::vector<TPlannedFile> files;
    for (int i = 0; i < c.pages; ++i) {
      files.push_back({names[static_cast<size_t>(i)], 5900});
      if (i < c.old_pages) fs.allocated["/s/" + names[static_cast<size_t>(i)]] = 8192;
    }
    const auto check = [&] { CheckSiteFits(fs, "/s", files, c.in_flight); };
    if (c.needed == 0) EXPECT_NO_THROW(check());
    const auto error =
        c.needed == 0
            ? std::nullopt
            : test::ExpectThrowsMessage<EOrvanaError>(
                  check, "Not enough free space in \"/s\": the site needs " +
                             std::to_string(c.needed) + " bytes in blocks of 4096 bytes, " +
                             std::to_string(c.free) + " bytes are free");
    EXPECT_EQ(error ? error->ErrorCode() : ENOSPC, ENOSPC);
  }
  EXPECT_NO_THROW(CheckSiteFits(*std::make_unique<TBlockFileSystem>(), "/", {{"a", 1ull << 62}}));
  // The real file system: whole blocks of a file, nothing for a link.
  test::TempDir dir;
  WriteFile(dir.Path() + "/a", std::string(5000, 'x'));
  fs::create_symlink(dir.Path() + "/a", dir.Path() + "/link");
  const uint64_t a = RealFileSystem().AllocatedSize(dir.Path() + "/a");
  EXPECT_TRUE(a > 0 && a % 512 == 0 && RealFileSystem().AllocatedSize(dir.Path() + "/link") == 0);
}

}  // namespace
}  // namespace orvana
