#include "cli/SiteCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "cli/CliError.h"
#include "cli/PageScan.h"
#include "cli/StrictXml.h"
#include "engine/CodePage.h"
#include "engine/FileSystem.h"
#include "engine/PageEncoding.h"

namespace orvana::cli {
namespace {

namespace fs = std::filesystem;

bool EndsWithNoCase(std::string_view s, std::string_view lower_suffix) {
  if (s.size() < lower_suffix.size()) return false;
  s = s.substr(s.size() - lower_suffix.size());
  for (size_t i = 0; i < s.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) != lower_suffix[i]) return false;
  return true;
}

bool IsPageName(std::string_view name) {
  return EndsWithNoCase(name, ".html") || EndsWithNoCase(name, ".htm");
}

// Orders names as a person counts: "page2.html" before "page10.html".
bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (std::isdigit(static_cast<unsigned char>(a[i])) &&
        std::isdigit(static_cast<unsigned char>(b[j]))) {
      const size_t i0 = i, j0 = j;
      while (i < a.size() && std::isdigit(static_cast<unsigned char>(a[i]))) ++i;
      while (j < b.size() && std::isdigit(static_cast<unsigned char>(b[j]))) ++j;
      const std::string_view x = std::string_view(a).substr(i0, i - i0);
      const std::string_view y = std::string_view(b).substr(j0, j - j0);
      const size_t zx = std::min(x.find_first_not_of('0'), x.size());
      const size_t zy = std::min(y.find_first_not_of('0'), y.size());
      if (x.size() - zx != y.size() - zy) return x.size() - zx < y.size() - zy;
      if (x.substr(zx) != y.substr(zy)) return x.substr(zx) < y.substr(zy);
      continue;
    }
    if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    ++i, ++j;
  }
  return a.size() - i < b.size() - j;
}

void PercentDecode(std::string_view in, std::string& out) {
  const auto hex = [](char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
  };
  out.clear();
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '%' && i + 2 < in.size() && hex(in[i + 1]) >= 0 && hex(in[i + 2]) >= 0) {
      out += static_cast<char>(hex(in[i + 1]) * 16 + hex(in[i + 2]));
      i += 2;
    } else {
      out += in[i];
    }
  }
}

// `path` ("/"-separated, percent-decoded) taken from the folder `dir` of the
// site ("" for its top), with "." and ".." applied; a path naming a folder
// (ending in "/") names its index.html. Nullopt when it climbs out.
std::optional<std::string> JoinSitePath(std::string_view dir, std::string_view path) {
  std::vector<std::string_view> parts;
  const auto split = [&parts](std::string_view s) {
    for (size_t start = 0; start <= s.size();) {
      const size_t slash = std::min(s.find('/', start), s.size());
      const std::string_view part = s.substr(start, slash - start);
      if (part == "..") {
        if (parts.empty()) return false;
        parts.pop_back();
      } else if (!part.empty() && part != ".") {
        parts.push_back(part);
      }
      start = slash + 1;
    }
    return true;
  };
  if (!path.empty() && path[0] == '/') dir = {};
  if (!split(dir) || !split(path)) return std::nullopt;
  std::string joined;
  for (const std::string_view part : parts) (joined += part) += '/';
  const bool folder = path.empty() || path.back() == '/' || path.ends_with("/.") ||
                      path.ends_with("/..") || path == "." || path == "..";
  if (folder) return joined + "index.html";
  joined.pop_back();
  return joined;
}

// The address part of a link that names a file of the site, or nullopt for
// one that leads elsewhere: a scheme ("http:", "mailto:", "javascript:"), a
// host ("//host"), a fragment of the page itself or nothing at all.
std::optional<std::string_view> LocalAddress(std::string_view href) {
  while (!href.empty() && static_cast<unsigned char>(href.front()) <= ' ') href.remove_prefix(1);
  while (!href.empty() && static_cast<unsigned char>(href.back()) <= ' ') href.remove_suffix(1);
  if (href.empty() || href[0] == '#' || href.starts_with("//")) return std::nullopt;
  if (std::isalpha(static_cast<unsigned char>(href[0]))) {
    const size_t end =
        href.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.");
    if (end != std::string_view::npos && href[end] == ':') return std::nullopt;
  }
  href = href.substr(0, href.find_first_of("?#"));
  return href;
}

