#include <fcntl.h>
#include <sched.h>
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
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "DefaultContent.h"
#include "FileSystem.h"
#include "ProjectFile.h"
#include "ProjectTestUtil.h"
#include "SiteGenerator.h"

namespace orvana::test {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// The names in a folder, sorted and joined with commas.
std::string Entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : ",") + n;
  return out;
}

std::string SaveError(const TSiteGenerator& g, const std::string& path,
                      TFileSystem* file_system = nullptr) {
  try {
    SaveProjectFile(g, path, file_system);
  } catch (const EOrvanaError& e) {
    return e.what();
  }
  return "<no error>";
}

std::string LoadError(const std::string& path, TSiteGenerator& g) {
  try {
    LoadProjectFile(path, g);
  } catch (const EOrvanaError& e) {
    return e.what();
  }
  return "<no error>";
}

class ProjectSaveLoad : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "orvana-project-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  std::string dir_;
};

// --- Saving and loading real files ------------------------------------------------

TEST_F(ProjectSaveLoad, SaveLoadSaveGivesAByteIdenticalFile) {
  TSiteGenerator g;
  FillGeneratedSite(g);
  g.SetName("Gen");
  ASSERT_EQ(SaveError(g, Path("a.prj")), "<no error>");
  const std::string first = ReadFile(Path("a.prj"));
  EXPECT_EQ(first, WriteProjectText(g));

  TSiteGenerator h;
  ApplyNewProjectContent(h);
  ASSERT_EQ(LoadError(Path("a.prj"), h), "<no error>");
  ASSERT_EQ(SaveError(h, Path("b.prj")), "<no error>");
  EXPECT_EQ(ReadFile(Path("b.prj")), first);
  EXPECT_EQ(Entries(dir_), "a.prj,b.prj");
}

TEST_F(ProjectSaveLoad, NewProjectSavedAndLoadedIntoANewWindow) {
  TSiteGenerator g;
  ApplyNewProjectContent(g);
  ASSERT_EQ(SaveError(g, Path("new.prj")), "<no error>");
  const std::string text = ReadFile(Path("new.prj"));
  EXPECT_EQ(text.rfind("object TSiteGenerator\r\n  Pages = <>\r\n  SiteTemplate = \r\n", 0), 0u);
  TSiteGenerator h;
  ApplyNewProjectContent(h);
  h.SetSiteTemplate("x");
  ASSERT_EQ(LoadError(Path("new.prj"), h), "<no error>");
  EXPECT_EQ(h.SiteTemplate(), g.SiteTemplate());
  EXPECT_EQ(h.AdsenseCode(), g.AdsenseCode());
  EXPECT_EQ(h.CssCode(), g.CssCode());
  EXPECT_EQ(h.MinCharsPerPage(), 4000);
  EXPECT_EQ(h.MaxCharsPerPage(), 5000);
}

TEST_F(ProjectSaveLoad, SaveReplacesAnExistingFile) {
  WriteFile(Path("p.prj"), std::string(100000, 'o'));
  TSiteGenerator g;
  FillExample(g);
  ASSERT_EQ(SaveError(g, Path("p.prj")), "<no error>");
  EXPECT_EQ(ReadFile(Path("p.prj")), ExampleText());
  EXPECT_EQ(Entries(dir_), "p.prj");
}

TEST_F(ProjectSaveLoad, LoadMissingFileNamesTheAbsolutePath) {
  TSiteGenerator g;
  EXPECT_EQ(LoadError(Path("none.prj"), g),
            "Cannot open file \"" + Path("none.prj") + "\". No such file or directory");
  // A relative name is resolved against the current folder.
  const std::string cwd = fs::current_path().string();
  EXPECT_EQ(
      LoadError("surely-missing-orvana.prj", g),
      "Cannot open file \"" + cwd + "/surely-missing-orvana.prj\". No such file or directory");
}

TEST_F(ProjectSaveLoad, LoadAFolderFailsToOpen) {
  TSiteGenerator g;
  EXPECT_EQ(LoadError(dir_, g), "Cannot open file \"" + dir_ + "\". Is a directory");
}

