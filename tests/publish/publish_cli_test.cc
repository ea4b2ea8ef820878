// orvana-cli publish against a real sshd: exit statuses, the JSON object, a
// dry run that sends nothing, the link seed's warning, and the password never
// taken from a place others can read.
#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "tests/cli/CliTestUtil.h"
#include "tests/publish/PublishServers.h"

namespace orvana::publish {
namespace {

using cli::testing::RunTool;
using test::ReadWholeFile;

class PublishCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    std::filesystem::create_directory(dir_ / "site");
    ASSERT_EQ(RunTool({"new", project_, "--out", dir_ / "site"}).code, 0);
    test::WriteWholeFile(password_, server_.password() + "\n");
    ::chmod(password_.c_str(), 0600);
  }
  cli::testing::RunResult Publish(std::vector<std::string> options) {
    options.insert(options.begin(), {"publish", project_, "--password-file", password_});
    return RunTool(options);
  }

  testing::TSshServer server_;
  test::TempDir dir_;
  const std::string project_ = dir_ / "p.orvana", password_ = dir_ / "password";
};

TEST_F(PublishCliTest, TrustsANamedKeyPrintsJsonAndADryRunSendsNothing) {
  ASSERT_EQ(RunTool({"set", project_, "--publish-to", server_.Url()}).code, 0);
  const auto unknown = Publish({});
  EXPECT_EQ(unknown.code, 1);
  EXPECT_NE(unknown.err.find("--host-key " + server_.fingerprint()), std::string::npos);
  EXPECT_NE(unknown.err.find("no link seed"), std::string::npos);
  const auto dry = Publish({"--host-key", server_.fingerprint(), "--dry-run", "--json"});
  EXPECT_EQ(dry.code, 0) << dry.err;
  EXPECT_NE(dry.out.find("\"index.html\"],\"deleted\":[],\"kept\":0"), std::string::npos);
  EXPECT_NE(dry.out.find("\"dry_run\":true"), std::string::npos) << dry.out;
  EXPECT_TRUE(std::filesystem::is_empty(server_.Folder()));

  ASSERT_EQ(RunTool({"set", project_, "--link-seed", "7"}).code, 0);
  const auto first = Publish({"--json"});
  EXPECT_EQ(first.out.rfind("{\"target\":\"" + server_.Url() + "\",\"sent\":[\"style.css\",", 0), 0)
      << first.out << first.err;
  EXPECT_EQ(first.err.find("no link seed"), std::string::npos);
  // Built again with the stored seed: the same pages, nothing to send.
  EXPECT_EQ(Publish({"--json"}).out, "{\"target\":\"" + server_.Url() +
                                         "\",\"sent\":[],\"deleted\":[],\"kept\":2,\"bytes\":0,"
                                         "\"dry_run\":false}\n");
}

TEST_F(PublishCliTest, RefusesPasswordsFromReadablePlacesAndMisplacedOptions) {
  const std::string before = ReadWholeFile(project_);
  EXPECT_EQ(RunTool({"set", project_, "--publish-to", "sftp://me:pw@127.0.0.1/www"}).code, 2);
  EXPECT_EQ(ReadWholeFile(project_), before);
  EXPECT_EQ(Publish({"--to", "sftp://me:pw@127.0.0.1/www"}).code, 2);
  EXPECT_EQ(Publish({}).code, 2);  // no target
  ASSERT_EQ(RunTool({"set", project_, "--publish-to", server_.Url()}).code, 0);
  for (const mode_t mode : {0640, 0604, 0620}) {
    ::chmod(password_.c_str(), mode);
    EXPECT_EQ(Publish({"--host-key", server_.fingerprint()}).code, 2) << std::oct << mode;
  }
  ::chmod(password_.c_str(), 0600);
  // FTP's options on an SFTP target, a malformed key, two password sources.
  for (const std::vector<std::string>& misplaced :
       {std::vector<std::string>{"--pin", "sha256//" + std::string(44, 'A')},
        {"--allow-plain-ftp"},
        {"--host-key", "MD5:aa"},
        {"--password-stdin"}})
    EXPECT_EQ(Publish(misplaced).code, 2) << misplaced[0];
  EXPECT_TRUE(std::filesystem::is_empty(server_.Folder()));
}

}  // namespace
}  // namespace orvana::publish
