// Builds a whole site from the fuzzer's bytes, into a file system in memory.
//
// The input is a 13-byte header (the random seed, switches, the two windows,
// the page bounds, the stale files the folder holds) and then the project's
// texts, separated by the byte 0x1F, in the order of TSection (the site text
// and the addresses split into lines at LF); a text left out is empty, or
// for the template one with every placeholder, for an extra its default.
// The seed comes first, four bytes little-endian. Sizes are clamped so that
// one input builds in milliseconds, and a project whose placeholders could
// grow its pages beyond a few megabytes is passed over.
//
// Every build must end with a site or an EOrvanaError with a message. Beyond
// the sanitizers' checks:
//   - a dry run writes and removes nothing, and its report (and its failure)
//     is that of the same build written; the report adds up (the links, the
//     pages, the addresses) and tells the bytes written;
//   - the free space the dry run asked for is exactly enough: the build
//     written into that much room fits, one byte less is refused;
//   - Generate keeps in memory the pages BuildSite writes;
//   - with PruneStale, no stale page survives;
//   - with SafeLinks, every inserted link, in every written page, stands in
//     the page's text: not inside a tag, comment, script, style or another
//     link, as a browser reads the page (html_regions.h), on a whole word,
//     to the addresses the distribution placed on that page, in order.

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Error.h"
#include "engine/PageEncoding.h"
#include "engine/SafeLinks.h"
#include "engine/SiteBuild.h"
#include "engine/SiteGenerator.h"
#include "fuzz/html_regions.h"
#include "fuzz/site_build_checks.h"
#include "tests/support/MemoryFileSystem.h"