TEST_F(ProjectSaveLoad, LoadAnUnreadableFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root from reading";
  WriteFile(Path("secret.prj"), ExampleText());
  fs::permissions(Path("secret.prj"), fs::perms::none);
  TSiteGenerator g;
  EXPECT_EQ(LoadError(Path("secret.prj"), g),
            "Cannot open file \"" + Path("secret.prj") + "\". Permission denied");
}

TEST_F(ProjectSaveLoad, LoadReportsTheReadersErrors) {
  WriteFile(Path("bad.prj"), "object T\r\n  SiteTitle = 'a'\r\n  Foo = 1\r\nend\r\n");
  WriteFile(Path("empty.prj"), "");
  TSiteGenerator g;
  EXPECT_EQ(LoadError(Path("bad.prj"), g),
            "Error reading TSiteGenerator.Foo: Property Foo does not exist");
  EXPECT_EQ(g.SiteTitle(), "a");
  EXPECT_EQ(LoadError(Path("empty.prj"), g), "OBJECT expected on line 1");
}

TEST_F(ProjectSaveLoad, SaveIntoAFolderThatDoesNotExist) {
  TSiteGenerator g;
  EXPECT_EQ(SaveError(g, Path("missing/p.prj")),
            "Cannot create file \"" + Path("missing/p.prj") + "\". No such file or directory");
  EXPECT_EQ(Entries(dir_), "");
}

TEST_F(ProjectSaveLoad, SaveIntoAReadOnlyFolderKeepsTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root; see the mount test below";
  WriteFile(Path("p.prj"), "old bytes");
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  TSiteGenerator g;
  FillExample(g);
  EXPECT_EQ(SaveError(g, Path("p.prj")),
            "Cannot create file \"" + Path("p.prj") + "\". Permission denied");
  EXPECT_EQ(SaveError(g, Path("q.prj")),
            "Cannot create file \"" + Path("q.prj") + "\". Permission denied");
  fs::permissions(dir_, fs::perms::owner_all);
  EXPECT_EQ(ReadFile(Path("p.prj")), "old bytes");
  EXPECT_EQ(Entries(dir_), "p.prj");
}

// --- Failures of a real, small file system ------------------------------------------

