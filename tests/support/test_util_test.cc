// The shared test helpers: the error check must fail in each way an error can
// be wrong, and the scratch folder must leave nothing behind.
#include "tests/support/TestUtil.h"

#include <sys/stat.h>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "engine/Error.h"
#include "tests/support/ChildProcess.h"

namespace orvana::test {
namespace {

namespace fs = std::filesystem;

// A narrower error, to check that errors derived from the expected type pass.
class EDerivedError : public EOrvanaError {
 public:
  using EOrvanaError::EOrvanaError;
};

void ThrowsNothing() {}
void ThrowsTheMessage() { throw EOrvanaError("Cannot open file \"a\". Is a directory", EISDIR); }
void ThrowsALongerMessage() { throw EOrvanaError("Cannot open file \"a\". Is a directory."); }
void ThrowsTheBaseType() { throw std::runtime_error("Cannot open file \"a\". Is a directory"); }
void ThrowsASiblingType() { throw std::logic_error("Cannot open file \"a\". Is a directory"); }
void ThrowsANumber() { throw 42; }

const char kMessage[] = "Cannot open file \"a\". Is a directory";

TEST(ExpectThrowsMessage, PassesOnTheTypeAndTheExactMessageAndHandsTheErrorBack) {
  const auto error = ExpectThrowsMessage<EOrvanaError>(ThrowsTheMessage, kMessage);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->ErrorCode(), EISDIR);
  // A derived type is the expected type.
  EXPECT_TRUE(ExpectThrowsMessage<EOrvanaError>([] { throw EDerivedError(kMessage); }, kMessage));
  EXPECT_TRUE(ExpectThrowsMessage<std::runtime_error>(ThrowsTheMessage, kMessage));
}

TEST(ExpectThrowsMessage, FailsWhenNothingIsThrown) {
  EXPECT_NONFATAL_FAILURE(ExpectThrowsMessage<EOrvanaError>(ThrowsNothing, kMessage),
                          "Actual: throws nothing");
  EXPECT_NONFATAL_FAILURE(
      EXPECT_FALSE(ExpectThrowsMessage<EOrvanaError>(ThrowsNothing, kMessage).has_value()),
      "Expected: throws orvana::EOrvanaError with message");
}

TEST(ExpectThrowsMessage, FailsWhenAnotherTypeIsThrown) {
  EXPECT_NONFATAL_FAILURE(ExpectThrowsMessage<EOrvanaError>(ThrowsTheBaseType, kMessage),
                          "Actual: throws another type, std::runtime_error");
  EXPECT_NONFATAL_FAILURE(ExpectThrowsMessage<EOrvanaError>(ThrowsASiblingType, kMessage),
                          "Actual: throws another type, std::logic_error");
  EXPECT_NONFATAL_FAILURE(ExpectThrowsMessage<EDerivedError>(ThrowsTheMessage, kMessage),
                          "Actual: throws another type, orvana::EOrvanaError");
  EXPECT_NONFATAL_FAILURE(ExpectThrowsMessage<EOrvanaError>(ThrowsANumber, kMessage),
                          "Actual: throws another type, not a std::exception");
}

TEST(ExpectThrowsMessage, FailsWhenTheMessageDiffers) {
  EXPECT_NONFATAL_FAILURE(
      ExpectThrowsMessage<EOrvanaError>(ThrowsALongerMessage, kMessage),
      "Actual: its message is\n  \"Cannot open file \\\"a\\\". Is a directory.\"");
  // Neither a prefix nor an empty message passes.
  EXPECT_NONFATAL_FAILURE(ExpectThrowsMessage<EOrvanaError>(ThrowsTheMessage, "Cannot open file"),
                          "Actual: its message is");
  EXPECT_NONFATAL_FAILURE(ExpectThrowsMessage<EOrvanaError>(ThrowsTheMessage, ""),
                          "Actual: its message is");
}

TEST(ExpectThrowsMessage, ReportsTheFailureAtTheCallersLine) {
  ::testing::TestPartResultArray results;
  int line = 0;
  {
    ::testing::ScopedFakeTestPartResultReporter reporter(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
    line = __LINE__ + 1;
    ExpectThrowsMessage<EOrvanaError>(ThrowsNothing, kMessage);
  }
  ASSERT_EQ(results.size(), 1);
  EXPECT_EQ(results.GetTestPartResult(0).line_number(), line);
  EXPECT_EQ(fs::path(results.GetTestPartResult(0).file_name()).filename(), "test_util_test.cc");
  EXPECT_TRUE(results.GetTestPartResult(0).nonfatally_failed());
}

TEST(ThrownMessage, GivesTheMessageOrSaysThereWasNone) {
  EXPECT_EQ(ThrownMessage<EOrvanaError>(ThrowsTheMessage), kMessage);
  EXPECT_EQ(ThrownMessage<EOrvanaError>(ThrowsNothing), "<no error>");
  EXPECT_THROW(ThrownMessage<EOrvanaError>(ThrowsTheBaseType), std::runtime_error);
}

TEST(TempDir, IsAFreshFolderRemovedWithItsContentEvenWhenReadOnly) {
  std::string path;
  {
    TempDir dir;
    path = dir.Path();
    ASSERT_TRUE(fs::is_directory(path));
    EXPECT_EQ(FolderListing(path), "");
    EXPECT_EQ(dir / "a.txt", path + "/a.txt");
    fs::create_directories(dir / "sub");
    WriteWholeFile(dir / "sub/b.txt", "b");
    WriteWholeFile(dir / "a.txt", "a");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_exec);
  }
  EXPECT_FALSE(FileExists(path));
  TempDir other;
  EXPECT_NE(other.Path(), path);
}

TEST(WholeFiles, KeepEveryByteAndReplaceTheOldContent) {
  TempDir dir;
  const std::string bytes("a\r\n\0\xFF z", 7);
  WriteWholeFile(dir / "f", std::string(100, 'x'));
  WriteWholeFile(dir / "f", bytes);
  EXPECT_EQ(ReadWholeFile(dir / "f"), bytes);
  EXPECT_EQ(ReadWholeFile(dir / "missing"), "");
  fs::create_symlink("nowhere", dir / "dangling");
  EXPECT_TRUE(FileExists(dir / "dangling"));
  EXPECT_FALSE(FileExists(dir / "missing"));
  EXPECT_EQ(FolderListing(dir.Path()), "dangling,f");
}

TEST(RunInChild, BringsBackTheReportAndTheExitStatus) {
  const TChildReport done = RunInChild([] { return std::string("report\n", 7); });
  EXPECT_EQ(done.report, "report\n");
  EXPECT_TRUE(done.ExitedWith(0));
  const TChildReport left = RunInChild([]() -> std::string { ::_exit(3); });
  EXPECT_EQ(left.report, "");
  EXPECT_TRUE(left.ExitedWith(3));
  EXPECT_FALSE(left.ExitedWith(0));
}

// Root's child is nobody without root's groups, owner of the paths given;
// anyone else's child is that user; a scenario that throws is a failure.
TEST(RunUnprivileged, RunsAsAUserWhomPermissionsStop) {
  TempDir dir;
  const auto ids = RunUnprivileged({dir.Path()}, [&] {
    struct stat info {};
    ::stat(dir.Path().c_str(), &info);
    return std::to_string(::geteuid()) + " " + std::to_string(::getegid()) + " " +
           std::to_string(::getgroups(0, nullptr)) + " " + std::to_string(info.st_uid);
  });
  if (!ids) GTEST_SKIP() << "root cannot become the user nobody on this machine";
  if (::geteuid() == 0) {
    EXPECT_EQ(*ids, "65534 65534 0 65534");
  } else {
    EXPECT_EQ(ids->substr(0, ids->find(' ')), std::to_string(::geteuid()));
  }
  EXPECT_EQ(RunUnprivileged({}, []() -> std::string { throw 1; })->rfind("<child failed", 0), 0u);
}

}  // namespace
}  // namespace orvana::test