// Whether each link address met so far resolves, looked up by views into
// the pages without copying them.
struct TViewHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};
using TKnownLinks = std::unordered_map<std::string, int64_t, TViewHash, std::equal_to<>>;

// What a link leads to, beside the index of a page of the site.
constexpr int64_t kBroken = -2;
constexpr int64_t kNoPage = -1;

// Where the UTF-8 of a page handed over in pieces first goes wrong, and
// whether it holds any byte beyond ASCII. A sequence cut by the end of a
// piece is carried over to the next.
class TUtf8Scan {
 public:
  static constexpr uint64_t npos = ~uint64_t{0};

  void Feed(std::string_view piece) {
    for (size_t i = 0; !high_ && i < piece.size(); i += 8) {
      uint64_t word = 0;
      std::memcpy(&word, piece.data() + i, std::min<size_t>(8, piece.size() - i));
      high_ = (word & 0x8080808080808080ULL) != 0;
    }
    if (bad_ != npos) return;
    uint64_t base = offset_;
    offset_ += piece.size();
    if (!carry_.empty()) {
      const size_t take = std::min(piece.size(), SequenceLength(carry_[0]) - carry_.size());
      carry_.append(piece.substr(0, take));
      piece.remove_prefix(take);
      base += take;
      if (carry_.size() < SequenceLength(carry_[0])) return;
      size_t length = 0;
      if (DecodeUtf8(carry_, length) < 0) bad_ = carry_at_;
      carry_.clear();
      if (bad_ != npos) return;
    }
    const size_t at = FirstNonUtf8(piece);
    if (at == std::string_view::npos) return;
    const std::string_view tail = piece.substr(at);
    const bool cut = tail.size() < SequenceLength(tail[0]) &&
                     std::all_of(tail.begin() + 1, tail.end(), [](char c) {
                       return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
                     });
    if (cut)
      carry_ = tail, carry_at_ = base + at;
    else
      bad_ = base + at;
  }
  // The offset of the first bad sequence, or npos.
  uint64_t Finish() {
    if (!carry_.empty() && bad_ == npos) bad_ = carry_at_;
    return bad_;
  }
  bool HighBytes() const { return high_; }

 private:
  static size_t SequenceLength(char lead) {
    const auto c = static_cast<unsigned char>(lead);
    return c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
  }

  uint64_t offset_ = 0, bad_ = npos, carry_at_ = 0;
  std::string carry_;
  bool high_ = false;
};

class TSiteChecker {
 public:
  explicit TSiteChecker(std::string folder) : folder_(std::move(folder)) {}

  TSiteCheck Run() {
    ListFiles();
    result_.pages = pages_.size();
    if (pages_.empty()) Report(".", kNoPages, "the folder holds no .html page");
    for (size_t i = 0; i < pages_.size(); ++i) page_index_.emplace(pages_[i], i);
    links_.resize(pages_.size());
    for (size_t i = 0; i < pages_.size(); ++i) CheckPage(i);
    ReportUnlinkedPages();
    for (const auto& [name, what] : not_files_) Report(name, kNotAFile, what, /*warning=*/true);
    if (files_.count("sitemap.xml")) CheckSitemap();
    return std::move(result_);
  }

 private:
  void Report(const std::string& file, const char* code, std::string message,
              bool warning = false) {
    result_.problems.push_back({PrintableBytes(file), code, std::move(message), warning});
  }

