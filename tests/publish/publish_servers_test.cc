// Publishing to real servers on 127.0.0.1, sshd (SFTP) and vsftpd (FTP with
// TLS): whatever the site's changes, the server ends up with exactly the
// site, sending only what changed by content and deleting only its own
// files; and the faults: a server killed mid-upload, a full disk, a denied
// folder, a changed host key, an unverified certificate, no TLS at all.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "publish/SitePublisher.h"
#include "tests/publish/PublishServers.h"

namespace orvana::publish {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::WriteWholeFile;
using testing::TFtpKind;
using testing::TFtpServer;
using TFiles = std::map<std::string, std::string>;
using TNames = std::vector<std::string>;

// A server's folder; without `all`, the site's part: no manifest and no
// file of the host's own ("own.txt").
TFiles FolderFiles(const std::string& folder, bool all = false) {
  TFiles files;
  for (const auto& entry : fs::directory_iterator(folder))
    files[entry.path().filename().string()] = ReadWholeFile(entry.path());
  if (!all) files.erase(std::string(kManifestName)), files.erase("own.txt");
  return files;
}

TFiles FirstSite(int pages) {
  TFiles site = {{"style.css", "body{margin:0}"}, {"index.html", "<p>index</p>"}};
  for (int i = 1; i <= pages; ++i)
    site["page" + std::to_string(i) + ".html"] = "<p>page " + std::to_string(i) + " text</p>";
  return site;
}

TNames Sorted(TNames names) {
  std::sort(names.begin(), names.end());
  return names;
}

// Expects `publish` to fail with an error whose message holds `words`.
template <class E = EPublishError>
void ExpectFailure(const std::function<void()>& publish, const std::string& words) {
  try {
    publish();
    ADD_FAILURE() << "no failure; expected one saying " << words;
  } catch (const E& e) {
    EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
  }
}

// The local site folder a test publishes from.
class PublishTestBase : public ::testing::Test {
 protected:
  TPublishResult Publish(const TFiles& site, TRemoteOptions remote, TPublishOptions options = {}) {
    for (const auto& entry : fs::directory_iterator(local_.Path()))
      if (entry.path().filename().string()[0] != '.') fs::remove(entry.path());
    for (const auto& [name, bytes] : site) WriteWholeFile(local_ / name, bytes);
    options.folder = local_.Path();
    TCurlRemote connection(std::move(remote));
    return PublishSite(connection, options);
  }
  test::TempDir local_, scratch_;
};

class PublishSftpTest : public PublishTestBase {
 protected:
  TRemoteOptions Remote(const std::string& host_key) {
    TRemoteOptions o;
    o.target = ParsePublishTarget(server_.Url());
    o.password = server_.password();
    o.host_key = host_key;
    o.known_hosts = scratch_ / "known_hosts";
    return o;
  }
  TRemoteOptions Trusted() { return Remote(server_.fingerprint()); }
  testing::TSshServer server_;
};

// Random rounds of edits, same-size ones included: each publish sends exactly
// the changed files (style, pages, index.html last), deletes exactly the ones
// gone, and leaves the server holding the site and its own files.
TEST_F(PublishSftpTest, ServerEndsWithTheSiteSendingOnlyWhatChanged) {
  WriteWholeFile(server_.Folder() + "/own.txt", "the host's own file");
  WriteWholeFile(server_.Folder() + "/page40.html", "a page the host made");
  std::mt19937 random(20261208);
  TFiles site = FirstSite(5), published;
  for (int round = 0; round < 8; ++round) {
    if (round > 0) {
      TFiles next;
      for (auto [name, bytes] : site) {
        const unsigned roll = random() % 8;
        if (roll <= 2) bytes[random() % bytes.size()] ^= 1;  // same size, new bytes
        if (roll != 0 || name == "index.html") next[name] = bytes;
      }
      if (random() % 2) next["page" + std::to_string(10 + round) + ".html"] = "<p>new</p>";
      site = next;
    }
    TNames changed, removed;
    for (const auto& [name, bytes] : site)
      if (!published.count(name) || published[name] != bytes) changed.push_back(name);
    for (const auto& [name, bytes] : published)
      if (!site.count(name)) removed.push_back(name);
    const TPublishResult r = Publish(site, Trusted());
    EXPECT_EQ(Sorted(r.sent), changed) << "round " << round;
    EXPECT_EQ(Sorted(r.deleted), removed);
    EXPECT_EQ(r.kept, site.size() - changed.size());
    for (size_t i = 1; i < r.sent.size(); ++i)
      EXPECT_LE(SendRank(r.sent[i - 1]), SendRank(r.sent[i]));
    TFiles expected = site;
    expected["page40.html"] = "a page the host made";
    EXPECT_EQ(FolderFiles(server_.Folder()), expected) << "round " << round;
    EXPECT_EQ(FolderFiles(server_.Folder(), true)["own.txt"], "the host's own file");
    EXPECT_EQ(ReadWholeFile(local_ / std::string(kManifestName)),
              FolderFiles(server_.Folder(), true)[std::string(kManifestName)]);
    published = site;
  }
}

TEST_F(PublishSftpTest, HostKeyMustBeNamedOnceAndAChangedOneIsRefused) {
  const TFiles site = FirstSite(2);
  ExpectFailure<EHostKeyRefused>([&] { Publish(site, Remote("")); },
                                 "unknown: " + server_.fingerprint());
  ExpectFailure<EHostKeyRefused>([&] { Publish(site, Remote("SHA256:" + std::string(43, 'A'))); },
                                 server_.fingerprint());
  EXPECT_TRUE(fs::is_empty(server_.Folder()));
  Publish(site, Trusted());
  EXPECT_EQ(Publish(site, Remote("")).kept, site.size());  // stored: no need to name it again
  const TFiles before = FolderFiles(server_.Folder(), true);
  const std::string old_key = server_.fingerprint();
  server_.NewHostKey();
  server_.Kill();
  server_.Start();
  TFiles changed = site;
  changed["index.html"] = "<p>changed</p>";
  for (const std::string& named : {std::string(), old_key}) {
    ExpectFailure<EHostKeyRefused>([&] { Publish(changed, Remote(named)); }, server_.fingerprint());
    EXPECT_EQ(FolderFiles(server_.Folder(), true), before);
  }
  EXPECT_EQ(Publish(changed, Trusted()).sent, TNames{"index.html"});
}

// The server dies while a large file is on its way: every live file is
// still the old one, and the next publish finishes and leaves no temporary.
TEST_F(PublishSftpTest, ServerKilledMidUploadLeavesTheOldSiteAndTheNextPublishFinishes) {
  TFiles site = FirstSite(3);
  site["big.bin"] = std::string(4 << 20, 'a');
  Publish(site, Trusted());
  const TFiles old_site = FolderFiles(server_.Folder());
  TFiles next = site;
  for (auto& [name, bytes] : next) bytes[0] ^= 1;
  TRemoteOptions remote = Trusted();
  bool killed = false;
  remote.on_sent = [&](uint64_t sent) {
    if (sent > (1 << 20) && !killed) killed = true, server_.Kill();
  };
  EXPECT_THROW(Publish(next, remote), EPublishError);
  EXPECT_TRUE(killed);
  for (const auto& [name, bytes] : FolderFiles(server_.Folder()))
    if (name[0] != '.') EXPECT_TRUE(bytes == old_site.at(name)) << name;
  server_.Start();
  EXPECT_EQ(Publish(next, Trusted()).sent.size(), next.size());
  EXPECT_TRUE(FolderFiles(server_.Folder()) == next);
}

// A denied folder, then a disk that fills during a file: the error names
// the file, the live site stays, and once there is room the next publish
// removes the leftover and finishes.
TEST_F(PublishSftpTest, DeniedFolderAndFullDiskKeepTheLiveSite) {
  server_.StartOnSmallDisk(256 << 10);
  TFiles site = FirstSite(3);
  Publish(site, Trusted());
  const TFiles before = FolderFiles(server_.Folder(), true);
  TFiles next = site;
  next["page2.html"] = "<p>new</p>";
  ::chmod(server_.Folder().c_str(), 0555);
  ExpectFailure([&] { Publish(next, Trusted()); }, "page2.html");
  ::chmod(server_.Folder().c_str(), 0755);
  next["big.bin"] = std::string(400 << 10, 'b');
  ExpectFailure([&] { Publish(next, Trusted()); }, "big.bin");
  for (const auto& [name, bytes] : before)
    EXPECT_EQ(FolderFiles(server_.Folder(), true).at(name), bytes) << name;
  next["big.bin"] = std::string(100 << 10, 'b');
  EXPECT_EQ(Sorted(Publish(next, Trusted()).sent), (TNames{"big.bin", "page2.html"}));
  EXPECT_TRUE(FolderFiles(server_.Folder()) == next);
}

// Deletes stay within the limit and never go through a link; --verify
// finds a file changed behind the manifest's back; a key logs in alone.
TEST_F(PublishSftpTest, DeletesAreCappedNeverThroughALinkVerifyRepairsAndAKeyLogsIn) {
  TFiles site = FirstSite(6);
  Publish(site, Trusted());
  fs::remove(server_.Folder() + "/page6.html");
  fs::create_symlink(server_.Folder() + "/../victim", server_.Folder() + "/page6.html");
  WriteWholeFile(server_.Folder() + "/../victim", "not ours");
  for (int i = 3; i <= 6; ++i) site.erase("page" + std::to_string(i) + ".html");
  TPublishOptions options;
  options.max_deletes = 2;
  const TFiles before = FolderFiles(server_.Folder(), true);
  ExpectFailure([&] { Publish(site, Trusted(), options); }, "delete 3 files");
  EXPECT_EQ(FolderFiles(server_.Folder(), true), before);
  EXPECT_EQ(Sorted(Publish(site, Trusted()).deleted),
            (TNames{"page3.html", "page4.html", "page5.html"}));
  EXPECT_TRUE(fs::is_symlink(server_.Folder() + "/page6.html"));
  EXPECT_EQ(ReadWholeFile(server_.Folder() + "/../victim"), "not ours");

  WriteWholeFile(server_.Folder() + "/page1.html", std::string(site["page1.html"].size(), 'x'));
  TRemoteOptions by_key = Trusted();
  by_key.password = {};
  EXPECT_THROW(Publish(site, by_key), EPublishError);
  by_key.identity = server_.AuthorizedKey();
  EXPECT_TRUE(Publish(site, by_key).sent.empty());
  options.verify = true;
  const TPublishResult repaired = Publish(site, by_key, options);
  EXPECT_EQ(repaired.sent, TNames{"page1.html"});
  EXPECT_TRUE(repaired.manifest_repaired);
  EXPECT_EQ(ReadWholeFile(server_.Folder() + "/page1.html"), site["page1.html"]);
}

using PublishFtpTest = PublishTestBase;

TRemoteOptions Remote(const TFtpServer& server, const std::string& pin) {
  TRemoteOptions o{ParsePublishTarget(server.Url()), server.password()};
  o.pin = pin;
  return o;
}

const TFiles kSite = {{"style.css", "body{}"},
                      {"index.html", "<p>i</p>"},
                      {"page1.html", "<p>1</p>"},
                      {"page2.html", "<p>2</p>"}};

TEST_F(PublishFtpTest, TlsIsVerifiedOrPinnedAndOnlyWhatChangedIsSent) {
  TFtpServer server(TFtpKind::kExplicitTls);
  WriteWholeFile(server.Folder() + "/own.txt", "the host's");
  ExpectFailure<ECertificateRefused>([&] { Publish(kSite, Remote(server, "")); }, server.pin());
  ExpectFailure([&] { Publish(kSite, Remote(server, "sha256//" + std::string(43, 'A') + "=")); },
                "not the pinned one");
  EXPECT_EQ(FolderFiles(server.Folder()), TFiles{});
  EXPECT_EQ(Publish(kSite, Remote(server, server.pin())).sent.size(), kSite.size());
  EXPECT_TRUE(Publish(kSite, Remote(server, server.pin())).sent.empty());
  TFiles next = kSite;
  next["page2.html"] = "<p>3</p>";  // the same size
  next.erase("page1.html");
  const TPublishResult r = Publish(next, Remote(server, server.pin()));
  EXPECT_EQ(r.sent, TNames{"page2.html"});
  EXPECT_EQ(r.deleted, TNames{"page1.html"});
  EXPECT_EQ(FolderFiles(server.Folder()), next);
  EXPECT_EQ(ReadWholeFile(server.Folder() + "/own.txt"), "the host's");
  // TLS came before the user name, and the password never showed.
  const std::string log = server.CommandLog();
  EXPECT_LT(log.find("\"AUTH TLS\""), log.find("\"USER "));
  EXPECT_EQ(log.find(server.password()), std::string::npos);

  TFtpServer implicit(TFtpKind::kImplicitTls);
  EXPECT_THROW(Publish(kSite, Remote(implicit, "")), EPublishError);
  EXPECT_EQ(Publish(kSite, Remote(implicit, implicit.pin())).sent.size(), kSite.size());
  EXPECT_EQ(FolderFiles(implicit.Folder()), kSite);
}

TEST_F(PublishFtpTest, ServerWithoutTlsIsRefusedBeforeTheUserNameUnlessAllowed) {
  TFtpServer server(TFtpKind::kPlain);
  ExpectFailure([&] { Publish(kSite, Remote(server, "")); }, "does not offer TLS");
  EXPECT_EQ(server.CommandLog().find("\"USER "), std::string::npos) << server.CommandLog();
  EXPECT_TRUE(fs::is_empty(server.Folder()));
  TRemoteOptions allowed = Remote(server, "");
  allowed.allow_plain_ftp = true;
  EXPECT_EQ(Publish(kSite, allowed).sent.size(), kSite.size());
  EXPECT_EQ(FolderFiles(server.Folder()), kSite);
}

}  // namespace
}  // namespace orvana::publish
