// The site build over random projects and every combination of extras: the
// build and Generate make the same pages, whatever the writers, a
// dry run reports what the build reports, and the report agrees with an
// independent count over the files written.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <set>

#include "engine/BuildReport.h"
#include "engine/CodePage.h"
#include "engine/Error.h"
#include "engine/PageEncoding.h"
#include "engine/SiteBuild.h"
#include "engine/StalePages.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/TestUtil.h"

namespace orvana {
namespace {

size_t CountIn(std::string_view text, std::string_view pattern) {
  size_t n = 0;
  for (size_t at = text.find(pattern); at != std::string_view::npos;
       at = text.find(pattern, at + 1))
    ++n;
  return n;
}

// A project of random Cyrillic words (so no word can match inside the ASCII
// addresses or markup), random paragraphs, bounds, addresses (some listed
// twice, some at the very start of a page) and extras drawn from `combo`.
void RandomProject(std::mt19937& rng, unsigned combo, TSiteGenerator& g) {
  static const char* const kWords[] = {"сосна",   "берёза",  "рекою",  "Київщина", "світлина",
                                       "утром",   "вечером", "дорога", "хроника",  "слово,",
                                       "книгами", "книга",   "ключи",  "мост.",    "Ёлка"};
  TStringList lines;
  const int paragraphs = 1 + static_cast<int>(rng() % 30);
  for (int p = 0; p < paragraphs; ++p) {
    if (p > 0) lines.push_back("");
    std::string line;
    const int words = 3 + static_cast<int>(rng() % 60);
    for (int w = 0; w < words; ++w) {
      if (w > 0) line += ' ';
      line += test::W(kWords[rng() % std::size(kWords)]);
    }
    lines.push_back(line);
  }
  g.SetSiteText(lines);
  TStringList urls;
  const int addresses = static_cast<int>(rng() % 40);
  for (int a = 0; a < addresses; ++a)
    urls.push_back(rng() % 5 == 0 && !urls.empty() ? urls[rng() % urls.size()]
                                                   : "http://h" + std::to_string(a) + ".test/p");
  g.SetSiteUrlsToLink(urls);
  g.SetMinCharsPerPage(static_cast<int32_t>(50 + rng() % 300));
  g.SetMaxCharsPerPage(g.MinCharsPerPage() + static_cast<int32_t>(rng() % 400));
  g.SetSiteTitle(test::W("Сайт"));
  g.SetSiteTemplate(rng() % 2 ? "<!DOCTYPE html>\r<title>SiteGeneratorChange.Title</title>\r"
                                "SiteGeneratorChange.Menu\rSiteGeneratorChange.MainText\r"
                                "SiteGeneratorChange.Pagination\r"
                              : "<html><head><meta charset=\"windows-1251\"></head><body>\r"
                                "SiteGeneratorChange.Pagination SiteGeneratorChange.MainText "
                                "SiteGeneratorChange.Menu</body></html>\r");
  g.SetCssCode(test::W("body { font: serif } /* ё */\r"));
  TOrvanaExtras extras;
  extras.PagerWindow = (combo & 1) ? 1 + static_cast<int>(rng() % 3) : 0;
  extras.MenuWindow = (combo & 2) ? 1 + static_cast<int>(rng() % 3) : 0;
  extras.SafeLinks = combo & 4;
  extras.LinkRel = (combo & 8) ? "nofollow" : "";
  extras.OutputEncoding = (combo & 16) ? TOutputEncoding::kUtf8 : TOutputEncoding::kWindows1251;
  extras.SiteUrl = (combo & 32) ? "https://example.test/site/" : "";
  extras.PruneStale = combo & 64;
  if (combo & 128) {
    extras.PageWord = test::W("Глава");
    extras.IndexLabel = test::W("Начало");
  }
  g.SetExtras(extras);
}

std::map<std::string, std::string> Files(const test::TMemoryFileSystem& fs) {
  return std::map<std::string, std::string>(fs.files.begin(), fs.files.end());
}

TEST(SiteBuildProperty, EveryRouteWritesTheSameSiteAndReportsIt) {
  std::mt19937 rng(20261208);
  for (int round = 0; round < 300; ++round) {
    const unsigned combo = static_cast<unsigned>(round) % 256;
    const uint64_t seed = rng();
    SCOPED_TRACE("round " + std::to_string(round) + ", extras " + std::to_string(combo));
    TSiteGenerator streamed;
    std::mt19937 copy = rng;
    RandomProject(rng, combo, streamed);
    TSiteGenerator generated;
    RandomProject(copy, combo, generated);
    streamed.SetRandomSeed(seed);
    generated.SetRandomSeed(seed);

    // A stale page of an earlier, longer build, and its sitemap.
    test::TMemoryFileSystem fs_streamed, fs_generated, fs_dry;
    for (test::TMemoryFileSystem* fs : {&fs_streamed, &fs_generated, &fs_dry}) {
      fs->files["/site/page999.html"] = "old";
      fs->files["/site/sitemap.xml"] = "old";
    }
    TSiteBuildOptions options;
    options.folder = "/site";
    TSiteBuildOptions dry = options;
    dry.dry_run = true;
    // Each route with one to four writers: the files must not tell.
    TSiteBuildOptions streaming = options, writing = options;
    streaming.writers = 1 + round % 4;
    writing.writers = 1 + (round / 4) % 4;
    fs_streamed.concurrent = fs_generated.concurrent = true;

    const TBuildReport predicted = BuildSite(streamed, fs_dry, dry).report;
    EXPECT_EQ(fs_dry.files.size(), 2u) << "a dry run writes nothing";
    const TBuildReport report = BuildSite(streamed, fs_streamed, streaming).report;
    // Generate keeps in memory the pages the build writes.
    generated.Generate();
    std::map<std::string, std::string> in_memory;
    for (int i = 0; i < generated.Pages().Count(); ++i) {
      const TSitePage& page = generated.Pages()[i];
      EncodePageInto(page.PageHTML, generated.Extras().OutputEncoding,
                     in_memory["/site/" + page.PageUrl]);
    }
    const TBuildReport shown = BuildSite(generated, fs_generated, writing).report;
    for (const auto& [path, bytes] : in_memory) ASSERT_EQ(fs_generated.files.at(path), bytes);

    // Both routes write the same bytes, and say the same of them.
    ASSERT_EQ(Files(fs_streamed), Files(fs_generated));
    EXPECT_EQ(report.bytes, shown.bytes);
    EXPECT_EQ(report.placed, shown.placed);
    EXPECT_EQ(report.pruned, shown.pruned);
    // The dry run predicts the build, stale files included.
    EXPECT_EQ(predicted.bytes, report.bytes);
    EXPECT_EQ(predicted.placed, report.placed);
    EXPECT_EQ(predicted.pruned, report.pruned);
    EXPECT_EQ(predicted.warnings.size(), report.warnings.size());

    // The report against the files themselves.
    uint64_t bytes = 0, page_bytes = 0, smallest = UINT64_MAX, largest = 0;
    std::string pages_text;
    const std::set<std::string> written(fs_streamed.order.begin(), fs_streamed.order.end());
    for (const std::string& path : written) {
      const std::string& content = fs_streamed.files.at(path);
      bytes += content.size();
      if (path.ends_with(".html")) {
        page_bytes += content.size();
        smallest = std::min<uint64_t>(smallest, content.size());
        largest = std::max<uint64_t>(largest, content.size());
        pages_text += content;
      }
    }
    EXPECT_EQ(report.bytes, bytes);
    EXPECT_EQ(report.pages, report.pages_written);
    EXPECT_EQ(report.menu_and_bar_bytes, shown.menu_and_bar_bytes);
    EXPECT_EQ(report.page_bytes_min, shown.page_bytes_min);
    EXPECT_EQ(report.page_bytes_max, shown.page_bytes_max);
    EXPECT_EQ(report.page_bytes_min, smallest);
    EXPECT_EQ(report.page_bytes_max, largest);
    EXPECT_EQ(fs_streamed.files.count("/site/sitemap.xml") != 0,
              !streamed.Extras().SiteUrl.empty() || !streamed.Extras().PruneStale);
    EXPECT_EQ(fs_streamed.files.count("/site/page999.html"),
              streamed.Extras().PruneStale ? 0u : 1u);
    int64_t placed = 0;
    std::set<std::string> unused;
    for (const TAddressLinks& a : report.by_address) {
      std::string opening = "<a href=\"" + a.url + "\"";
      if (!streamed.Extras().LinkRel.empty()) opening += " rel=\"nofollow\"";
      EXPECT_EQ(static_cast<int64_t>(CountIn(pages_text, opening + ">")), a.count) << a.url;
      placed += a.count;
      if (a.count == 0) unused.insert(a.url);
      if (streamed.Extras().SafeLinks)
        for (const auto& [path, content] : fs_streamed.files)
          EXPECT_LE(CountIn(content, opening), 1u) << "one link to " << a.url << " in " << path;
    }
    EXPECT_EQ(report.placed, placed);
    EXPECT_EQ(std::set<std::string>(report.unused.begin(), report.unused.end()), unused);
    // UTF-8 pages are valid UTF-8 and declare it.
    if (streamed.Extras().OutputEncoding == TOutputEncoding::kUtf8)
      for (const std::string& path : written)
        if (const std::string& content = fs_streamed.files.at(path); path.ends_with(".html")) {
          EXPECT_EQ(Cp1251ToUtf8(Utf8ToCp1251(content)), content) << path;
          EXPECT_EQ(DeclaredCharset(content), TCharsetKind::kUtf8) << path;
        }
  }
}

// Several writers, stopped by the progress callback or by a failing write
// at a random page: the pages written are always the first ones, whole, the
// report counts exactly them, and a failure names the first page that failed.
TEST(SiteBuildProperty, SeveralWritersStopAfterTheFirstPages) {
  std::mt19937 rng(8122026);
  for (int round = 0; round < 120; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    TSiteGenerator g;
    RandomProject(rng, static_cast<unsigned>(rng() % 256), g);
    g.SetMinCharsPerPage(20);
    g.SetMaxCharsPerPage(60);
    g.SetRandomSeed(round);
    test::TMemoryFileSystem whole;
    TSiteBuildOptions options;
    options.folder = "/site";
    options.writers = 1;
    BuildSite(g, whole, options);
    const int pages = g.Pages().Count();
    if (pages < 2) continue;

    test::TMemoryFileSystem fs;
    fs.concurrent = true;
    options.writers = 2 + static_cast<int>(rng() % 3);
    const int stop_at = 1 + static_cast<int>(rng() % static_cast<unsigned>(pages - 1));
    const bool by_failure = round % 2;
    const std::string failing = "/site/" + g.Pages()[stop_at].PageUrl;
    std::vector<int> heard;
    if (by_failure) {
      // This page and every later one fail, as on a disk that is full.
      fs.fails = [&](const std::string& path) {
        const std::optional<int> n = GeneratedPageNumber(path.substr(6));
        return path == failing || (n && *n > stop_at);
      };
    } else {
      options.progress = [&](int written, int count) {
        EXPECT_EQ(count, pages);
        heard.push_back(written);
        return written < stop_at;
      };
    }
    std::optional<TSiteBuildResult> result;
    try {
      result = BuildSite(g, fs, options);
      EXPECT_FALSE(by_failure) << "the failure must be reported";
      EXPECT_TRUE(std::is_sorted(heard.begin(), heard.end()));
    } catch (const EOrvanaError& error) {
      EXPECT_TRUE(by_failure) << error.what();
      EXPECT_NE(std::string(error.what()).find(g.Pages()[stop_at].PageUrl), std::string::npos)
          << error.what();
    }
    int first_missing = pages;
    for (int i = 0; i < pages; ++i) {
      const std::string path = "/site/" + g.Pages()[i].PageUrl;
      const auto it = fs.files.find(path);
      if (it == fs.files.end()) {
        first_missing = std::min(first_missing, i);
        continue;
      }
      EXPECT_EQ(first_missing, pages) << path << " written after a page that was not";
      EXPECT_EQ(it->second, whole.files.at(path));
    }
    if (by_failure) {
      EXPECT_EQ(first_missing, stop_at);
      EXPECT_EQ(fs.files.count("/site/style.css"), 0u);
    } else if (result) {
      // The other writers may have finished the site before the stop.
      EXPECT_GE(first_missing, stop_at);
      EXPECT_EQ(result->report.pages_written, first_missing);
      const bool whole_site = first_missing == pages;
      EXPECT_EQ(result->outcome, whole_site ? TBuildOutcome::kWritten : TBuildOutcome::kCancelled);
      EXPECT_EQ(fs.files.count("/site/style.css"), whole_site ? 1u : 0u);
      // Progress ends with the whole count; pages in flight when it said
      // stop are finished after it.
      if (whole_site) EXPECT_EQ(heard.back(), pages);
      EXPECT_LE(heard.back(), first_missing);
    }
  }
}

}  // namespace
}  // namespace orvana