  void ListFiles() {
    std::error_code ec;
    fs::recursive_directory_iterator it(folder_, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      const std::string relative = it->path().lexically_relative(folder_).generic_string();
      std::error_code kind_error;
      const fs::file_status status = it->status(kind_error);
      if (fs::is_directory(status)) {
        dirs_.insert(relative);
      } else if (fs::is_regular_file(status)) {
        if (IsPageName(relative)) pages_.push_back(relative);
        files_.insert(relative);
      } else {
        NotAFile(relative, status, kind_error, it->is_symlink(kind_error));
      }
    }
    if (ec)
      throw ECliError("Cannot read the folder \"" + AbsoluteUtf8Path(folder_) +
                      "\": " + ec.message());
    std::sort(pages_.begin(), pages_.end(), NaturalLess);
    std::sort(not_files_.begin(), not_files_.end(),
              [](const auto& a, const auto& b) { return NaturalLess(a.first, b.first); });
  }

  // An entry that is neither a folder nor a regular file, named as what it is.
  void NotAFile(const std::string& relative, const fs::file_status& status,
                const std::error_code& error, bool link) {
    const std::string kind = error.value() == ELOOP         ? "a link loop"
                             : error || !fs::exists(status) ? "a link to nothing"
                             : fs::is_fifo(status)          ? "a FIFO"
                             : fs::is_socket(status)        ? "a socket"
                             : fs::is_block_file(status) || fs::is_character_file(status)
                                 ? "a device"
                                 : "not a regular file";
    const bool to = link && kind != "a link loop" && kind != "a link to nothing";
    not_files_.emplace_back(
        relative, "is " + (to ? "a link to " + kind : kind) + ", not a file: not checked");
  }

