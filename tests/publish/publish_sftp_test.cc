// Publishing over SFTP to a real sshd on 127.0.0.1: whatever the site's
// changes, the server ends up with exactly the site, sending only what
// changed by content and deleting only its own files; and the faults: a
// server killed mid-upload, a permission denied, a changed host key.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "publish/SitePublisher.h"
#include "tests/publish/PublishServers.h"

namespace orvana::publish {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;
using TFiles = std::map<std::string, std::string>;

class PublishSftpTest : public ::testing::Test {
 protected:
  TRemoteOptions Remote(const std::string& host_key) {
    TRemoteOptions o;
    o.target = ParsePublishTarget(server_.Url());
    o.password = server_.user().password();
    o.host_key = host_key;
    o.known_hosts = scratch_ / "known_hosts";
    o.note = [this](const std::string& text) { notes_.push_back(text); };
    return o;
  }
  TPublishResult Publish(const TFiles& site, TRemoteOptions remote, TPublishOptions options = {}) {
    for (const auto& entry : fs::directory_iterator(local_.Path()))
      if (entry.path().filename().string()[0] != '.') fs::remove(entry.path());
    for (const auto& [name, bytes] : site) WriteWholeFile(local_ / name, bytes);
    options.folder = local_.Path();
    TCurlRemote connection(std::move(remote));
    return PublishSite(connection, options);
  }
  // The server folder's files, as the server's disk holds them.
  TFiles ServerFiles() const {
    TFiles files;
    for (const auto& entry : fs::directory_iterator(server_.Folder()))
      files[entry.path().filename().string()] = ReadWholeFile(entry.path());
    return files;
  }
  // The site's part of them: no manifest, no file of the server's own.
  TFiles ServerSite() const {
    TFiles files = ServerFiles();
    files.erase(std::string(kManifestName));
    files.erase("own.txt");
    return files;
  }

