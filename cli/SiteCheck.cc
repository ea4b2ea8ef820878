#include "cli/SiteCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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
using TKnownLinks = std::unordered_map<std::string, bool, TViewHash, std::equal_to<>>;

class TSiteChecker {
 public:
  explicit TSiteChecker(std::string folder) : folder_(std::move(folder)) {}

  TSiteCheck Run() {
    ListFiles();
    result_.pages = pages_.size();
    if (pages_.empty()) Report(".", kNoPages, "the folder holds no .html page");
    for (const std::string& page : pages_) CheckPage(page);
    if (files_.count("sitemap.xml")) CheckSitemap();
    return std::move(result_);
  }

 private:
  void Report(const std::string& file, const char* code, std::string message) {
    result_.problems.push_back({PrintableBytes(file), code, std::move(message)});
  }

  void ListFiles() {
    std::error_code ec;
    fs::recursive_directory_iterator it(folder_, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      const std::string relative = it->path().lexically_relative(folder_).generic_string();
      std::error_code kind_error;
      if (it->is_directory(kind_error)) {
        dirs_.insert(relative);
      } else if (it->is_regular_file(kind_error)) {
        if (IsPageName(relative)) pages_.push_back(relative);
        files_.insert(relative);
      }
    }
    if (ec)
      throw ECliError("Cannot read the folder \"" + AbsoluteUtf8Path(folder_) +
                      "\": " + ec.message());
    std::sort(pages_.begin(), pages_.end(), NaturalLess);
  }

  // The whole file into `bytes`; false, reported, when it cannot be read.
  bool ReadSiteFile(const std::string& relative, std::string& bytes) {
    const std::string path = folder_ + "/" + relative;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    bool ok = fd >= 0 && ::fstat(fd, &st) == 0;
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

  // Whether the link `href` of a page in the folder `dir` leads to a file.
  // The answers are kept: the same menu links repeat on every page.
  bool LinkResolves(const std::string& dir, TKnownLinks& known, std::string_view href) {
    if (const auto found = known.find(href); found != known.end()) return found->second;
    bool resolves = true;
    if (const auto address = LocalAddress(href)) {
      // An address of a query or fragment alone ("?page=2") is the page itself.
      PercentDecode(*address, decoded_);
      const auto target = JoinSitePath(dir, decoded_);
      resolves = address->empty() ||
                 (target && (files_.count(*target) ||
                             (dirs_.count(*target) && files_.count(*target + "/index.html"))));
    }
    known.emplace(href, resolves);
    return resolves;
  }

  void CheckPage(const std::string& page) {
    if (!ReadSiteFile(page, bytes_)) return;
    if (bytes_.empty()) return Report(page, kEmptyPage, "the page is empty (0 bytes)");
    const size_t slash = page.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : page.substr(0, slash);
    TKnownLinks& known = resolved_[dir];
    std::vector<std::string> broken;
    const TPageScan scan = ScanPage(bytes_, [&](std::string_view href) {
      if (!LinkResolves(dir, known, href) &&
          std::find(broken.begin(), broken.end(), href) == broken.end())
        broken.emplace_back(href);
    });
    // A Windows-1251 page names a file with Cyrillic letters in its own
    // bytes; the browser asks the server for the UTF-8 spelling.
    // The charset as browsers read it, the way the build reads its pages.
    TCharsetSniffer charset;
    charset.Feed(bytes_);
    const bool cp1251 = IsCp1251Label(charset.Name());
    for (const std::string& href : broken)
      if (!cp1251 || !LinkResolves(dir, known, Cp1251ToUtf8(href)))
        Report(page, kBrokenLink, "link to " + PrintableBytes(href) + " does not resolve");
    CheckCharset(page, charset.Name());
  }

  static bool IsCp1251Label(const std::string& label) {
    return label == "windows-1251" || label == "cp1251" || label == "x-cp1251";
  }

  void CheckCharset(const std::string& page, const std::string& charset) {
    if (charset.empty()) return Report(page, kNoCharset, "declares no charset");
    const size_t bad = FirstNonUtf8(bytes_);
    if ((charset == "utf-8" || charset == "utf8") && bad != std::string::npos)
      Report(page, kCharsetMismatch,
             "declares " + charset + " but its bytes are not UTF-8 (byte " + std::to_string(bad) +
                 ")");
    if (IsCp1251Label(charset) && bad == std::string::npos &&
        std::any_of(bytes_.begin(), bytes_.end(),
                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
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
  std::string bytes_, decoded_;
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