  // The whole file into `bytes`; false, reported, when it cannot be read.
  bool ReadSiteFile(const std::string& relative, std::string& bytes) {
    const std::string path = folder_ + "/" + relative;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    bool ok = fd >= 0 && ::fstat(fd, &st) == 0;
    if (ok && static_cast<uint64_t>(st.st_size) > kMaxSitemapBytes) {
      ::close(fd);
      Report(relative, kTooLarge,
             "is " + std::to_string(st.st_size) + " bytes, more than the " +
                 std::to_string(kMaxSitemapBytes >> 20) + " MiB that are judged");
      return false;
    }
    if (ok) {
      bytes.resize(static_cast<size_t>(st.st_size));
      size_t got = 0;
      while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
      }
      ok = got == bytes.size();
    }
    const int error = errno;
    if (fd >= 0) ::close(fd);
    if (!ok) Report(relative, kUnreadable, "cannot be read: " + SystemErrorText(error));
    return ok;
  }

  // What the link `href` of a page in the folder `dir` leads to: kBroken
  // for no file, the index of a page, or kNoPage. The answers are kept: the
  // same menu links repeat on every page.
  int64_t LinkTarget(const std::string& dir, TKnownLinks& known, std::string_view href) {
    if (const auto found = known.find(href); found != known.end()) return found->second;
    int64_t target = kNoPage;
    // An address of a query or fragment alone ("?page=2") is the page itself.
    if (const auto address = LocalAddress(href); address && !address->empty()) {
      PercentDecode(*address, decoded_);
      std::optional<std::string> file = JoinSitePath(dir, decoded_);
      if (file && !files_.count(*file) && dirs_.count(*file)) *file += "/index.html";
      const auto page = file ? page_index_.find(*file) : page_index_.end();
      target = !file || !files_.count(*file) ? kBroken
               : page != page_index_.end()   ? static_cast<int64_t>(page->second)
                                             : kNoPage;
    }
    known.emplace(href, target);
    return target;
  }

  // Keeps the link from page `from` to page `to`, as runs of consecutive
  // pages: the bars and menus of a site link pages in order.
  void AddLink(size_t from, int64_t to) {
    if (to < 0 || static_cast<size_t>(to) == from) return;
    auto& runs = links_[from];
    const auto page = static_cast<uint32_t>(to);
    if (!runs.empty() && page >= runs.back().first && page <= runs.back().second) return;
    if (!runs.empty() && page == runs.back().second + 1)
      runs.back().second = page;
    else
      runs.emplace_back(page, page);
  }

  // The pages no chain of links from the top index.html reaches: pages an
  // earlier, larger build left. A site without index.html has no start.
  void ReportUnlinkedPages() {
    const auto start = page_index_.find("index.html");
    if (start == page_index_.end()) return;
    std::vector<bool> reached(pages_.size());
    std::vector<size_t> queue = {start->second};
    reached[start->second] = true;
    while (!queue.empty()) {
      const size_t page = queue.back();
      queue.pop_back();
      for (const auto& [first, last] : links_[page])
        for (uint32_t to = first; to <= last; ++to)
          if (!reached[to]) reached[to] = true, queue.push_back(to);
    }
    for (size_t i = 0; i < pages_.size(); ++i)
      if (!reached[i])
        Report(pages_[i], kUnlinkedPage,
               "no chain of links from index.html leads here (left by an earlier build?)",
               /*warning=*/true);
  }

  // Reads the page a piece at a time into the scanner and the UTF-8 scan;
  // returns false, reported, when it cannot be read or is too large.
  bool ReadPage(const std::string& page, TPageScanner& scanner, TUtf8Scan& utf8,
                TCharsetSniffer& charset) {
    const int fd = ::open((folder_ + "/" + page).c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    int error = fd < 0 || ::fstat(fd, &st) != 0 ? errno : 0;
    if (error == 0 && static_cast<uint64_t>(st.st_size) > kMaxPageBytes) {
      ::close(fd);
      Report(page, kTooLarge,
             "is " + std::to_string(st.st_size) + " bytes, more than the " +
                 std::to_string(kMaxPageBytes >> 30) + " GiB that are judged");
      return false;
    }
    piece_.resize(kPieceBytes);
    uint64_t total = 0;
    while (error == 0) {
      const ssize_t n = ::read(fd, piece_.data(), piece_.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error = n < 0 ? errno : 0;
        break;
      }
      total += static_cast<uint64_t>(n);
      const std::string_view piece(piece_.data(), static_cast<size_t>(n));
      utf8.Feed(piece);
      scanner.Feed(piece);
      charset.Feed(piece);
    }
    if (fd >= 0) ::close(fd);
    if (error != 0) Report(page, kUnreadable, "cannot be read: " + SystemErrorText(error));
    if (error == 0 && total == 0) Report(page, kEmptyPage, "the page is empty (0 bytes)");
    return error == 0 && total > 0;
  }

  void CheckPage(size_t index) {
    const std::string& page = pages_[index];
    const size_t slash = page.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : page.substr(0, slash);
    TKnownLinks& known = resolved_[dir];
    std::vector<std::string> broken;
    TPageScanner scanner([&](std::string_view href) {
      const int64_t target = LinkTarget(dir, known, href);
      AddLink(index, target);
      if (target == kBroken && std::find(broken.begin(), broken.end(), href) == broken.end())
        broken.emplace_back(href);
    });
    TUtf8Scan utf8;
    // The charset as browsers read it, the way the build reads its pages.
    TCharsetSniffer charset;
    if (!ReadPage(page, scanner, utf8, charset)) return;
    const TPageScan scan = scanner.Finish();
    if (scan.oversized_tag)
      Report(page, kTooLarge,
             "holds a tag of more than " + std::to_string(TPageScanner::kMaxTagBytes >> 20) +
                 " MiB: the rest of the page is not judged");
    // A Windows-1251 page names a file with Cyrillic letters in its own
    // bytes; the browser asks the server for the UTF-8 spelling.
    const bool cp1251 = IsCp1251Label(charset.Name());
    for (const std::string& href : broken) {
      const int64_t target = cp1251 ? LinkTarget(dir, known, Cp1251ToUtf8(href)) : kBroken;
      AddLink(index, target);
      if (target == kBroken)
        Report(page, kBrokenLink, "link to " + PrintableBytes(href) + " does not resolve");
    }
    CheckCharset(page, charset.Name(), utf8);
  }

  static bool IsCp1251Label(const std::string& label) {
    return label == "windows-1251" || label == "cp1251" || label == "x-cp1251";
  }

  void CheckCharset(const std::string& page, const std::string& charset, TUtf8Scan& utf8) {
    if (charset.empty()) return Report(page, kNoCharset, "declares no charset", /*warning=*/true);
    const uint64_t bad = utf8.Finish();
    if ((charset == "utf-8" || charset == "utf8") && bad != TUtf8Scan::npos)
      Report(page, kCharsetMismatch,
             "declares " + charset + " but its bytes are not UTF-8 (byte " + std::to_string(bad) +
                 ")");
    if (IsCp1251Label(charset) && bad == TUtf8Scan::npos && utf8.HighBytes())
      Report(page, kCharsetMismatch, "declares " + charset + " but its bytes are UTF-8");
  }

  void CheckSitemap();
  std::optional<TXmlDocument> ReadSitemap(const std::string& name);
  std::string SitePrefix(const std::vector<std::string>& locs);
  std::optional<std::string> FileOfAddress(std::string_view prefix, std::string_view loc);

  std::string folder_;
  std::vector<std::string> pages_;
  std::unordered_set<std::string> files_;
  std::unordered_set<std::string> dirs_;
  std::unordered_map<std::string, TKnownLinks> resolved_;  // by the pages' folder
  std::unordered_map<std::string, size_t> page_index_;
  // Each page's links to other pages, as runs [first, last] of page indexes.
  std::vector<std::vector<std::pair<uint32_t, uint32_t>>> links_;
  std::vector<std::pair<std::string, std::string>> not_files_;  // name, what it is
  static constexpr size_t kPieceBytes = size_t{1} << 20;
  std::string piece_, decoded_;
  TSiteCheck result_;
};

