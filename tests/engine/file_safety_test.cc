// The site's files and their folder: symbolic links in the way of a page,
// temporaries of killed processes, a site that does not fit.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <sstream>

#include "engine/Error.h"
#include "engine/FileSystem.h"
#include "engine/Notify.h"
#include "engine/SiteGenerator.h"
#include "engine/SiteOutput.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SiteWrite.h"
#include "tests/support/TestUtil.h"

namespace orvana {
namespace {

namespace fs = std::filesystem;
using test::FolderListing;
using test::ReadWholeFile;
using test::RunKilledMidWrite;
using test::RunOnTmpfs;
using test::WriteWholeFile;

// Inputs for a site of several pages with links, menu and bars.
void FillInputs(TSiteGenerator& g, int lines = 120) {
  TStringList text;
  for (int i = 0; i < lines; ++i) {
    text.push_back(test::W("Строка номер ") + std::to_string(i) + ". Words here and there, again.");
    if (i % 5 == 0) text.emplace_back();
  }
  g.SetSiteText(text);
  TStringList urls;
  for (int i = 0; i < 30; ++i) urls.push_back("http://example.com/" + std::to_string(i));
  g.SetSiteUrlsToLink(urls);
  g.SetMinCharsPerPage(400);
  g.SetMaxCharsPerPage(700);
  g.SetSiteTitle("Site");
  g.SetSiteTemplate(
      "<title>SiteGeneratorChange.Title</title>\rSiteGeneratorChange.Menu\r"
      "SiteGeneratorChange.MainText\rSiteGeneratorChange.Pagination\r");
  g.SetCssCode("p {}\r");
  g.SetRandomSeed(17);
}

class FileSafetyTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "orvana-safety-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    dir_ = root_ / "site";
    fs::create_directories(dir_);
    previous_ = SetErrorBoxHandler([this](const std::string& text) { boxes_.push_back(text); });
  }
  void TearDown() override {
    SetErrorBoxHandler(previous_);
    fs::remove_all(root_);
  }

  fs::path root_, dir_;
  std::vector<std::string> boxes_;
  TErrorBoxHandler previous_;
};

// --- Symbolic links in the place of a page -----------------------------------------

// Both ways of writing a site, with the same inputs.
const std::function<void(TSiteGenerator&, const std::string&)> kWriters[] = {
    [](TSiteGenerator& g, const std::string& folder) { test::GenerateThenImport(g, folder); },
    [](TSiteGenerator& g, const std::string& folder) { test::BuildInto(g, folder); },
};

TEST_F(FileSafetyTest, APageNameThatIsALinkIsReplacedByThePageAndItsTargetIsLeftAlone) {
  for (const auto& write : kWriters) {
    fs::remove_all(dir_);
    fs::remove_all(root_ / "outside");
    fs::create_directories(dir_);
    fs::create_directories(root_ / "outside");
    WriteWholeFile(root_ / "outside/secret.txt", "not a page");
    fs::create_symlink(root_ / "outside/secret.txt", dir_ / "index.html");
    fs::create_symlink(root_ / "outside/missing.html", dir_ / "page1.html");  // dangling
    fs::create_symlink("page2-link", dir_ / "page2.html");                    // dangling, relative
    fs::create_symlink(root_ / "outside", dir_ / "page3.html");               // a folder
    fs::create_symlink(root_ / "outside/secret.txt", dir_ / "style.css");

    TSiteGenerator g;
    FillInputs(g);
    ASSERT_NO_THROW(write(g, dir_.string()));
    ASSERT_GT(g.Pages().Count(), 4);
    for (const char* name : {"index.html", "page1.html", "page2.html", "page3.html", "style.css"})
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir_ / name))) << name;
    EXPECT_EQ(ReadWholeFile(dir_ / "style.css"), "p {}\r");
    EXPECT_NE(ReadWholeFile(dir_ / "index.html").find("<title>Site - index</title>"),
              std::string::npos);
    EXPECT_EQ(ReadWholeFile(root_ / "outside/secret.txt"), "not a page");
    EXPECT_EQ(FolderListing(root_ / "outside"), "secret.txt");
    EXPECT_FALSE(fs::exists(dir_ / "page2-link"));
    EXPECT_TRUE(boxes_.empty());
  }
}