TEST_F(ProjectSaveLoad, SaveOnAReadOnlyFileSystemKeepsTheOldFile) {
  const std::string dir = dir_;
  const auto report = RunOnTmpfs(dir_, "size=1m", [&] {
    WriteFile(dir + "/p.prj", "old bytes");
    if (::mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
      return std::string("remount failed: ") + std::strerror(errno);
    TSiteGenerator g;
    FillExample(g);
    return SaveError(g, dir + "/p.prj") + "\n" + SaveError(g, dir + "/q.prj") + "\n" +
           ReadFile(dir + "/p.prj") + "\n" + Entries(dir);
  });
  if (!report) GTEST_SKIP() << "no mount namespace on this machine";
  EXPECT_EQ(*report, "Cannot create file \"" + dir + "/p.prj\". Read-only file system\n" +
                         "Cannot create file \"" + dir + "/q.prj\". Read-only file system\n" +
                         "old bytes\np.prj");
}

TEST_F(ProjectSaveLoad, SaveOnAFullDiskKeepsTheOldFileAndLeavesNoTemporary) {
  const std::string dir = dir_;
  const auto report = RunOnTmpfs(dir_, "size=64k", [&] {
    WriteFile(dir + "/p.prj", "old bytes");
    TSiteGenerator g;
    FillExample(g);
    g.SetSiteText(TStringList(2000, std::string(500, 'x')));  // about a megabyte
    return SaveError(g, dir + "/p.prj") + "\n" + ReadFile(dir + "/p.prj") + "\n" + Entries(dir);
  });
  if (!report) GTEST_SKIP() << "no mount namespace on this machine";
  EXPECT_EQ(*report, "Stream write error: \"" + dir +
                         "/p.prj\". No space left on device (error 28)\nold bytes\np.prj");
}

// --- Symbolic links, files of other kinds, temporaries of killed saves -------------

TEST_F(ProjectSaveLoad, SaveThroughALinkChainWritesTheFileAtItsEndAndKeepsTheLinks) {
  fs::create_directories(Path("real"));
  WriteFile(Path("real/c.prj"), "old");
  fs::create_symlink(Path("real/c.prj"), Path("real/b.prj"));  // absolute
  fs::create_symlink("real/b.prj", Path("a.prj"));             // relative to the link's folder
  TSiteGenerator g;
  FillExample(g);
  ASSERT_EQ(SaveError(g, Path("a.prj")), "<no error>");
  EXPECT_TRUE(fs::is_symlink(Path("a.prj")));
  EXPECT_TRUE(fs::is_symlink(Path("real/b.prj")));
  EXPECT_EQ(ReadFile(Path("real/c.prj")), ExampleText());
  EXPECT_EQ(Entries(dir_), "a.prj,real");
  EXPECT_EQ(Entries(Path("real")), "b.prj,c.prj");
  TSiteGenerator h;
  ASSERT_EQ(LoadError(Path("a.prj"), h), "<no error>");
  EXPECT_EQ(h.SavePath(), "C:\\Site");
}

TEST_F(ProjectSaveLoad, SaveThroughADanglingLinkCreatesTheFileItNames) {
  fs::create_symlink("made.prj", Path("d.prj"));
  TSiteGenerator g;
  FillExample(g);
  ASSERT_EQ(SaveError(g, Path("d.prj")), "<no error>");
  EXPECT_TRUE(fs::is_symlink(Path("d.prj")));
  EXPECT_EQ(ReadFile(Path("made.prj")), ExampleText());
  EXPECT_EQ(Entries(dir_), "d.prj,made.prj");
}

TEST_F(ProjectSaveLoad, SaveThroughALinkLoopFailsAndChangesNothing) {
  fs::create_symlink("l2", Path("l1"));
  fs::create_symlink("l1", Path("l2"));
  TSiteGenerator g;
  EXPECT_EQ(SaveError(g, Path("l1")),
            "Cannot create file \"" + Path("l1") + "\". Too many levels of symbolic links");
  EXPECT_TRUE(fs::is_symlink(Path("l1")));
  EXPECT_EQ(Entries(dir_), "l1,l2");
}

TEST_F(ProjectSaveLoad, SaveOverAFileOfAnotherKindIsRefused) {
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  fs::create_symlink("fifo", Path("to-fifo"));
  TSiteGenerator g;
  FillExample(g);
  for (const std::string name : {"fifo", "to-fifo"})
    EXPECT_EQ(SaveError(g, Path(name)),
              "Cannot create file \"" + Path(name) + "\". Not a regular file");
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(Path("fifo"))));
  EXPECT_TRUE(fs::is_symlink(Path("to-fifo")));
  EXPECT_EQ(Entries(dir_), "fifo,to-fifo");
}

// LoadError in a child that is stopped after five seconds or a gigabyte of
// memory, so a load that hangs or reads without end fails instead of taking
// the test run down.
std::string LoadErrorInChild(const std::string& path) {
  int fds[2];
  if (::pipe(fds) != 0) return "<no pipe>";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    ::alarm(5);
    struct rlimit memory {
      1u << 30, 1u << 30
    };
    ::setrlimit(RLIMIT_AS, &memory);
    std::string report;
    try {
      TSiteGenerator g;
      report = LoadError(path, g);
    } catch (...) {
      report = "<other error>";
    }
    (void)!::write(fds[1], report.data(), report.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string report;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
    report.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status)) return "<stopped by signal " + std::to_string(WTERMSIG(status)) + ">";
  return report;
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
    EXPECT_EQ(LoadErrorInChild(c.path), "Cannot open file \"" + c.path + "\". " + c.reason);
}

