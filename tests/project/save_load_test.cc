#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/CodePage.h"
#include "engine/FileSystem.h"
#include "engine/SiteGenerator.h"
#include "project/DefaultContent.h"
#include "project/ObjectText.h"
#include "project/ProjectFile.h"
#include "tests/project/ProjectTestUtil.h"
#include "tests/support/ChildProcess.h"

namespace orvana::test {
namespace {

namespace fs = std::filesystem;

// The save's or the load's failure as text, for a child process's report.
std::string SaveReport(const TSiteGenerator& g, const std::string& path) {
  return ThrownMessage<EOrvanaError>([&] { SaveProjectFile(g, path); });
}

std::string LoadReport(const std::string& path) {
  TSiteGenerator g;
  return ThrownMessage<EOrvanaError>([&] { LoadProjectFile(path, g); });
}

class ProjectSaveLoad : public testing::Test {
 protected:
  std::string Path(const std::string& name) const { return temp_ / name; }

  TempDir temp_;
  const std::string dir_ = temp_.Path();
};

// --- Saving and loading real files ------------------------------------------------

TEST_F(ProjectSaveLoad, SaveLoadSaveGivesAByteIdenticalFile) {
  TSiteGenerator g;
  FillGeneratedSite(g);
  g.SetName("Gen");
  ASSERT_NO_THROW(SaveProjectFile(g, Path("a.prj")));
  const std::string first = ReadWholeFile(Path("a.prj"));
  EXPECT_EQ(first, WriteProjectText(g));

  TSiteGenerator h;
  ApplyNewProjectContent(h);
  ASSERT_NO_THROW(LoadProjectFile(Path("a.prj"), h));
  ASSERT_NO_THROW(SaveProjectFile(h, Path("b.prj")));
  EXPECT_EQ(ReadWholeFile(Path("b.prj")), first);
  EXPECT_EQ(FolderListing(dir_), "a.prj,b.prj");
}

TEST_F(ProjectSaveLoad, NewProjectSavedAndLoadedIntoANewWindow) {
  TSiteGenerator g;
  ApplyNewProjectContent(g);
  ASSERT_NO_THROW(SaveProjectFile(g, Path("new.prj")));
  const std::string text = ReadWholeFile(Path("new.prj"));
  EXPECT_EQ(text.rfind("object TSiteGenerator\r\n  Pages = <>\r\n  SiteTemplate = \r\n", 0), 0u);
  TSiteGenerator h;
  ApplyNewProjectContent(h);
  h.SetSiteTemplate("x");
  ASSERT_NO_THROW(LoadProjectFile(Path("new.prj"), h));
  EXPECT_EQ(h.SiteTemplate(), g.SiteTemplate());
  EXPECT_EQ(h.AdsenseCode(), g.AdsenseCode());
  EXPECT_EQ(h.CssCode(), g.CssCode());
  EXPECT_EQ(h.MinCharsPerPage(), 4000);
  EXPECT_EQ(h.MaxCharsPerPage(), 5000);
}

TEST_F(ProjectSaveLoad, SaveReplacesAnExistingFile) {
  WriteWholeFile(Path("p.prj"), std::string(100000, 'o'));
  TSiteGenerator g;
  FillSmallProject(g);
  ASSERT_NO_THROW(SaveProjectFile(g, Path("p.prj")));
  EXPECT_EQ(ReadWholeFile(Path("p.prj")), SmallProjectText());
  EXPECT_EQ(FolderListing(dir_), "p.prj");
}

TEST_F(ProjectSaveLoad, LoadMissingFileNamesTheAbsolutePath) {
  TSiteGenerator g;
  ExpectThrowsMessage<EOrvanaError>(
      [&] { LoadProjectFile(Path("none.prj"), g); },
      "Cannot open file \"" + Path("none.prj") + "\". No such file or directory");
  // A relative name is resolved against the current folder.
  const std::string cwd = fs::current_path().string();
  ExpectThrowsMessage<EOrvanaError>(
      [&] { LoadProjectFile("surely-missing-orvana.prj", g); },
      "Cannot open file \"" + cwd + "/surely-missing-orvana.prj\". No such file or directory");
}

TEST_F(ProjectSaveLoad, LoadAFolderFailsToOpen) {
  TSiteGenerator g;
  ExpectThrowsMessage<EOrvanaError>([&] { LoadProjectFile(dir_, g); },
                                    "Cannot open file \"" + dir_ + "\". Is a directory");
}

// Permissions do not stop root: the loads and saves that they must stop run as
// the user nobody when the tests run as root (RunUnprivileged).
TEST_F(ProjectSaveLoad, LoadAnUnreadableFile) {
  WriteWholeFile(Path("secret.prj"), SmallProjectText());
  fs::permissions(Path("secret.prj"), fs::perms::none);
  // Once its owner may read the file, the same load succeeds.
  const auto report = RunUnprivileged({dir_, Path("secret.prj")}, [&] {
    const std::string refused = LoadReport(Path("secret.prj"));
    std::error_code ignored;
    fs::permissions(Path("secret.prj"), fs::perms::owner_read, ignored);
    return refused + "\n" + LoadReport(Path("secret.prj"));
  });
  if (!report) GTEST_SKIP() << "root cannot become the user nobody on this machine";
  EXPECT_EQ(*report,
            "Cannot open file \"" + Path("secret.prj") + "\". Permission denied\n<no error>");
}

TEST_F(ProjectSaveLoad, LoadReportsTheReadersErrors) {
  WriteWholeFile(Path("bad.prj"), "object T\r\n  SiteTitle = 'a'\r\n  Foo = 1\r\nend\r\n");
  WriteWholeFile(Path("empty.prj"), "");
  TSiteGenerator g;
  ExpectThrowsMessage<EOrvanaError>(
      [&] { LoadProjectFile(Path("bad.prj"), g); },
      "Error reading TSiteGenerator.Foo: Property Foo does not exist");
  EXPECT_EQ(g.SiteTitle(), "a");
  ExpectThrowsMessage<EOrvanaError>([&] { LoadProjectFile(Path("empty.prj"), g); },
                                    "OBJECT expected on line 1");
}

TEST_F(ProjectSaveLoad, SaveIntoAFolderThatDoesNotExist) {
  TSiteGenerator g;
  ExpectThrowsMessage<EOrvanaError>(
      [&] { SaveProjectFile(g, Path("missing/p.prj")); },
      "Cannot create file \"" + Path("missing/p.prj") + "\". No such file or directory");
  EXPECT_EQ(FolderListing(dir_), "");
}

TEST_F(ProjectSaveLoad, SaveIntoAReadOnlyFolderKeepsTheOldFile) {
  WriteWholeFile(Path("p.prj"), "old bytes");
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  TSiteGenerator g;
  FillSmallProject(g);
  // Once its owner may write into the folder, the same save succeeds.
  const auto report = RunUnprivileged({dir_}, [&] {
    std::string text = SaveReport(g, Path("p.prj")) + "\n" + SaveReport(g, Path("q.prj")) + "\n" +
                       ReadWholeFile(Path("p.prj")) + "\n" + FolderListing(dir_) + "\n";
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, ignored);
    return text + SaveReport(g, Path("q.prj"));
  });
  if (!report) GTEST_SKIP() << "root cannot become the user nobody on this machine";
  EXPECT_EQ(*report, "Cannot create file \"" + Path("p.prj") + "\". Permission denied\n" +
                         "Cannot create file \"" + Path("q.prj") + "\". Permission denied\n" +
                         "old bytes\np.prj\n<no error>");
  EXPECT_EQ(ReadWholeFile(Path("p.prj")), "old bytes");
  EXPECT_EQ(ReadWholeFile(Path("q.prj")), SmallProjectText());
}

// --- Failures of a real, small file system ------------------------------------------

TEST_F(ProjectSaveLoad, SaveOnAReadOnlyFileSystemKeepsTheOldFile) {
  const std::string dir = dir_;
  const auto report = RunOnTmpfs(dir_, "size=1m", [&] {
    WriteWholeFile(dir + "/p.prj", "old bytes");
    if (::mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
      return std::string("remount failed: ") + std::strerror(errno);
    TSiteGenerator g;
    FillSmallProject(g);
    return SaveReport(g, dir + "/p.prj") + "\n" + SaveReport(g, dir + "/q.prj") + "\n" +
           ReadWholeFile(dir + "/p.prj") + "\n" + FolderListing(dir);
  });
  if (!report) GTEST_SKIP() << "no mount namespace on this machine";
  EXPECT_EQ(*report, "Cannot create file \"" + dir + "/p.prj\". Read-only file system\n" +
                         "Cannot create file \"" + dir + "/q.prj\". Read-only file system\n" +
                         "old bytes\np.prj");
}

TEST_F(ProjectSaveLoad, SaveOnAFullDiskKeepsTheOldFileAndLeavesNoTemporary) {
  const std::string dir = dir_;
  const auto report = RunOnTmpfs(dir_, "size=64k", [&] {
    WriteWholeFile(dir + "/p.prj", "old bytes");
    TSiteGenerator g;
    FillSmallProject(g);
    g.SetSiteText(TStringList(2000, std::string(500, 'x')));  // about a megabyte
    return SaveReport(g, dir + "/p.prj") + "\n" + ReadWholeFile(dir + "/p.prj") + "\n" +
           FolderListing(dir);
  });
  if (!report) GTEST_SKIP() << "no mount namespace on this machine";
  EXPECT_EQ(*report, "Stream write error: \"" + dir +
                         "/p.prj\". No space left on device (error 28)\nold bytes\np.prj");
}

// SavePath is held in UTF-8 and stored in Windows-1251: every stored byte
// comes back as it was, and a folder the code page cannot spell is refused
// before the file is touched.
TEST_F(ProjectSaveLoad, SavePathIsStoredInTheCodePageAndHeldInUtf8) {
  std::string every_byte;
  for (int b = 1; b < 256; ++b) every_byte += static_cast<char>(b);
  TSiteGenerator g;
  g.SetSiteTitle(every_byte);
  g.SetSavePath(Cp1251ToUtf8(every_byte));
  SaveProjectFile(g, Path("p.prj"));
  const std::string stored = ReadWholeFile(Path("p.prj"));
  // Stored as the title, a Windows-1251 text, is.
  const auto value = [&](std::string_view name) {  // up to the next property or "end"
    size_t end = stored.find(name) + name.size();
    const size_t begin = end;
    while (stored.compare(end, 2, "\r\n") != 0 ||
           (stored[end + 2] == ' ' && stored[end + 4] == ' '))
      end = stored.find("\r\n", end + 1);
    return stored.substr(begin, end - begin);
  };
  EXPECT_EQ(value("SavePath = "), value("SiteTitle = "));
  TSiteGenerator h;
  LoadProjectFile(Path("p.prj"), h);
  EXPECT_EQ(h.SavePath(), g.SavePath());
  SaveProjectFile(h, Path("p.prj"));
  EXPECT_EQ(ReadWholeFile(Path("p.prj")), stored);
  h.SetSavePath("/srv/中文");
  ExpectThrowsMessage<EOrvanaError>(
      [&] { SaveProjectFile(h, Path("p.prj")); },
      "Cannot store the output folder \"/srv/中文\" in the project: its name has characters "
      "outside Windows-1251");
  EXPECT_EQ(ReadWholeFile(Path("p.prj")), stored);
}

// --- Symbolic links, files of other kinds, temporaries of killed saves -------------

TEST_F(ProjectSaveLoad, SaveThroughALinkChainWritesTheFileAtItsEndAndKeepsTheLinks) {
  fs::create_directories(Path("real"));
  WriteWholeFile(Path("real/c.prj"), "old");
  fs::create_symlink(Path("real/c.prj"), Path("real/b.prj"));  // absolute
  fs::create_symlink("real/b.prj", Path("a.prj"));             // relative to the link's folder
  TSiteGenerator g;
  FillSmallProject(g);
  ASSERT_NO_THROW(SaveProjectFile(g, Path("a.prj")));
  EXPECT_TRUE(fs::is_symlink(Path("a.prj")));
  EXPECT_TRUE(fs::is_symlink(Path("real/b.prj")));
  EXPECT_EQ(ReadWholeFile(Path("real/c.prj")), SmallProjectText());
  EXPECT_EQ(FolderListing(dir_), "a.prj,real");
  EXPECT_EQ(FolderListing(Path("real")), "b.prj,c.prj");
  TSiteGenerator h;
  ASSERT_NO_THROW(LoadProjectFile(Path("a.prj"), h));
  EXPECT_EQ(h.SavePath(), "C:\\Site");
}

TEST_F(ProjectSaveLoad, SaveThroughADanglingLinkCreatesTheFileItNames) {
  fs::create_symlink("made.prj", Path("d.prj"));
  TSiteGenerator g;
  FillSmallProject(g);
  ASSERT_NO_THROW(SaveProjectFile(g, Path("d.prj")));
  EXPECT_TRUE(fs::is_symlink(Path("d.prj")));
  EXPECT_EQ(ReadWholeFile(Path("made.prj")), SmallProjectText());
  EXPECT_EQ(FolderListing(dir_), "d.prj,made.prj");
}

TEST_F(ProjectSaveLoad, SaveThroughALinkLoopFailsAndChangesNothing) {
  fs::create_symlink("l2", Path("l1"));
  fs::create_symlink("l1", Path("l2"));
  TSiteGenerator g;
  ExpectThrowsMessage<EOrvanaError>(
      [&] { SaveProjectFile(g, Path("l1")); },
      "Cannot create file \"" + Path("l1") + "\". Too many levels of symbolic links");
  EXPECT_TRUE(fs::is_symlink(Path("l1")));
  EXPECT_EQ(FolderListing(dir_), "l1,l2");
}

TEST_F(ProjectSaveLoad, SaveOverAFileOfAnotherKindIsRefused) {
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  fs::create_symlink("fifo", Path("to-fifo"));
  TSiteGenerator g;
  FillSmallProject(g);
  for (const std::string name : {"fifo", "to-fifo"})
    ExpectThrowsMessage<EOrvanaError>(
        [&] { SaveProjectFile(g, Path(name)); },
        "Cannot create file \"" + Path(name) + "\". Not a regular file");
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(Path("fifo"))));
  EXPECT_TRUE(fs::is_symlink(Path("to-fifo")));
  EXPECT_EQ(FolderListing(dir_), "fifo,to-fifo");
}

