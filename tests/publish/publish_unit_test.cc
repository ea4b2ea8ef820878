// The publish pieces that need no server: target addresses and hostile
// manifests (plans and the rest are checked against real servers).
#include <random>

#include <gtest/gtest.h>

#include "publish/PublishTarget.h"
#include "publish/SiteManifest.h"

namespace orvana::publish {
namespace {

TEST(PublishTargetTest, AddressesReadBackAsTheyAreWrittenAndPasswordsAreRefused) {
  std::mt19937 random(7);
  const char* schemes[] = {"sftp", "ftp", "ftps"};
  const char* hosts[] = {"example.org", "127.0.0.1", "[::1]", "my-host"};
  const char* paths[] = {"", "/", "/www", "/~/site/a%20b", "/x/%D1%81"};
  for (int i = 0; i < 300; ++i) {
    std::string url = std::string(schemes[random() % 3]) + "://u" + std::to_string(random() % 9) +
                      "@" + hosts[random() % 4];
    if (random() % 2) url += ":" + std::to_string(1 + random() % 65535);
    url += paths[random() % 5];
    const TPublishTarget t = ParsePublishTarget(url);
    const TPublishTarget again = ParsePublishTarget(t.Url());
    EXPECT_EQ(again.Url() + again.FileUrl("x"), t.Url() + t.FileUrl("x")) << url;
    EXPECT_TRUE(t.path.front() == '/' && t.FileUrl("").ends_with("/")) << url;
    // The same with a password: refused, whatever it is.
    const size_t at = url.find('@');
    EXPECT_THROW(ParsePublishTarget(url.substr(0, at) + ":pw" + url.substr(at)), EPublishUsage);
  }
  for (const char* bad : {"http://u@h/", "sftp://h/x", "sftp://u@/x", "sftp://u@h:0/",
                          "sftp://u@h:70000/", "sftp://u@h/../x", "sftp://u@h/a?b", "ftp://u@h x/"})
    EXPECT_THROW(ParsePublishTarget(bad), EPublishUsage) << bad;
}

// What a hostile server's manifest holds cannot name a file outside the
// site (never deleted, then), and a malformed one is no manifest at all.
TEST(SiteManifestTest, RefusesUnsafeNamesAndMalformedText) {
  const std::string sha = Sha256Hex("");
  EXPECT_EQ(sha, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  std::string json = "{\"files\":{";
  for (const char* name : {"../x", ".h", "a/b", "ok", "a\\\\b"})
    json += std::string(json.back() == '{' ? "" : ",") + "\"" + name + "\":{\"sha256\":\"" + sha +
            "\",\"size\":0}";
  const auto read = ManifestFromJson(json + "}}");
  ASSERT_TRUE(read);
  EXPECT_EQ(read->size(), 1u);
  EXPECT_EQ(ManifestFromJson(ManifestToJson(*read)), read);
  for (const char* bad : {"", "{", "{\"files\":{\"a\":{\"size\":1}}}", "[]",
                          "{\"files\":{\"a\":{\"sha256\":\"zz\",\"size\":1}}}"})
    EXPECT_FALSE(ManifestFromJson(bad)) << bad;
}

}  // namespace
}  // namespace orvana::publish
