// Publishing over FTP with TLS to a real vsftpd on 127.0.0.1: the
// certificate is verified or its key pinned, a server without TLS is refused
// before the user name goes out, and the site goes up as over SFTP.
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "publish/SitePublisher.h"
#include "tests/publish/PublishServers.h"

namespace orvana::publish {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;
using testing::TFtpKind;
using testing::TFtpServer;
using TFiles = std::map<std::string, std::string>;

struct TFtpRun {
  TFtpServer& server;
  TempDir local;

  TRemoteOptions Remote(const std::string& pin) {
    TRemoteOptions o;
    o.target = ParsePublishTarget(server.Url());
    o.password = server.user().password();
    o.pin = pin;
    return o;
  }
  TPublishResult Publish(const TFiles& site, TRemoteOptions remote) {
    for (const auto& entry : fs::directory_iterator(local.Path()))
      if (entry.path().filename().string()[0] != '.') fs::remove(entry.path());
    for (const auto& [name, bytes] : site) WriteWholeFile(local / name, bytes);
    TPublishOptions options;
    options.folder = local.Path();
    TCurlRemote connection(std::move(remote));
    return PublishSite(connection, options);
  }
  TFiles ServerSite() const {
    TFiles files;
    for (const auto& entry : fs::directory_iterator(server.Folder()))
      if (entry.path().filename() != std::string(kManifestName) &&
          entry.path().filename() != "own.txt")
        files[entry.path().filename().string()] = ReadWholeFile(entry.path());
    return files;
  }
};

const TFiles kSite = {{"style.css", "body{}"},
                      {"index.html", "<p>i</p>"},
                      {"page1.html", "<p>1</p>"},
                      {"page2.html", "<p>2</p>"}};

// The user name must not reach a server before TLS is on.
void ExpectNoLogin(const TFtpServer& server) {
  EXPECT_EQ(server.CommandLog().find("\"USER "), std::string::npos) << server.CommandLog();
  EXPECT_TRUE(fs::is_empty(server.Folder()));
}

TEST(PublishFtpTest, ExplicitTlsVerifiesOrPinsAndSendsOnlyWhatChanged) {
  TFtpServer server(TFtpKind::kExplicitTls);
  TFtpRun run{server};
  WriteWholeFile(server.Folder() + "/own.txt", "the host's");
  const auto expect_refused = [&](const std::string& pin, const char* words) {
    try {
      run.Publish(kSite, run.Remote(pin));
      ADD_FAILURE() << "accepted with pin '" << pin << "'";
    } catch (const EPublishError& e) {
      EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
    }
    EXPECT_EQ(run.ServerSite(), TFiles{});
  };
  expect_refused("", "cannot be verified");
  expect_refused("sha256//" + std::string(43, 'A') + "=", "not the pinned one");
  EXPECT_EQ(run.Publish(kSite, run.Remote(server.pin())).sent.size(), kSite.size());
  EXPECT_EQ(run.ServerSite(), kSite);
  EXPECT_TRUE(run.Publish(kSite, run.Remote(server.pin())).sent.empty());
  TFiles next = kSite;
  next["page2.html"] = "<p>3</p>";  // the same size
  next.erase("page1.html");
  const TPublishResult r = run.Publish(next, run.Remote(server.pin()));
  EXPECT_EQ(r.sent, std::vector<std::string>{"page2.html"});
  EXPECT_EQ(r.deleted, std::vector<std::string>{"page1.html"});
  EXPECT_EQ(run.ServerSite(), next);
  EXPECT_EQ(ReadWholeFile(server.Folder() + "/own.txt"), "the host's");
  // The password never went out before TLS, nor ever in clear.
  const std::string log = server.CommandLog();
  EXPECT_NE(log.find("AUTH TLS"), std::string::npos);
  EXPECT_LT(log.find("AUTH TLS"), log.find("\"USER "));
  EXPECT_EQ(log.find(server.user().password()), std::string::npos);
}

TEST(PublishFtpTest, ImplicitTlsPublishesWithThePinnedKey) {
  TFtpServer server(TFtpKind::kImplicitTls);
  TFtpRun run{server};
  EXPECT_THROW(run.Publish(kSite, run.Remote("")), EPublishError);
  EXPECT_EQ(run.Publish(kSite, run.Remote(server.pin())).sent.size(), kSite.size());
  EXPECT_EQ(run.ServerSite(), kSite);
}

TEST(PublishFtpTest, ServerWithoutTlsIsRefusedBeforeTheUserNameUnlessAllowed) {
  TFtpServer server(TFtpKind::kPlain);
  TFtpRun run{server};
  try {
    run.Publish(kSite, run.Remote(""));
    ADD_FAILURE() << "a server without TLS was used";
  } catch (const EPublishError& e) {
    EXPECT_NE(std::string(e.what()).find("does not offer TLS"), std::string::npos) << e.what();
  }
  ExpectNoLogin(server);
  TRemoteOptions allowed = run.Remote("");
  allowed.allow_plain_ftp = true;
  EXPECT_EQ(run.Publish(kSite, allowed).sent.size(), kSite.size());
  EXPECT_EQ(run.ServerSite(), kSite);
}

// Killed mid-upload and denied a folder: the live site stays whole, and the
// next publish finishes.
TEST(PublishFtpTest, FaultsLeaveTheLiveSiteWhole) {
  TFtpServer server(TFtpKind::kExplicitTls);
  TFtpRun run{server};
  TFiles site = kSite;
  site["big.bin"] = std::string(4 << 20, 'a');
  run.Publish(site, run.Remote(server.pin()));
  const TFiles old_site = run.ServerSite();
  TFiles next = site;
  for (auto& [name, bytes] : next) bytes[0] ^= 1;
  TRemoteOptions remote = run.Remote(server.pin());
  bool killed = false;
  remote.on_sent = [&](uint64_t sent) {
    if (sent > (1 << 20) && !killed) {
      killed = true;
      server.Kill();
    }
  };
  EXPECT_THROW(run.Publish(next, remote), EPublishError);
  EXPECT_TRUE(killed);
  for (const auto& [name, bytes] : run.ServerSite())
    if (name[0] != '.') EXPECT_TRUE(bytes == old_site.at(name)) << name;
  server.Start();

  ::chmod(server.Folder().c_str(), 0555);
  try {
    run.Publish(next, run.Remote(server.pin()));
    ADD_FAILURE() << "a read-only folder took a file";
  } catch (const EPublishError& e) {
    EXPECT_NE(std::string(e.what()).find("big.bin"), std::string::npos) << e.what();
  }
  ::chmod(server.Folder().c_str(), 0755);
  EXPECT_EQ(run.Publish(next, run.Remote(server.pin())).sent.size(), next.size());
  EXPECT_TRUE(run.ServerSite() == next);
}

}  // namespace
}  // namespace orvana::publish