TEST(RealFileSystem, ANewPageIsWrittenUnderItsOwnNameWithThePermissionsOfANewFile) {
  const fs::path dir = fs::temp_directory_path() / ("orvana-link-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  WriteWholeFile(dir / "target", "old");
  fs::permissions(dir / "target", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink(dir / "target", dir / "a.html");
  TWriteFailure failure{};
  ASSERT_TRUE(RealFileSystem().ReplaceFile((dir / "a.html").string(), "new",
                                           TReplaceMode::kSitePage, &failure));
  EXPECT_EQ(ReadWholeFile(dir / "a.html"), "new");
  EXPECT_EQ(ReadWholeFile(dir / "target"), "old");
  // The link's target lent the page nothing, not even its permissions.
  EXPECT_NE(fs::status(dir / "a.html").permissions() & fs::perms::others_read, fs::perms::none);
  fs::remove_all(dir);
}

// Killed at any file size (RLIMIT_FSIZE ends the child inside the first file
// that outgrows it), a write leaves every name absent, old or whole, a new
// file's too: the files of a site or a document.
TEST_F(FileSafetyTest, AWriteKilledAnywhereLeavesEveryNameAbsentOldOrWhole) {
  const fs::path whole = root_ / "whole";
  fs::create_directories(whole);
  TSiteGenerator reference;
  FillInputs(reference);
  test::BuildInto(reference, whole.string());
  const std::string document(20000, 'd');
  WriteWholeFile(whole / "doc", document);
  std::mt19937 random(31);
  TFileSystem& real = RealFileSystem();
  constexpr TReplaceMode kDocument = TReplaceMode::kDocument;
  for (int run = 0; run < 24; ++run) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    for (const auto& entry : fs::directory_iterator(whole))
      if (run % 4 >= 2) WriteWholeFile(dir_ / entry.path().filename(), "old");
    const rlim_t limit = 1 + random() % 2000;  // below every page's size
    TSiteGenerator g;
    FillInputs(g);
    const auto write = [&] {
      if (run % 3 == 2) real.ReplaceFile((dir_ / "doc").string(), document, kDocument, nullptr);
      kWriters[run % 2](g, dir_.string());
    };
    ASSERT_GT(RunKilledMidWrite(limit, write), 0);
    for (const auto& entry : fs::directory_iterator(dir_)) {
      const std::string name = entry.path().filename().string(), bytes = ReadWholeFile(entry);
      EXPECT_TRUE(TemporaryOwner(name) || bytes == "old" || bytes == ReadWholeFile(whole / name))
          << name << " holds " << bytes.size() << " bytes, limit " << limit;
    }
  }
}

// A target the build could not replace (a folder of a page's name; for a
// user who is not root, a read-only page or folder too) fails the dry run
// and the build alike, before any file is replaced.
TEST_F(FileSafetyTest, ATargetThatCannotBeReplacedFailsBeforeAnyFileIs) {
  const bool root = ::geteuid() == 0;
  const std::function<void()> spoil[] = {
      [&] {
        fs::remove(dir_ / "page2.html");
        fs::create_directory(dir_ / "page2.html");
      },
      [&] { fs::permissions(dir_ / "page3.html", fs::perms::owner_read); },
      [&] { fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec); },
  };
  for (size_t k = 0; k < std::size(spoil); ++k) {
    if (k > 0 && root) continue;  // root may replace them
    fs::permissions(dir_, fs::perms::owner_all);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    TSiteGenerator g;
    FillInputs(g);
    ASSERT_EQ(test::BuildInto(g, dir_.string()).outcome, TBuildOutcome::kWritten);
    ASSERT_GT(g.Pages().Count(), 3);
    WriteWholeFile(dir_ / "index.html", "old");
    spoil[k]();
    std::string messages[2];
    for (bool dry : {true, false}) {
      TSiteBuildOptions options;
      options.dry_run = dry;
      try {
        test::BuildInto(g, dir_.string(), RealFileSystem(), options);
      } catch (const EOrvanaError& e) {
        messages[dry] = e.what();
      }
    }
    fs::permissions(dir_, fs::perms::owner_all);
    EXPECT_NE(messages[1].find("Cannot create file"), std::string::npos) << k;
    EXPECT_EQ(messages[0], messages[1]) << k;
    EXPECT_EQ(ReadWholeFile(dir_ / "index.html"), "old") << k;
  }
}

// --- Temporaries of dead processes ------------------------------------------------

// A child that lives until it is killed.
pid_t StartLiveChild() {
  const pid_t pid = ::fork();
  if (pid == 0) {
    for (;;) ::pause();
  }
  return pid;
}