namespace {

using namespace orvana;
using namespace orvana::fuzz;

constexpr char kSectionEnd = '\x1F';
constexpr size_t kHeaderBytes = 13;
constexpr size_t kMaxText = 64 * 1024;
constexpr size_t kMaxTemplate = 4096;
constexpr size_t kMaxPiece = 1024;
constexpr size_t kMaxWord = 64;
constexpr size_t kMaxAddress = 128;
constexpr size_t kMaxAddresses = 256;
// The most bytes a build may write before the input is passed over.
constexpr uint64_t kOutputBudget = 8u << 20;
// Every placeholder starts with it, and it cannot overlap itself.
constexpr std::string_view kPlaceholderStem = "SiteGeneratorChange";

const std::string kDefaultTemplate =
    "<html><head><title>SiteGeneratorChange.Title</title></head><body>\r"
    "SiteGeneratorChange.Header\rSiteGeneratorChange.Menu\rSiteGeneratorChange.MainText\r"
    "SiteGeneratorChange.Pagination\rSiteGeneratorChange.Adsense\rSiteGeneratorChange.Footer\r"
    "</body></html>";

enum TSection {
  kText,
  kTemplate,
  kAdsense,
  kCss,
  kAddresses,
  kTitle,
  kHeader,
  kFooter,
  kPageWord,
  kIndexLabel,
  kLinkRel,
  kOutputEncoding,
  kSiteUrl,
  kSectionCount
};

// The first switch byte.
constexpr uint8_t kSafeLinks = 1, kPruneStale = 2, kJoinedText = 4, kMoreStale = 8;
// Bits 4 and 5: the output encoding when the input gives none.
// The names a project file may hold; the reader takes only the first two.
const char* const kEncodings[] = {"windows-1251", "utf-8", " UTF8 ", "koi8-r"};

// The encoding a name gives once read, as the reader would leave it.
TOutputEncoding EncodingNamed(std::string_view name) {
  return ParseOutputEncoding(name).value_or(TOutputEncoding::kWindows1251);
}
// The second switch byte.
constexpr uint8_t kCompareInMemory = 1, kCheckTooSmall = 2, kCheckMissingFolder = 4;

// A project as the generator is given it.
struct TProject {
  std::vector<std::string> text_lines;
  std::string site_template = kDefaultTemplate;
  std::string adsense, css, title, header, footer;
  std::vector<std::string> addresses;
  TOrvanaExtras extras;
  int32_t min_chars = 0, max_chars = 0;
  uint64_t seed = 0;
  bool joined_text = false;
  uint8_t switches = 0, stale = 0;
  bool stale_more = false;
};

std::vector<std::string> SplitLines(std::string_view text, size_t max_lines, size_t max_line) {
  std::vector<std::string> lines;
  while (lines.size() < max_lines) {
    const size_t end = text.find('\n');
    lines.emplace_back(text.substr(0, std::min(end, max_line)));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// A window: the byte as a small signed number, its two extremes the extremes
// of int32.
int32_t Window(uint8_t byte) {
  const int8_t v = static_cast<int8_t>(byte);
  return v == 127 ? INT32_MAX : v == -128 ? INT32_MIN : v;
}

int32_t Bound(const uint8_t* bytes) {
  const int16_t v = static_cast<int16_t>(bytes[0] | bytes[1] << 8);
  return v == 32767 ? INT32_MAX : v == -32768 ? INT32_MIN : v;
}

// Pages of at least `floor` bytes, so that no site has more than about 128
// pages; a maximum of 0 or below cuts at most once and leaves the minimum as
// it is.
void ClampBounds(TProject& p) {
  size_t text = 0;
  for (const std::string& line : p.text_lines) text += line.size() + 1;
  const int32_t floor = static_cast<int32_t>(std::max<size_t>(16, text / 128));
  if (p.max_chars <= 0) return;
  p.max_chars = std::max(p.max_chars, floor);
  p.min_chars = std::max(p.min_chars, floor);
}

TProject Parse(const uint8_t* data, size_t size) {
  uint8_t head[kHeaderBytes] = {};
  std::memcpy(head, data, std::min(size, kHeaderBytes));
  TProject p;
  p.seed = head[0] | head[1] << 8 | head[2] << 16 | static_cast<uint64_t>(head[3]) << 24;
  const uint8_t switches = head[4];
  p.extras.SafeLinks = switches & kSafeLinks;
  p.extras.PruneStale = switches & kPruneStale;
  p.joined_text = switches & kJoinedText;
  p.extras.OutputEncoding = EncodingNamed(kEncodings[(switches >> 4) & 3]);
  p.extras.PagerWindow = Window(head[5]);
  p.extras.MenuWindow = Window(head[6]);
  p.min_chars = Bound(head + 7);
  p.max_chars = Bound(head + 9);
  p.stale = head[11];
  p.switches = head[12];

  std::optional<std::string> s[kSectionCount];
  if (size > kHeaderBytes) {
    std::string_view rest(reinterpret_cast<const char*>(data) + kHeaderBytes, size - kHeaderBytes);
    for (int i = 0; i < kSectionCount; ++i) {
      const size_t end = rest.find(kSectionEnd);
      s[i] = std::string(rest.substr(0, end));
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + 1);
    }
  }
  const auto piece = [&](TSection i, std::string& to, size_t max) {
    if (s[i]) to = s[i]->substr(0, max);
  };
  if (s[kText]) p.text_lines = SplitLines(s[kText]->substr(0, kMaxText), kMaxText, kMaxText);
  if (s[kAddresses]) p.addresses = SplitLines(*s[kAddresses], kMaxAddresses, kMaxAddress);
  piece(kTemplate, p.site_template, kMaxTemplate);
  piece(kAdsense, p.adsense, kMaxPiece);
  piece(kCss, p.css, kMaxPiece);
  piece(kTitle, p.title, kMaxPiece);
  piece(kHeader, p.header, kMaxPiece);
  piece(kFooter, p.footer, kMaxPiece);
  piece(kPageWord, p.extras.PageWord, kMaxWord);
  piece(kIndexLabel, p.extras.IndexLabel, kMaxWord);
  piece(kLinkRel, p.extras.LinkRel, kMaxWord);
  if (std::string name; s[kOutputEncoding]) {
    piece(kOutputEncoding, name, kMaxWord);
    p.extras.OutputEncoding = EncodingNamed(name);
  }
  piece(kSiteUrl, p.extras.SiteUrl, kMaxPiece);
  if (switches & kMoreStale) p.stale_more = true;
  ClampBounds(p);
  return p;
}

void Configure(TSiteGenerator& g, const TProject& p) {
  if (p.joined_text) {
    std::string joined;
    std::vector<size_t> ends;
    for (const std::string& line : p.text_lines) {
      joined += line;
      ends.push_back(joined.size());
      joined += '\r';
    }
    g.SetJoinedSiteText(std::move(joined), std::move(ends));
  } else {
    g.SetSiteText(p.text_lines);
  }
  g.SetSiteTemplate(p.site_template);
  g.SetAdsenseCode(p.adsense);
  g.SetCssCode(p.css);
  g.SetSiteUrlsToLink(p.addresses);
  g.SetSiteTitle(p.title);
  g.SetSiteHeader(p.header);
  g.SetSiteFooter(p.footer);
  g.SetMinCharsPerPage(p.min_chars);
  g.SetMaxCharsPerPage(p.max_chars);
  g.SetSavePath(kFolder);
  g.SetExtras(p.extras);
  g.SetRandomSeed(p.seed);
}

// The folder's files before a build: pages an earlier build left, and with
// more stale files, sitemaps and files that only look like pages.
void SeedStaleFiles(TFuzzFileSystem& fs, const TProject& p) {
  for (int bit = 0; bit < 8; ++bit)
    if (p.stale & (1 << bit))
      fs.files[kFolder + "/page" + std::to_string(1 << bit) + ".html"] = "old";
  if (p.stale_more)
    for (const char* name : {"index.html", "style.css", "sitemap.xml", "sitemap-2.xml",
                             "page01.html", "Page3.html", "notes.txt"})
      fs.files[kFolder + "/" + name] = "old";
}

struct TRun {
  std::optional<TSiteBuildResult> result;
  std::string error;
  int error_code = 0;
};

TRun Build(TSiteGenerator& g, TFileSystem& fs, bool dry_run, int writers = 1) {
  TSiteBuildOptions options;
  options.folder = kFolder;
  options.dry_run = dry_run;
  options.writers = writers;
  TRun run;
  try {
    run.result = BuildSite(g, fs, options);
  } catch (const EOrvanaError& e) {
    run.error = e.what();
    run.error_code = e.ErrorCode();
    if (run.error.empty()) Die("the build failed without a message", "");
  } catch (const std::exception& e) {
    Die("an exception other than EOrvanaError left the build", e.what());
  } catch (...) {
    Die("an exception of no standard type left the build", "");
  }
  return run;
}

// --- Passing over projects that would build too much -----------------------

uint64_t Stems(std::string_view s) {
  uint64_t n = 0;
  for (size_t at = s.find(kPlaceholderStem); at != std::string_view::npos;
       at = s.find(kPlaceholderStem, at + 1))
    ++n;
  return n;
}

uint64_t Add(uint64_t a, uint64_t b) { return a + b < a ? UINT64_MAX : a + b; }
uint64_t Mul(uint64_t a, uint64_t b) { return b != 0 && a > UINT64_MAX / b ? UINT64_MAX : a * b; }

// An upper bound of the bytes the build writes. Each placeholder is replaced
// by a text that may hold more placeholders of the kinds replaced after it:
// those it holds and one at each of its two edges (a placeholder never
// overlaps another). E[k] bounds what one placeholder of kind k grows to.
// The pages' texts with their links are taken from a build without template.
bool WithinBudget(const TProject& p) {
  TProject bare = p;
  bare.site_template.clear();
  TSiteGenerator g;
  Configure(g, bare);
  TFuzzFileSystem fs;
  if (!Build(g, fs, true).result) return true;  // the real builds meet the error
  const uint64_t pages = static_cast<uint64_t>(g.Pages().Count());
  uint64_t main_size = 0, main_stems = 0;
  for (int i = 0; i < g.Pages().Count(); ++i) {
    const std::string& text = g.Pages()[i].PageText;
    main_size = std::max<uint64_t>(main_size, 4 * text.size() + 8);
    main_stems = std::max(main_stems, Stems(text));
  }
  const TOrvanaExtras& x = p.extras;
  const uint64_t title = std::max(x.IndexLabel.size(), x.PageWord.size() + 12);
  // In replacement order: menu, main text, bar, header, footer, advertising, title.
  const uint64_t size[7] = {Add(64, Mul(pages, 80 + title)),
                            main_size,
                            256 + 64 * pages,
                            p.header.size(),
                            p.footer.size(),
                            p.adsense.size(),
                            p.title.size() + 3 + title};
  const uint64_t stems[7] = {Add(Mul(pages, Stems(x.PageWord)), Stems(x.IndexLabel)),
                             main_stems,
                             0,
                             Stems(p.header),
                             Stems(p.footer),
                             Stems(p.adsense),
                             0};
  uint64_t grown[7], largest_after = 0, largest = 0;
  for (int k = 6; k >= 0; --k) {
    grown[k] = Add(size[k], Mul(stems[k] + 2, largest_after));
    largest_after = std::max(largest_after, grown[k]);
    largest = std::max(largest, grown[k]);
  }
  const uint64_t page = Add(p.site_template.size(), Mul(Stems(p.site_template), largest));
  return Mul(pages, page) <= kOutputBudget;
}

// --- Safe links in the written pages -----------------------------------------

// The byte closing every inserted link's rel attribute in the check's build;
// taken out of every text the project gives.
constexpr char kLinkMark = '\x02';
const std::string kMarkEnd = std::string(1, kLinkMark) + "\">";
constexpr std::string_view kLinkStart = "<a href=\"";

// A template whose main text stands in the page's text, away from any tag,
// with the menu and the bar after it.
const std::string kCheckTemplate =
    "<html><head><title>SiteGeneratorChange.Title</title></head><body>\r"
    "<div>SiteGeneratorChange.MainText</div>\r<div>SiteGeneratorChange.Pagination</div>\r"
    "<div>SiteGeneratorChange.Menu</div>\r</body></html>";

void Erase(std::string& s, std::string_view what) {
  for (size_t at = s.find(what); at != std::string::npos; at = s.find(what))
    s.erase(at, what.size());
}

// Without the mark and without placeholders, which would put other texts
// between the links and the tags around them.
std::string Unmarked(std::string s) {
  Erase(s, std::string_view(&kLinkMark, 1));
  Erase(s, kPlaceholderStem);
  return s;
}

// Only letters, digits and blanks.
std::string Plain(const std::string& s) {
  std::string out;
  for (char c : s)
    if (IsWordByte(static_cast<unsigned char>(c)) || c == ' ') out += c;
  return out;
}

// An address as the page's href holds it (see AppendHrefAddress).
std::string Href(std::string_view address) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : address) {
    if (c == '"' || c == '\'' || c == '<' || c == '>' || c == ' ' || c < 32 || c == 127) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// The href with every "&amp;" read as "&": the page writes the "&" of a
// reference the safe links do not read as "&amp;", so that the browser reads
// the address itself.
std::string AmpersandsRead(std::string_view href) {
  std::string out(href);
  for (size_t at = out.find("&amp;"); at != std::string::npos; at = out.find("&amp;", at + 1))
    out.erase(at + 1, 4);
  return out;
}

std::string Around(std::string_view html, size_t at) {
  const size_t from = at > 160 ? at - 160 : 0;
  return std::string(html.substr(from, 320));
}

// The inserted links of one page, found by their mark: where each stands,
// what it links and which word. Returns the number of links.
size_t CheckPageLinks(std::string_view html, const std::vector<std::string>& hrefs) {
  const THtmlRegions regions(html);
  size_t found = 0;
  for (size_t m = html.find(kMarkEnd); m != std::string_view::npos;
       m = html.find(kMarkEnd, m + 1), ++found) {
    const size_t start = html.rfind(kLinkStart, m);
    if (start == std::string_view::npos) Die("a marked link without its start", Around(html, m));
    const size_t href_at = start + kLinkStart.size();
    const std::string_view href = html.substr(href_at, html.find('"', href_at) - href_at);
    if (found >= hrefs.size() || AmpersandsRead(href) != AmpersandsRead(hrefs[found]))
      Die("a link to an address the distribution did not place there", Around(html, start));
    const THtmlByte& where = regions.At(start);
    // The link's "<" starts a tag of its own when it stands in text; in the
    // content of <title> or <textarea> it is text, which is no promise of
    // safe links.
    if (where.region == THtmlRegion::kTag && !where.opens)
      Die("a safe link inside a tag", Around(html, start));
    if (where.region == THtmlRegion::kComment)
      Die("a safe link inside a comment", Around(html, start));
    if (where.region == THtmlRegion::kScript)
      Die("a safe link inside a script or style", Around(html, start));
    if (where.in_link) Die("a safe link inside another link", Around(html, start));
    const size_t word_at = m + kMarkEnd.size();
    const size_t word_end = html.find("</a>", word_at);
    if (word_end == std::string_view::npos) Die("a safe link not closed", Around(html, start));
    const std::string_view word = html.substr(word_at, word_end - word_at);
    bool whole = word.size() >= kShortestLinkWord && word.size() <= kLongestLinkWord;
    for (char c : word) whole = whole && IsWordByte(static_cast<unsigned char>(c));
    const unsigned char before = start > 0 ? html[start - 1] : ' ';
    const unsigned char after = word_end + 4 < html.size() ? html[word_end + 4] : ' ';
    if (!whole || IsWordByte(before) || IsWordByte(after))
      Die("a safe link not on a whole word", Around(html, start));
    const bool entity_start =
        before == '&' || (before == '#' && start > 1 && html[start - 2] == '&');
    if (entity_start && after == ';') Die("a safe link inside an entity", Around(html, start));
  }
  if (found != hrefs.size()) Die("a placed link is missing from its page", std::string(html));
  return found;
}

// Builds the project once more, written, with SafeLinks on, a template that
// puts the text in the page's text and every link marked, and checks each
// page's links.
void CheckSafeLinks(const TProject& p) {
  TProject c = p;
  for (std::string& line : c.text_lines) line = Unmarked(std::move(line));
  for (std::string& address : c.addresses) address = Unmarked(std::move(address));
  c.site_template = kCheckTemplate;
  c.adsense = c.header = c.footer = "";
  c.title = "t";
  c.extras.PageWord = Plain(p.extras.PageWord);
  c.extras.IndexLabel = Plain(p.extras.IndexLabel);
  std::string rel;
  for (char ch : Unmarked(p.extras.LinkRel))
    if (static_cast<unsigned char>(ch) >= 32) rel += ch;
  c.extras.LinkRel = rel + kLinkMark;
  c.extras.OutputEncoding = TOutputEncoding::kWindows1251;
  c.extras.SiteUrl.clear();
  c.extras.PruneStale = false;
  c.extras.SafeLinks = true;
  TSiteGenerator g;
  Configure(g, c);
  TFuzzFileSystem fs;
  const TRun run = Build(g, fs, false);
  if (!run.result) Die("the safe-link build failed", run.error);
  CheckSafePlacements(g);
  std::vector<std::vector<std::string>> hrefs(static_cast<size_t>(g.Pages().Count()));
  for (const TLinkPlacement& pl : g.LinkPlacements())
    if (pl.links > 0)
      hrefs[static_cast<size_t>(pl.page)].push_back(
          Href(c.addresses[static_cast<size_t>(pl.address)]));
  int64_t links = 0;
  for (int i = 0; i < g.Pages().Count(); ++i)
    links += static_cast<int64_t>(CheckPageLinks(fs.files.at(kFolder + "/" + g.Pages()[i].PageUrl),
                                                 hrefs[static_cast<size_t>(i)]));
  if (links != run.result->report.placed) Die("the pages hold other links than the report's", "");
}

// --- The builds ------------------------------------------------------------------

// Generate keeps in memory the pages BuildSite wrote, byte for byte.
void CompareInMemoryBuild(const TProject& p, const TFuzzFileSystem& streamed) {
  TSiteGenerator g;
  Configure(g, p);
  g.Generate();
  std::string bytes;
  for (int i = 0; i < g.Pages().Count(); ++i) {
    const TSitePage& page = g.Pages()[i];
    EncodePageInto(page.PageHTML, g.Extras().OutputEncoding, bytes);
    const auto it = streamed.files.find(kFolder + "/" + page.PageUrl);
    if (it == streamed.files.end() || it->second != bytes)
      Die("Generate kept another page than BuildSite wrote", page.PageUrl);
  }
}

// A dry run into one byte less room than it reported must be refused; into
// a folder that is missing, nothing is built.
void CheckRefusals(const TProject& p, uint64_t bytes) {
  if ((p.switches & kCheckTooSmall) && bytes > 0) {
    TSiteGenerator g;
    Configure(g, p);
    TFuzzFileSystem fs;
    SeedStaleFiles(fs, p);
    fs.free_bytes = bytes - 1;
    const TRun run = Build(g, fs, true);
    if (run.result || run.error_code != ENOSPC)
      Die("a site one byte larger than the free space was not refused", run.error);
  }
  if (p.switches & kCheckMissingFolder) {
    for (bool dry_run : {true, false}) {
      TSiteGenerator g;
      Configure(g, p);
      TFuzzFileSystem fs;
      fs.missing_folder = true;
      const TRun run = Build(g, fs, dry_run);
      if (!run.result || run.result->outcome != TBuildOutcome::kMissingFolder ||
          !fs.order.empty() || run.result->report.pages != 0)
        Die("a missing folder was not refused", run.error);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TProject p = Parse(data, size);
  if (!WithinBudget(p)) return 0;

  TSiteGenerator dry_generator;
  Configure(dry_generator, p);
  TFuzzFileSystem dry_fs;
  SeedStaleFiles(dry_fs, p);
  dry_fs.free_bytes = UINT64_MAX;
  const auto files_before = dry_fs.files;
  const TRun dry = Build(dry_generator, dry_fs, true);
  if (dry_fs.files != files_before || !dry_fs.order.empty() || !dry_fs.removed.empty())
    Die("the dry run changed the file system", "");

  TSiteGenerator generator;
  Configure(generator, p);
  TFuzzFileSystem fs;
  SeedStaleFiles(fs, p);
  fs.free_bytes = dry.result ? dry.result->report.bytes : UINT64_MAX;
  // One to three writers; the in-memory build below, with one, must write
  // the same files.
  fs.concurrent = true;
  const TRun written = Build(generator, fs, false, 1 + static_cast<int>(p.seed % 3));
  if (dry.result.has_value() != written.result.has_value() || dry.error != written.error)
    Die("the dry run and the written build end differently", dry.error + " | " + written.error);
  if (!dry.result) return 0;

  const TBuildReport& report = dry.result->report;
  if (dry.result->outcome != TBuildOutcome::kWritten ||
      written.result->outcome != TBuildOutcome::kWritten)
    Die("a build into an existing folder did not end written", "");
  CheckReport(dry_generator, report, true);
  CheckReport(generator, written.result->report, false);
  CompareReports(report, written.result->report);
  CheckWrittenFiles(generator, fs, written.result->report);
  if (p.extras.SafeLinks) CheckSafePlacements(generator);
  if (p.switches & kCompareInMemory) CompareInMemoryBuild(p, fs);
  CheckRefusals(p, report.bytes);
  if (p.extras.SafeLinks) CheckSafeLinks(p);
  return 0;
}