TEST_F(ProjectSaveLoad, ASaveRemovesTheTemporariesOfKilledSavesOnly) {
  // The project is saved through a link, so the temporaries are made, and
  // cleared, in the folder of the file it names.
  fs::create_directories(Path("real"));
  WriteFile(Path("real/p.prj"), "old bytes");
  fs::create_symlink(Path("real/p.prj"), Path("link.prj"));
  TSiteGenerator big;
  FillExample(big);
  big.SetSiteText(TStringList(200, std::string(500, 'x')));
  const std::string link = Path("link.prj");
  const pid_t dead = RunKilledMidWrite(4096, [&] { SaveProjectFile(big, link); });
  ASSERT_GT(dead, 0) << "the child was not killed while saving";
  const std::string listing = Entries(Path("real"));
  const std::string left = listing.substr(0, listing.find(','));
  ASSERT_EQ(left.rfind(".p.prj.tmp-" + std::to_string(dead) + "-", 0), 0u) << listing;
  ASSERT_EQ(listing, left + ",p.prj");
  EXPECT_EQ(ReadFile(Path("real/p.prj")), "old bytes");

  // Kept: a live process's temporary, our own, a folder and a name not ours.
  const pid_t live = ::fork();
  if (live == 0)
    for (;;) ::pause();
  ASSERT_GT(live, 0);
  const std::string live_temp = ".q.prj.tmp-" + std::to_string(live) + "-0";
  const std::string own_temp = ".r.prj.tmp-" + std::to_string(::getpid()) + "-5";
  const std::string dead_folder = ".s.prj.tmp-" + std::to_string(dead) + "-0";
  const std::string not_ours = "t.prj.tmp-" + std::to_string(dead) + "-0";
  for (const std::string& name : {live_temp, own_temp, not_ours})
    WriteFile(Path("real/" + name), "");
  fs::create_directories(Path("real/" + dead_folder));
  TSiteGenerator g;
  FillExample(g);
  const std::string error = SaveError(g, link);
  ::kill(live, SIGKILL);
  ::waitpid(live, nullptr, 0);
  ASSERT_EQ(error, "<no error>");
  EXPECT_EQ(ReadFile(Path("real/p.prj")), ExampleText());
  std::vector<std::string> expected = {live_temp, own_temp, dead_folder, not_ours, "p.prj"};
  std::sort(expected.begin(), expected.end());
  std::string joined;
  for (const std::string& n : expected) joined += (joined.empty() ? "" : ",") + n;
  EXPECT_EQ(Entries(Path("real")), joined);
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
  FillExample(g);
  EXPECT_EQ(SaveError(g, "/x/p.prj", &file_system), "<no error>");
  EXPECT_EQ(file_system.calls_, 1);
  EXPECT_EQ(file_system.path_, "/x/p.prj");
  EXPECT_EQ(file_system.bytes_, ExampleText());
  EXPECT_TRUE(file_system.durable_);
}

TEST(ProjectSaveInjected, CreateFailureNamesTheAbsolutePathAndTheReason) {
  TFailingFileSystem file_system(TWriteFailure{TWriteFailure::kCreate, EACCES});
  TSiteGenerator g;
  try {
    SaveProjectFile(g, "rel/p.prj", &file_system);
    FAIL() << "no error";
  } catch (const EOrvanaError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + fs::current_path().string() +
                                         "/rel/p.prj\". Permission denied");
    EXPECT_EQ(e.ErrorCode(), EACCES);
  }
}

TEST(ProjectSaveInjected, WriteFailureIsAStreamWriteErrorNamingTheFileAndTheReason) {
  TFailingFileSystem file_system(TWriteFailure{TWriteFailure::kWrite, ENOSPC});
  TSiteGenerator g;
  EXPECT_EQ(SaveError(g, "/x/p.prj", &file_system),
            "Stream write error: \"/x/p.prj\". No space left on device (error 28)");
  file_system.failure_ = TWriteFailure{TWriteFailure::kWrite, EIO};
  try {
    SaveProjectFile(g, "rel/p.prj", &file_system);
    FAIL() << "no error";
  } catch (const EOrvanaError& e) {
    EXPECT_EQ(std::string(e.what()), "Stream write error: \"" + fs::current_path().string() +
                                         "/rel/p.prj\". Input/output error (error 5)");
    EXPECT_EQ(e.ErrorCode(), EIO);
  }
}

TEST(ProjectSaveInjected, ANameThatIsNotARegularFileIsRefusedClearly) {
  TFailingFileSystem file_system(TWriteFailure{TWriteFailure::kNotRegular, 0});
  TSiteGenerator g;
  EXPECT_EQ(SaveError(g, "/x/fifo", &file_system),
            "Cannot create file \"/x/fifo\". Not a regular file");
}

}  // namespace
}  // namespace orvana::test