void StopChild(pid_t pid) {
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

TEST_F(FileSafetyTest, ABuildRemovesTheTemporariesOfKilledProcessesOnly) {
  for (const auto& write : kWriters) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    WriteWholeFile(dir_ / "index.html", "old index");
    const std::string folder = dir_.string();
    const pid_t dead = RunKilledMidWrite(4096, [&] {
      TSiteGenerator g;
      g.SetSiteTemplate("SiteGeneratorChange.MainText");
      g.SetMaxCharsPerPage(200000);
      g.SetSiteText({std::string(100000, 'x')});
      test::BuildInto(g, folder);
    });
    ASSERT_GT(dead, 0) << "the child was not killed while writing";
    // The child counts its temporaries on from where the parent stood.
    const std::string listing = FolderListing(dir_);
    const std::string left = listing.substr(0, listing.find(','));
    ASSERT_EQ(left.rfind(".index.html.orvana-tmp-" + std::to_string(dead) + "-", 0), 0u) << listing;
    ASSERT_EQ(listing, left + ",index.html");
    EXPECT_EQ(fs::file_size(dir_ / left), 4096u);
    EXPECT_EQ(ReadWholeFile(dir_ / "index.html"), "old index");

    const pid_t live = StartLiveChild();
    ASSERT_GT(live, 0);
    const std::string d = std::to_string(dead);
    const std::string live_temp = ".page1.html.orvana-tmp-" + std::to_string(live) + "-3";
    const std::string own_temp = ".page2.html.orvana-tmp-" + std::to_string(::getpid()) + "-9";
    const std::string dead_folder = ".page4.html.orvana-tmp-" + d + "-1";
    const std::string dead_other = ".style.css.orvana-tmp-" + d + "-2";
    WriteWholeFile(dir_ / live_temp, "");
    WriteWholeFile(dir_ / own_temp, "");
    WriteWholeFile(dir_ / dead_other, "");
    fs::create_directories(dir_ / dead_folder);
    for (const std::string& decoy :
         {"index.html.orvana-tmp-" + d + "-1", ".index.html.orvana-tmp-" + d,
          ".index.html.orvana-tmp-" + d + "-", ".orvana-tmp-" + d + "-1",
          std::string(".index.html.orvana-tmp-0-1"), std::string(".index.html.orvana-tmp-x1-1"),
          ".index.html.tmp-" + d + "-1", ".bash_history.tmp-" + d + "-0",
          ".notes.txt.orvana-tmp-" + d + "-1"})
      WriteWholeFile(dir_ / decoy, "");
    const std::string before = FolderListing(dir_);

    TSiteGenerator g;
    FillInputs(g);
    write(g, folder);
    StopChild(live);
    std::string expected = before;
    for (const std::string& gone : {left, dead_other}) {
      EXPECT_NE(expected.find(gone + ","), std::string::npos);
      expected.erase(expected.find(gone + ","), gone.size() + 1);
    }
    std::string now = FolderListing(dir_);
    // Only the new pages and the stylesheet came in.
    for (int i = 1; i < g.Pages().Count(); ++i) {
      const std::string page = "page" + std::to_string(i) + ".html,";
      if (now.find(page) != std::string::npos && expected.find(page) == std::string::npos)
        now.erase(now.find(page), page.size());
    }
    now.erase(now.find("style.css"), 9);
    if (now.ends_with(",")) now.pop_back();
    EXPECT_EQ(now, expected);
    EXPECT_TRUE(fs::exists(dir_ / live_temp));
    EXPECT_TRUE(fs::exists(dir_ / own_temp));
    EXPECT_TRUE(fs::is_directory(dir_ / dead_folder));
  }
}