// The load's failure, made in a child that is stopped after five seconds or a
// gigabyte of memory, so a load that hangs or reads without end fails instead
// of taking the test run down.
std::string LoadReportInChild(const std::string& path) {
  const TChildReport child = RunInChild([&] {
    ::alarm(5);
    struct rlimit memory {
      1u << 30, 1u << 30
    };
    ::setrlimit(RLIMIT_AS, &memory);
    try {
      return LoadReport(path);
    } catch (...) {
      return std::string("<other error>");
    }
  });
  if (WIFSIGNALED(child.status))
    return "<stopped by signal " + std::to_string(WTERMSIG(child.status)) + ">";
  return child.report;
}

TEST_F(ProjectSaveLoad, LoadRefusesWhatIsNotARegularFileAtOnce) {
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  fs::create_symlink("fifo", Path("to-fifo"));
  const struct {
    std::string path, reason;
  } cases[] = {
      {Path("fifo"), "Not a regular file"},
      {Path("to-fifo"), "Not a regular file"},
      {"/dev/zero", "Not a regular file"},
      {"/dev/null", "Not a regular file"},
      {dir_, "Is a directory"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(LoadReportInChild(c.path), "Cannot open file \"" + c.path + "\". " + c.reason);
}

TEST_F(ProjectSaveLoad, ASaveRemovesTheTemporariesOfKilledSavesOnly) {
  // The project is saved through a link, so the temporaries are made, and
  // cleared, in the folder of the file it names.
  fs::create_directories(Path("real"));
  WriteWholeFile(Path("real/p.prj"), "old bytes");
  fs::create_symlink(Path("real/p.prj"), Path("link.prj"));
  TSiteGenerator big;
  FillSmallProject(big);
  big.SetSiteText(TStringList(200, std::string(500, 'x')));
  const std::string link = Path("link.prj");
  const pid_t dead = RunKilledMidWrite(4096, [&] { SaveProjectFile(big, link); });
  ASSERT_GT(dead, 0) << "the child was not killed while saving";
  const std::string listing = FolderListing(Path("real"));
  const std::string left = listing.substr(0, listing.find(','));
  ASSERT_EQ(left.rfind(".p.prj.orvana-tmp-" + std::to_string(dead) + "-", 0), 0u) << listing;
  ASSERT_EQ(listing, left + ",p.prj");
  EXPECT_EQ(ReadWholeFile(Path("real/p.prj")), "old bytes");

  // Kept: a live process's temporary, our own, a folder, a name not ours, another
  // document's temporary and another program's.
  const pid_t live = ::fork();
  if (live == 0)
    for (;;) ::pause();
  ASSERT_GT(live, 0);
  const std::string live_temp = ".p.prj.orvana-tmp-" + std::to_string(live) + "-0";
  const std::string own_temp = ".p.prj.orvana-tmp-" + std::to_string(::getpid()) + "-5";
  const std::string dead_folder = ".p.prj.orvana-tmp-" + std::to_string(dead) + "-999";
  const std::string not_ours = "p.prj.orvana-tmp-" + std::to_string(dead) + "-0";
  const std::string other_file = ".q.prj.orvana-tmp-" + std::to_string(dead) + "-0";
  const std::string other_program = ".bash_history.tmp-" + std::to_string(dead) + "-0";
  for (const std::string& name : {live_temp, own_temp, not_ours, other_file, other_program})
    WriteWholeFile(Path("real/" + name), "");
  fs::create_directories(Path("real/" + dead_folder));
  TSiteGenerator g;
  FillSmallProject(g);
  const std::string error = SaveReport(g, link);
  ::kill(live, SIGKILL);
  ::waitpid(live, nullptr, 0);
  ASSERT_EQ(error, "<no error>");
  EXPECT_EQ(ReadWholeFile(Path("real/p.prj")), SmallProjectText());
  std::vector<std::string> expected = {live_temp,  own_temp,      dead_folder, not_ours,
                                       other_file, other_program, "p.prj"};
  std::sort(expected.begin(), expected.end());
  std::string joined;
  for (const std::string& n : expected) joined += (joined.empty() ? "" : ",") + n;
  EXPECT_EQ(FolderListing(Path("real")), joined);
}

// --- Failures injected through the file-system interface ----------------------------

class TFailingFileSystem final : public TFileSystem {
 public:
  explicit TFailingFileSystem(std::optional<TWriteFailure> failure) : failure_(failure) {}
  bool IsDirectory(const std::string&) override { return true; }
  bool ReplaceFile(const std::string& path, std::string_view bytes, TReplaceMode mode,
                   TWriteFailure* failure) override {
    path_ = path;
    bytes_ = bytes;
    durable_ = mode == TReplaceMode::kDocument;
    ++calls_;
    if (!failure_) return true;
    *failure = *failure_;
    return false;
  }

  std::optional<TWriteFailure> failure_;
  std::string path_, bytes_;
  bool durable_ = false;
  int calls_ = 0;
};

TEST(ProjectSaveInjected, WritesTheWholeTextDurablyInOneReplacement) {
  TFailingFileSystem file_system(std::nullopt);
  TSiteGenerator g;
  FillSmallProject(g);
  EXPECT_NO_THROW(SaveProjectFile(g, "/x/p.prj", &file_system));
  EXPECT_EQ(file_system.calls_, 1);
  EXPECT_EQ(file_system.path_, "/x/p.prj");
  EXPECT_EQ(file_system.bytes_, SmallProjectText());
  EXPECT_TRUE(file_system.durable_);
}

TEST(ProjectSaveInjected, CreateFailureNamesTheAbsolutePathAndTheReason) {
  TFailingFileSystem file_system(TWriteFailure{TWriteFailure::kCreate, EACCES});
  TSiteGenerator g;
  const auto error = ExpectThrowsMessage<EOrvanaError>(
      [&] { SaveProjectFile(g, "rel/p.prj", &file_system); },
      "Cannot create file \"" + fs::current_path().string() + "/rel/p.prj\". Permission denied");
  if (error) {
    EXPECT_EQ(error->ErrorCode(), EACCES);
  }
}

TEST(ProjectSaveInjected, WriteFailureIsAStreamWriteErrorNamingTheFileAndTheReason) {
  TFailingFileSystem file_system(TWriteFailure{TWriteFailure::kWrite, ENOSPC});
  TSiteGenerator g;
  ExpectThrowsMessage<EOrvanaError>(
      [&] { SaveProjectFile(g, "/x/p.prj", &file_system); },
      "Stream write error: \"/x/p.prj\". No space left on device (error 28)");
  file_system.failure_ = TWriteFailure{TWriteFailure::kWrite, EIO};
  const auto error =
      ExpectThrowsMessage<EOrvanaError>([&] { SaveProjectFile(g, "rel/p.prj", &file_system); },
                                        "Stream write error: \"" + fs::current_path().string() +
                                            "/rel/p.prj\". Input/output error (error 5)");
  if (error) {
    EXPECT_EQ(error->ErrorCode(), EIO);
  }
}

TEST(ProjectSaveInjected, ANameThatIsNotARegularFileIsRefusedClearly) {
  TFailingFileSystem file_system(TWriteFailure{TWriteFailure::kNotRegular, 0});
  TSiteGenerator g;
  ExpectThrowsMessage<EOrvanaError>([&] { SaveProjectFile(g, "/x/fifo", &file_system); },
                                    "Cannot create file \"/x/fifo\". Not a regular file");
}

TEST_F(ProjectSaveLoad, EndlessLinesAndFilesOverTheLimitFailEarly) {
  // 64 GiB, nearly all a hole: read whole, it would not fit in memory.
  WriteWholeFile(Path("endless.prj"), "object Gen: TSiteGenerator\r\n" + std::string(5000, 'x'));
  ASSERT_EQ(::truncate(Path("endless.prj").c_str(), off_t{64} << 30), 0);
  TSiteGenerator g;
  ExpectThrowsMessage<EOrvanaError>(
      [&] { LoadProjectFile(Path("endless.prj"), g, {}, uint64_t{128} << 30); },
      "Line too long on line 2");
  ExpectThrowsMessage<EOrvanaError>(
      [&] { LoadProjectFile(Path("endless.prj"), g); },
      "Cannot open file \"" + Path("endless.prj") + "\". File too large (more than 16 GiB)");
}

TEST_F(ProjectSaveLoad, AFileEndingInALongLineReadsAsItsWholeText) {
  TSiteGenerator g;
  g.SetSiteText({"one", std::string(300, 'w')});
  g.SetExtras({.PagerWindow = 2, .LinkRel = "ugc", .SiteUrl = "x"});
  const std::string whole = WriteProjectText(g) + "junk\r\n" + WriteProjectText(g);
  std::mt19937 random(11);
  for (int round = 0; round < 100; ++round) {
    // Cut after any byte, then a line of about the reader's limit to the end.
    std::string text = whole.substr(0, random() % (whole.size() + 1));
    text.append(object_text::kMaxLineBytes - 3 + random() % 40, " x'"[random() % 3]);
    WriteWholeFile(Path("p.prj"), text);
    TSiteGenerator a, b;  // each: the error, if any, and the project written back
    const std::string loaded =
        ThrownMessage<EOrvanaError>([&] { LoadProjectFile(Path("p.prj"), a); });
    const std::string read = ThrownMessage<EOrvanaError>([&] { ReadProjectText(text, b); });
    EXPECT_EQ(loaded + WriteProjectText(a), read + WriteProjectText(b));
  }
}

// Files of 8 MB and more are read in two halves on two threads: whatever
// the file holds and wherever a line too long falls (at the halves' seam
// above all), the load gives what the reader makes of the same bytes.
TEST_F(ProjectSaveLoad, LargeFilesReadInTwoHalvesGiveTheirWholeText) {
  TSiteGenerator g;
  TStringList lines;
  std::mt19937 random(808);
  for (int i = 0; i < 60000; ++i)
    lines.push_back(std::string(20 + random() % 150, "\xe0b\xff"[i % 3]));
  g.SetSiteText(lines);
  const std::string whole = WriteProjectText(g);
  ASSERT_GT(whole.size(), size_t{16} << 20);
  constexpr size_t kHugePage = size_t{2} << 20;
  for (int round = 0; round < 12; ++round) {
    std::string text = whole.substr(0, (size_t{8} << 20) + random() % (whole.size() - (8 << 20)));
    // A line too long (or just short of it) near the seam, or anywhere.
    const size_t seam = text.size() / 2 / kHugePage * kHugePage;
    const size_t at = round % 3 == 2 ? random() % text.size() : seam - 3000 + random() % 6000;
    if (round % 4 != 3)
      text.insert(
          at, "\r\n" + std::string(object_text::kMaxLineBytes - 2 + random() % 4, 'y') + "\r\n");
    WriteWholeFile(Path("big.prj"), text);
    TSiteGenerator a, b;
    const std::string loaded =
        ThrownMessage<EOrvanaError>([&] { LoadProjectFile(Path("big.prj"), a); });
    const std::string read = ThrownMessage<EOrvanaError>([&] { ReadProjectText(text, b); });
    EXPECT_EQ(loaded, read) << "round " << round;
    EXPECT_TRUE(a.SiteText() == b.SiteText()) << "round " << round;
  }
}

}  // namespace
}  // namespace orvana::test