// The texts of the <loc> elements right inside the elements named `entry`
// ("url" or "sitemap"), trimmed.
std::vector<std::string> Locs(const TXmlDocument& doc, std::string_view entry) {
  std::vector<std::string> locs;
  for (const TXmlElement& e : doc.elements) {
    if (XmlLocalName(e.name) != "loc" || e.parent < 0 ||
        XmlLocalName(doc.elements[static_cast<size_t>(e.parent)].name) != entry)
      continue;
    const size_t start = e.text.find_first_not_of(" \t\r\n");
    const size_t end = e.text.find_last_not_of(" \t\r\n");
    locs.push_back(start == std::string::npos ? "" : e.text.substr(start, end - start + 1));
  }
  return locs;
}

std::optional<TXmlDocument> TSiteChecker::ReadSitemap(const std::string& name) {
  std::string bytes;
  if (!ReadSiteFile(name, bytes)) return std::nullopt;
  TXmlDocument doc = ReadStrictXml(bytes);
  if (!doc.error.empty()) {
    Report(name, kSitemapMalformed,
           "not well-formed XML: line " + std::to_string(doc.error_line) + ": " +
               PrintableBytes(doc.error));
    return std::nullopt;
  }
  return doc;
}

// The file of the site that the address `loc` names under `prefix`, or
// nullopt for an address outside it.
std::optional<std::string> TSiteChecker::FileOfAddress(std::string_view prefix,
                                                       std::string_view loc) {
  if (!loc.starts_with(prefix)) return std::nullopt;
  loc.remove_prefix(prefix.size());
  std::string decoded;
  PercentDecode(loc.substr(0, loc.find_first_of("?#")), decoded);
  if (!decoded.empty() && decoded[0] == '/') return std::nullopt;
  return JoinSitePath("", decoded);
}