TEST(TemporaryOwner, OnlyOurExactNamingCarriesAnOwner) {
  const struct {
    const char* name;
    long owner;  // 0: not ours
  } cases[] = {
      {".index.html.orvana-tmp-123-0", 123},
      {".a.orvana-tmp-1-99", 1},
      {".a.orvana-tmp-b.orvana-tmp-77-1", 77},
      {".bash_history.tmp-31337-0", 0},
      {"index.html.orvana-tmp-123-0", 0},
      {".orvana-tmp-123-0", 0},
      {"..orvana-tmp-1-1", 0},
      {".a.orvana-tmp-123", 0},
      {".a.orvana-tmp-123-", 0},
      {".a.orvana-tmp--1", 0},
      {".a.orvana-tmp-0-1", 0},
      {".a.orvana-tmp-12a-1", 0},
      {".a.orvana-tmp-99999999999-1", 0},
      {".a.orvana-tmp-1-2-3", 0},
      {".a.ORVANA-TMP-1-2", 0},
      {"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(TemporaryOwner(c.name).value_or(0), c.owner) << c.name;
}

// --- A site that does not fit -------------------------------------------------------

// The real file system with a free space of our choosing.
class TSmallFileSystem final : public TFileSystem {
 public:
  explicit TSmallFileSystem(uint64_t free) : free_(free) {}
  bool IsDirectory(const std::string& path) override { return RealFileSystem().IsDirectory(path); }
  bool ReplaceFile(const std::string& path, std::string_view bytes, TReplaceMode mode,
                   TWriteFailure* failure) override {
    ++writes_;
    return RealFileSystem().ReplaceFile(path, bytes, mode, failure);
  }
  // Blocks of one byte: a file takes exactly its size, so the sums are
  // those of the bytes.
  std::optional<TFolderSpace> FolderSpace(const std::string& folder) override {
    folder_ = folder;
    return TFolderSpace{1, free_};
  }
  uint64_t free_;
  int writes_ = 0;
  std::string folder_;
};

// The build's failure as text, for a child's report or to be taken apart.
std::string BuildError(const std::function<void()>& build) {
  return test::ThrownMessage<EOrvanaError>(build);
}

// The site's exact size, as Generate makes it.
uint64_t GeneratedSize(TSiteGenerator& g) {
  g.Generate();
  uint64_t size = g.CssCode().size();
  for (int i = 0; i < g.Pages().Count(); ++i) size += g.Pages()[i].PageHTML.size();
  return size;
}

TEST_F(FileSafetyTest, ASiteLargerThanTheFreeSpaceWritesNothing) {
  TSiteGenerator g;
  FillInputs(g);
  const uint64_t size = GeneratedSize(g);
  const std::string message =
      "Not enough free space in \"" + dir_.string() + "\": the site needs " + std::to_string(size) +
      " bytes in blocks of 1 bytes, " + std::to_string(size - 1) + " bytes are free";
  TSmallFileSystem small(size - 1);
  const auto error = test::ExpectThrowsMessage<EOrvanaError>(
      [&] { test::BuildInto(g, dir_.string(), small); }, message);
  if (error) {
    EXPECT_EQ(error->ErrorCode(), ENOSPC);
  }
  TSiteBuildOptions dry;
  dry.dry_run = true;
  test::ExpectThrowsMessage<EOrvanaError>([&] { test::BuildInto(g, dir_.string(), small, dry); },
                                          message);
  EXPECT_EQ(small.writes_, 0);
  EXPECT_EQ(small.folder_, dir_.string());
  EXPECT_EQ(FolderListing(dir_), "");

  // A site that just fits is written, both ways.
  small.free_ = size;
  EXPECT_NO_THROW(test::BuildInto(g, dir_.string(), small));
  EXPECT_NO_THROW(test::BuildInto(g, dir_.string(), small, dry));
  EXPECT_EQ(small.writes_, g.Pages().Count() + 1);
}

// The size the page-at-a-time build computes, read from its refusal.
uint64_t StreamedSize(TSiteGenerator& g, const std::string& folder) {
  TSmallFileSystem none(0);
  const std::string error = BuildError([&] { test::BuildInto(g, folder, none); });
  const size_t at = error.find("needs ");
  if (at == std::string::npos) return 0;
  return std::stoull(error.substr(at + 6));
}

TEST_F(FileSafetyTest, ThePageAtATimeBuildSizesTheSiteExactlyWithoutBuildingIt) {
  // Templates and texts whose placeholders reach into each other: inserted
  // texts holding later placeholders, placeholders made of two halves, a
  // page text holding a placeholder, a menu that is not inert.
  const struct {
    const char* name;
    std::string tmpl, header, footer, adsense, title;
    std::string extra_line;
  } cases[] = {
      {"plain", "SiteGeneratorChange.MainText", "", "", "", "T", ""},
      {"every placeholder twice",
       "SiteGeneratorChange.Title SiteGeneratorChange.Menu SiteGeneratorChange.MainText "
       "SiteGeneratorChange.Pagination SiteGeneratorChange.Header SiteGeneratorChange.Footer "
       "SiteGeneratorChange.Adsense SiteGeneratorChange.Title SiteGeneratorChange.Pagination "
       "SiteGeneratorChange.MainText",
       "<h>", "<f>", "<ad>", test::W("Сайт"), ""},
      {"chained inserts",
       "SiteGeneratorChange.Header|SiteGeneratorChange.Footer|SiteGeneratorChange.MainText",
       "SiteGeneratorChange.Footer SiteGeneratorChange.Title",
       "SiteGeneratorChange.Adsense+SiteGeneratorChange.Title", "SiteGeneratorChange.Title x2",
       "TT", ""},
      {"halves joined by an insert",
       "SiteGeneratorChange.TiSiteGeneratorChange.HeaderSiteGeneratorChange.Pagination", "tle", "",
       "", "title", ""},
      {"no placeholder at all", "<html></html>\r", "", "", "", "", ""},
      {"empty template", "", "h", "f", "a", "t", ""},
      {"page text with placeholders", "SiteGeneratorChange.MainText|SiteGeneratorChange.Pagination",
       "", "", "", "Title",
       "SiteGeneratorChange.Title SiteGeneratorChange.Header and more "
       "SiteGeneratorChange.Pagination"},
      {"placeholder in the menu's titles", "SiteGeneratorChange.Menu.SiteGeneratorChange.MainText",
       "", "", "", "SiteGeneratorChange.Header", ""},
  };
  int index = 0;
  for (const auto& c : cases) {
    TSiteGenerator g;
    FillInputs(g, 80);
    g.SetSiteTemplate(c.tmpl);
    g.SetSiteHeader(c.header);
    g.SetSiteFooter(c.footer);
    g.SetAdsenseCode(c.adsense);
    g.SetSiteTitle(c.title);
    if (!c.extra_line.empty()) {
      TStringList text = g.SiteText();
      text.insert(text.begin() + 3, c.extra_line);
      g.SetSiteText(text);
    }
    const fs::path folder = dir_ / std::to_string(index++);
    fs::create_directories(folder);
    const uint64_t streamed = StreamedSize(g, folder.string());
    EXPECT_EQ(streamed, GeneratedSize(g)) << c.name;
    const TSiteBuildResult built = test::BuildInto(g, folder.string());
    ASSERT_EQ(built.outcome, TBuildOutcome::kWritten);
    EXPECT_EQ(streamed, built.report.bytes) << c.name;
  }
}

TEST_F(FileSafetyTest, ASiteThatCannotFitOnARealSmallFileSystemWritesNothing) {
  const std::string folder = dir_.string();
  const auto report = RunOnTmpfs(folder, "size=64k", [&] {
    std::string out;
    for (const auto& write : kWriters) {
      TSiteGenerator g;
      FillInputs(g, 2000);  // some hundred kilobytes
      out += BuildError([&] { write(g, folder); }) + "|" + FolderListing(folder) + "\n";
    }
    return out;
  });
  if (!report) GTEST_SKIP() << "no mount namespace on this machine";
  const std::string prefix = "Not enough free space in \"" + folder + "\": the site needs ";
  size_t lines = 0;
  std::istringstream in(*report);
  for (std::string line; std::getline(in, line); ++lines) {
    EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
    EXPECT_TRUE(line.ends_with(" bytes are free|")) << line;  // nothing written
  }
  EXPECT_EQ(lines, 2u);
}

}  // namespace
}  // namespace orvana

namespace orvana {
namespace {

// Paths are the platform's: every message names the real folder, whatever
// its letters.
TEST(AbsolutePlatformPath, ResolvesAgainstAFolderNamedOutsideWindows1251) {
  test::TempDir dir;
  const std::string root = fs::canonical(dir.Path()).string(), here = root + "/中文";
  fs::create_directories(here);
  const std::string paths[] = {"",       "./s/",       "s/./x/../", "x/../../.",
                               "сайт/.", "/a//b/./c/", "/a/../../b"};
  std::string expected =
      here + "\n" + here + "/s\n" + here + "/s\n" + root + "\n" + here + "/сайт\n/a/b/c\n/b\n";
  EXPECT_EQ(test::RunInChild([&] {
              std::string report = ::chdir(here.c_str()) == 0 ? "" : "<no chdir>";
              for (const std::string& path : paths) report += AbsolutePlatformPath(path) + "\n";
              report += AbsolutePath("x.orvana") + "\n";
              return report;
            }).report,
            expected + here + "/x.orvana\n");
}

}  // namespace
}  // namespace orvana