namespace orvana {
namespace {

// A memory file system whose files occupy their size, so that the room a
// build asks for depends on how many old files it replaces at once.
class TOccupiedFileSystem final : public test::TMemoryFileSystem {
 public:
  uint64_t AllocatedSize(const std::string& path) override {
    const auto it = files.find(path);
    return it == files.end() ? 0 : it->second.size();
  }
};

// A project of `pages` and more pages, each made on its own.
void ManyPages(TSiteGenerator& g, int round, int pages) {
  std::mt19937 rng(static_cast<unsigned>(round));
  RandomProject(rng, static_cast<unsigned>(rng() % 256), g);
  TStringList text;
  for (int i = 0; i < pages * 2; ++i) text.push_back(test::W("строка номер ") + std::to_string(i));
  g.SetSiteText(text);
  g.SetMinCharsPerPage(20);
  g.SetMaxCharsPerPage(30);
  g.SetRandomSeed(round);
}

// Whatever the free space, a dry run refuses exactly what the build refuses,
// with the same figures: it plans the build's writers.
TEST(SiteBuildProperty, ADryRunRefusesWhatTheBuildRefuses) {
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    TSiteGenerator g;
    ManyPages(g, round, 70);
    TOccupiedFileSystem fs;
    fs.concurrent = true;
    TSiteBuildOptions options;
    options.folder = "/site";
    options.writers = 2 + round % 3;
    BuildSite(g, fs, options);  // the old site the build replaces
    TSiteBuildOptions dry = options;
    dry.dry_run = true;
    fs.free_bytes = 0;
    const std::string refused =
        test::ThrownMessage<EOrvanaError>([&] { BuildSite(g, fs, options); });
    ASSERT_NE(refused.find("needs "), std::string::npos) << refused;
    EXPECT_EQ(test::ThrownMessage<EOrvanaError>([&] { BuildSite(g, fs, dry); }), refused);
  }
}

// A progress callback that throws while other writers run ends the build
// with its own error; the writers are stopped and joined.
TEST(SiteBuildProperty, AThrowingProgressEndsTheBuildWithItsError) {
  for (int round = 0; round < 20; ++round) {
    TSiteGenerator g;
    ManyPages(g, round, 60);
    test::TMemoryFileSystem fs;
    fs.concurrent = true;
    TSiteBuildOptions options;
    options.folder = "/site";
    options.writers = 2 + round % 3;
    options.progress = [&](int written, int) {
      if (written > round % 5) throw std::runtime_error("progress failed");
      return true;
    };
    EXPECT_EQ(test::ThrownMessage<std::runtime_error>([&] { BuildSite(g, fs, options); }),
              "progress failed");
    EXPECT_EQ(fs.files.count("/site/style.css"), 0u);
  }
}

// One page that cannot be written, among old pages: no page after it takes
// the place of its old file, whatever the writers.
TEST(SiteBuildProperty, NoPageAfterAFailedOneIsReplaced) {
  std::mt19937 rng(27);
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    TSiteGenerator g;
    ManyPages(g, round, 40);
    test::TMemoryFileSystem fs;
    fs.concurrent = true;
    TSiteBuildOptions options;
    options.folder = "/site";
    options.writers = 1;
    BuildSite(g, fs, options);
    const int pages = g.Pages().Count();
    for (auto& [path, bytes] : fs.files) bytes = "old";
    const int failed = static_cast<int>(rng() % static_cast<unsigned>(pages));
    const std::string failing = "/site/" + g.Pages()[failed].PageUrl;
    fs.fails = [&](const std::string& path) { return path == failing; };
    options.writers = 2 + round % 3;
    EXPECT_NE(test::ThrownMessage<EOrvanaError>([&] { BuildSite(g, fs, options); }).find(failing),
              std::string::npos);
    for (int i = 0; i < pages; ++i)
      EXPECT_EQ(fs.files.at("/site/" + g.Pages()[i].PageUrl) == "old", i >= failed) << i;
  }
}

}  // namespace
}  // namespace orvana