// The site's address: of the folder levels that all the addresses share,
// the one under which most of them name files present (the deepest on a
// tie), so that a site whose pages all sit in one subfolder still compares
// right.
std::string TSiteChecker::SitePrefix(const std::vector<std::string>& locs) {
  if (locs.empty()) return {};
  std::string_view common = locs[0];
  for (const std::string& loc : locs)
    common = common.substr(
        0, static_cast<size_t>(
               std::mismatch(common.begin(), common.end(), loc.begin(), loc.end()).first -
               common.begin()));
  const size_t scheme = common.find("://");
  const size_t first = scheme == std::string_view::npos ? 0 : scheme + 3;
  std::string best;
  size_t best_count = 0;
  for (size_t slash = common.rfind('/'); slash != std::string_view::npos && slash >= first;
       slash = slash == 0 ? std::string_view::npos : common.rfind('/', slash - 1)) {
    const std::string_view prefix = common.substr(0, slash + 1);
    size_t count = 0;
    for (const std::string& loc : locs) {
      const auto file = FileOfAddress(prefix, loc);
      if (file && files_.count(*file)) ++count;
    }
    if (best.empty() || count > best_count) best = prefix, best_count = count;
  }
  return best;
}

void TSiteChecker::CheckSitemap() {
  const std::optional<TXmlDocument> top = ReadSitemap("sitemap.xml");
  if (!top) return;
  const std::string_view root = XmlLocalName(top->elements[0].name);
  std::vector<std::pair<std::string, std::string>> locs;  // sitemap file, address
  if (root == "sitemapindex") {
    const std::vector<std::string> maps = Locs(*top, "sitemap");
    const std::string prefix = SitePrefix(maps);
    for (const std::string& loc : maps) {
      const auto file = FileOfAddress(prefix, loc);
      if (!file || !files_.count(*file)) {
        Report("sitemap.xml", kSitemapStale,
               "lists " + PrintableBytes(loc) + ", which is no file of the folder");
        continue;
      }
      const std::optional<TXmlDocument> part = ReadSitemap(*file);
      if (!part) continue;
      if (XmlLocalName(part->elements[0].name) != "urlset") {
        Report(*file, kSitemapMalformed, "its root element is not <urlset>");
        continue;
      }
      for (std::string& address : Locs(*part, "url")) locs.emplace_back(*file, std::move(address));
    }
  } else if (root == "urlset") {
    for (std::string& address : Locs(*top, "url")) locs.emplace_back("sitemap.xml", address);
  } else {
    return Report("sitemap.xml", kSitemapMalformed,
                  "its root element is <" + PrintableBytes(top->elements[0].name) +
                      ">, not <urlset> or <sitemapindex>");
  }
  std::vector<std::string> addresses;
  for (const auto& [map, address] : locs) addresses.push_back(address);
  const std::string prefix = SitePrefix(addresses);
  std::unordered_set<std::string> listed;
  for (const auto& [map, address] : locs) {
    const auto file = FileOfAddress(prefix, address);
    if (!file || !files_.count(*file))
      Report(map, kSitemapStale,
             "lists " + PrintableBytes(address) + ", which is no file of the folder");
    else if (!listed.insert(*file).second)
      Report(map, kSitemapDuplicate, "lists " + PrintableBytes(*file) + " more than once");
  }
  for (const std::string& page : pages_)
    if (!listed.count(page))
      Report("sitemap.xml", kSitemapMissing, "does not list " + PrintableBytes(page));
}

}  // namespace

TSiteCheck CheckSiteFolder(const std::string& folder) { return TSiteChecker(folder).Run(); }

std::string PrintableBytes(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < bytes.size();) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    size_t length = 1;
    if ((c >= 0x20 && c < 0x7F) || (c >= 0x80 && DecodeUtf8(bytes.substr(i), length) >= 0)) {
      out.append(bytes.substr(i, length));
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
      length = 1;
    }
    i += length;
  }
  return out;
}

}  // namespace orvana::cli