  testing::TSshServer server_;
  TempDir local_, scratch_;
  std::vector<std::string> notes_;
};

TFiles FirstSite(int pages) {
  TFiles site = {{"style.css", "body{margin:0}"}, {"index.html", "<p>index</p>"}};
  for (int i = 1; i <= pages; ++i)
    site["page" + std::to_string(i) + ".html"] = "<p>page " + std::to_string(i) + " text</p>";
  return site;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

// Random rounds of edits, same-size ones included: each publish sends
// exactly the files whose bytes changed, in the safe order, deletes exactly
// the ones gone, and leaves the server holding the site and its own file.
TEST_F(PublishSftpTest, ServerEndsWithTheSiteSendingOnlyWhatChanged) {
  WriteWholeFile(server_.Folder() + "/own.txt", "the host's own file");
  WriteWholeFile(server_.Folder() + "/page40.html", "a page the host made");
  std::mt19937 random(20261208);
  TFiles site = FirstSite(5), published;
  for (int round = 0; round < 8; ++round) {
    std::set<std::string> changed, removed;
    if (round > 0) {
      TFiles next;
      for (auto [name, bytes] : site) {
        const unsigned roll = random() % 8;
        if (roll == 0 && name != "index.html") continue;
        if (roll <= 2) bytes[random() % bytes.size()] ^= 1;  // same size, new bytes
        next[name] = bytes;
      }
      if (random() % 2) next["page" + std::to_string(10 + round) + ".html"] = "<p>new</p>";
      site = next;
    }
    for (const auto& [name, bytes] : site)
      if (!published.count(name) || published[name] != bytes) changed.insert(name);
    for (const auto& [name, bytes] : published)
      if (!site.count(name)) removed.insert(name);
    const TPublishResult r = Publish(site, Remote(server_.fingerprint()));
    EXPECT_EQ(Sorted(r.sent), std::vector<std::string>(changed.begin(), changed.end()))
        << "round " << round;
    EXPECT_EQ(Sorted(r.deleted), std::vector<std::string>(removed.begin(), removed.end()));
    EXPECT_EQ(r.kept, site.size() - changed.size());
    // Style first, pages next, index.html last.
    for (size_t i = 1; i < r.sent.size(); ++i)
      EXPECT_LE(SendRank(r.sent[i - 1]), SendRank(r.sent[i])) << r.sent[i];
    TFiles expected = site;
    expected["page40.html"] = "a page the host made";
    EXPECT_EQ(ServerSite(), expected) << "round " << round;
    EXPECT_EQ(ReadWholeFile(server_.Folder() + "/own.txt"), "the host's own file");
    EXPECT_EQ(ReadWholeFile(local_ / std::string(kManifestName)),
              ServerFiles()[std::string(kManifestName)]);
    published = site;
  }
  // Once more, unchanged: nothing is sent, deleted or rewritten.
  const TPublishResult again = Publish(site, Remote(server_.fingerprint()));
  EXPECT_TRUE(again.sent.empty());
  EXPECT_TRUE(again.deleted.empty());
}

TEST_F(PublishSftpTest, HostKeyMustBeNamedOnceAndAChangedOneIsRefused) {
  const TFiles site = FirstSite(2);
  try {
    Publish(site, Remote(""));
    ADD_FAILURE() << "an unknown key was taken";
  } catch (const EHostKeyRefused& e) {
    EXPECT_EQ(e.kind(), EHostKeyRefused::kUnknown);
    EXPECT_EQ(e.fingerprint(), server_.fingerprint());
    EXPECT_NE(std::string(e.what()).find(server_.fingerprint()), std::string::npos);
  }
  EXPECT_THROW(Publish(site, Remote("SHA256:" + std::string(43, 'A'))), EHostKeyRefused);
  EXPECT_TRUE(ServerFiles().empty());
  Publish(site, Remote(server_.fingerprint()));
  // Stored: no --host-key needed any more.
  EXPECT_EQ(Publish(site, Remote("")).kept, site.size());
  const TFiles before = ServerFiles();
  const std::string old_key = server_.fingerprint();
  server_.NewHostKey();
  server_.Restart();
  TFiles changed = site;
  changed["index.html"] = "<p>changed</p>";
  for (const std::string& named : {std::string(), old_key}) {
    try {
      Publish(changed, Remote(named));
      ADD_FAILURE() << "a changed key was taken";
    } catch (const EHostKeyRefused& e) {
      EXPECT_EQ(e.fingerprint(), server_.fingerprint());
    }
    EXPECT_EQ(ServerFiles(), before);
  }
  EXPECT_EQ(Publish(changed, Remote(server_.fingerprint())).sent,
            std::vector<std::string>{"index.html"});
}

// The server dies while a large file is on its way: every live file is
// still the old one, and the next publish finishes and leaves no temporary.
TEST_F(PublishSftpTest, ServerKilledMidUploadLeavesTheOldSiteAndTheNextPublishFinishes) {
  TFiles site = FirstSite(3);
  site["big.bin"] = std::string(4 << 20, 'a');
  Publish(site, Remote(server_.fingerprint()));
  const TFiles old_site = ServerSite();
  TFiles next = site;
  for (auto& [name, bytes] : next) bytes[0] ^= 1;
  TRemoteOptions remote = Remote(server_.fingerprint());
  bool killed = false;
  remote.on_sent = [&](uint64_t sent) {
    if (sent > (1 << 20) && !killed) {
      killed = true;
      server_.Kill();
    }
  };
  EXPECT_THROW(Publish(next, remote), EPublishError);
  EXPECT_TRUE(killed);
  for (const auto& [name, bytes] : ServerSite())
    if (name[0] != '.') EXPECT_TRUE(bytes == old_site.at(name)) << name;
  server_.Start();
  const TPublishResult r = Publish(next, Remote(server_.fingerprint()));
  EXPECT_EQ(r.sent.size(), next.size());
  EXPECT_TRUE(ServerSite() == next);
}

TEST_F(PublishSftpTest, PermissionDeniedNamesTheFileAndKeepsTheSite) {
  TFiles site = FirstSite(2);
  Publish(site, Remote(server_.fingerprint()));
  const TFiles before = ServerFiles();
  ::chmod(server_.Folder().c_str(), 0555);
  site["page1.html"] = "<p>new text</p>";
  try {
    Publish(site, Remote(server_.fingerprint()));
    ADD_FAILURE() << "a read-only folder took the file";
  } catch (const EPublishError& e) {
    EXPECT_NE(std::string(e.what()).find("page1.html"), std::string::npos) << e.what();
  }
  ::chmod(server_.Folder().c_str(), 0755);
  EXPECT_EQ(ServerFiles(), before);
}

// Deletes stay within the limit and never go through a link; --verify
// finds a file changed behind the manifest's back.
TEST_F(PublishSftpTest, DeletesAreCappedNeverThroughALinkAndVerifyRepairs) {
  TFiles site = FirstSite(6);
  Publish(site, Remote(server_.fingerprint()));
  fs::remove(server_.Folder() + "/page6.html");
  fs::create_symlink(server_.Folder() + "/../victim", server_.Folder() + "/page6.html");
  WriteWholeFile(server_.Folder() + "/../victim", "not ours");
  for (int i = 3; i <= 6; ++i) site.erase("page" + std::to_string(i) + ".html");
  TPublishOptions capped;
  capped.max_deletes = 2;
  const TFiles before = ServerFiles();
  EXPECT_THROW(Publish(site, Remote(server_.fingerprint()), capped), EPublishError);
  EXPECT_EQ(ServerFiles(), before);
  const TPublishResult r = Publish(site, Remote(server_.fingerprint()));
  EXPECT_EQ(Sorted(r.deleted),
            (std::vector<std::string>{"page3.html", "page4.html", "page5.html"}));
  EXPECT_TRUE(fs::is_symlink(server_.Folder() + "/page6.html"));
  EXPECT_EQ(ReadWholeFile(server_.Folder() + "/../victim"), "not ours");

  // Same size, other bytes, behind the manifest's back.
  WriteWholeFile(server_.Folder() + "/page1.html", std::string(site["page1.html"].size(), 'x'));
  EXPECT_TRUE(Publish(site, Remote(server_.fingerprint())).sent.empty());
  TPublishOptions verify;
  verify.verify = true;
  const TPublishResult repaired = Publish(site, Remote(server_.fingerprint()), verify);
  EXPECT_EQ(repaired.sent, std::vector<std::string>{"page1.html"});
  EXPECT_TRUE(repaired.manifest_repaired);
  EXPECT_EQ(ReadWholeFile(server_.Folder() + "/page1.html"), site["page1.html"]);
}

// The server's disk fills during a file: the error names it, the live site
// stays, and once there is room the next publish removes the leftover and
// finishes.
TEST_F(PublishSftpTest, FullDiskKeepsTheLiveSiteAndTheNextPublishFinishes) {
  server_.StartOnSmallDisk(256 << 10);
  TFiles site = FirstSite(3);
  Publish(site, Remote(server_.fingerprint()));
  const TFiles before = ServerFiles();
  TFiles next = site;
  next["page2.html"] = "<p>new</p>";
  next["big.bin"] = std::string(400 << 10, 'b');
  try {
    Publish(next, Remote(server_.fingerprint()));
    ADD_FAILURE() << "a full disk took the file";
  } catch (const EPublishError& e) {
    EXPECT_NE(std::string(e.what()).find("big.bin"), std::string::npos) << e.what();
  }
  for (const auto& [name, bytes] : before) EXPECT_EQ(ServerFiles().at(name), bytes) << name;
  next["big.bin"] = std::string(100 << 10, 'b');
  const TPublishResult r = Publish(next, Remote(server_.fingerprint()));
  EXPECT_EQ(Sorted(r.sent), (std::vector<std::string>{"big.bin", "page2.html"}));
  EXPECT_TRUE(ServerSite() == next);
}

// A key the server knows logs in without a password.
TEST_F(PublishSftpTest, IdentityKeyLogsInWithoutAPassword) {
  TRemoteOptions remote = Remote(server_.fingerprint());
  remote.password = {};
  EXPECT_THROW(Publish(FirstSite(1), remote), EPublishError);
  remote.identity = server_.AuthorizedKey();
  EXPECT_EQ(Publish(FirstSite(1), remote).sent.size(), 3u);
  EXPECT_EQ(ServerSite(), FirstSite(1));
}

}  // namespace
}  // namespace orvana::publish
