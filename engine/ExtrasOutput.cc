#include "engine/ExtrasOutput.h"

#include <algorithm>
#include <cstdlib>

#include "engine/CodePage.h"

namespace orvana {

std::vector<int> WindowedEntries(int count, int current, int window) {
  std::vector<int> entries;
  if (count <= 0) return entries;
  // The window's ends in 64 bits, clamped to the pages: a window as wide as
  // INT32_MAX would overflow around the current page in int. Only the shown
  // pages are visited, so a page's entries cost the window, not the site.
  const int64_t last_page = count - 1;
  const int64_t from = std::max<int64_t>(0, int64_t{current} - window);
  const int64_t to = std::min<int64_t>(last_page, int64_t{current} + window);
  if (from <= to) entries.reserve(static_cast<size_t>(to - from) + 5);
  int64_t shown = -1;  // the last page shown so far
  const auto show = [&](int64_t k) {
    if (k <= shown) return;
    if (k - shown == 2)
      entries.push_back(static_cast<int>(k - 1));
    else if (k - shown > 2)
      entries.push_back(kEllipsisEntry);
    entries.push_back(static_cast<int>(k));
    shown = k;
  };
  show(0);
  for (int64_t k = from; k <= to; ++k) show(k);
  show(last_page);
  return entries;
}

std::string BuildWindowedBar(const std::vector<std::string_view>& urls, int current, int window) {
  const size_t i = static_cast<size_t>(current);
  std::string bar;
  if (current == 0) {
    bar += "&lt;&lt;&lt; ";
  } else {
    bar += "<a href=\"";
    bar += urls[i - 1];
    bar += "\">&lt;&lt;&lt; </a> ";
  }
  for (int k : WindowedEntries(static_cast<int>(urls.size()), current, window)) {
    if (k == kEllipsisEntry) {
      bar += ' ';
      bar += kEllipsis;
      bar += ' ';
    } else if (k == current) {
      bar += ' ';
      bar += std::to_string(k);
      bar += ' ';
    } else {
      bar += " <a href=\"";
      bar += urls[static_cast<size_t>(k)];
      bar += "\">";
      bar += std::to_string(k);
      bar += "</a> ";
    }
  }
  if (i + 1 < urls.size()) {
    bar += " <a href=\"";
    bar += urls[i + 1];
    bar += "\">&gt;&gt;&gt; </a>";
  } else {
    bar += " &gt;&gt;&gt;";
  }
  return bar;
}

std::string BuildWindowedMenu(const std::vector<std::string_view>& urls,
                              const std::vector<std::string_view>& titles, int current,
                              int window) {
  std::string menu = "<ul>\r";
  for (int k : WindowedEntries(static_cast<int>(urls.size()), current, window)) {
    if (k == kEllipsisEntry) {
      menu += "<li>";
      menu += kEllipsis;
      menu += "</li>\r";
      continue;
    }
    menu += "<li><a href=\"";
    menu += urls[static_cast<size_t>(k)];
    menu += "\">";
    menu += titles[static_cast<size_t>(k)];
    menu += "</a></li>\r";
  }
  menu += "</ul>";
  return menu;
}

std::string SiteFileAddress(std::string_view site_url, std::string_view file_name) {
  std::string address(site_url);
  if (address.empty() || address.back() != '/') address += '/';
  address.append(file_name);
  return address;
}

namespace {

constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr std::string_view kUrlsetOpen =
    "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
constexpr std::string_view kUrlsetClose = "</urlset>\n";

// Appends the address of a file of the site as a sitemap writes it: UTF-8,
// percent-encoded beyond ASCII and where a URL may not hold the byte,
// XML-escaped.
void AppendSitemapAddress(std::string& xml, std::string_view site_url, std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char ch : Cp1251ToUtf8(SiteFileAddress(site_url, name))) {
    const unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '&':
        xml += "&amp;";
        continue;
      case '\'':
        xml += "&apos;";
        continue;
      default:
        break;
    }
    if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' ||
        c == '`' || c == '{' || c == '|' || c == '}') {
      xml += '%';
      xml += kHex[c >> 4];
      xml += kHex[c & 15];
    } else {
      xml += static_cast<char>(c);
    }
  }
}

// Every page's "<url>" line back to back, and where each line ends.
std::string UrlLines(std::string_view site_url, const std::vector<std::string_view>& urls,
                     std::vector<size_t>* ends) {
  std::string lines;
  for (std::string_view name : urls) {
    lines += "<url><loc>";
    AppendSitemapAddress(lines, site_url, name);
    lines += "</loc></url>\n";
    if (ends) ends->push_back(lines.size());
  }
  return lines;
}

std::string Urlset(std::string_view lines) {
  std::string xml;
  xml.reserve(kXmlDeclaration.size() + kUrlsetOpen.size() + lines.size() + kUrlsetClose.size());
  xml.append(kXmlDeclaration).append(kUrlsetOpen).append(lines).append(kUrlsetClose);
  return xml;
}

}  // namespace

std::string BuildSitemap(std::string_view site_url, const std::vector<std::string_view>& urls) {
  return Urlset(UrlLines(site_url, urls, nullptr));
}

std::vector<TSitemapFile> BuildSitemapFiles(std::string_view site_url,
                                            const std::vector<std::string_view>& urls) {
  return BuildSitemapFiles(site_url, urls, kSitemapMaxUrls, kSitemapMaxBytes);
}

std::vector<TSitemapFile> BuildSitemapFiles(std::string_view site_url,
                                            const std::vector<std::string_view>& urls,
                                            size_t max_urls, size_t max_bytes) {
  std::vector<size_t> ends;
  const std::string lines = UrlLines(site_url, urls, &ends);
  const size_t frame = kXmlDeclaration.size() + kUrlsetOpen.size() + kUrlsetClose.size();
  std::vector<TSitemapFile> files;
  if (urls.size() <= max_urls && frame + lines.size() <= max_bytes)
    return {{std::string(kSitemapFileName), Urlset(lines)}};
  std::string index(kXmlDeclaration);
  index += "<sitemapindex xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
  for (size_t first = 0; first < ends.size();) {
    // The most lines from `first` on that keep the part within both limits.
    const size_t begin = first == 0 ? 0 : ends[first - 1];
    size_t last = first + 1;
    while (last < ends.size() && last - first < max_urls && frame + ends[last] - begin <= max_bytes)
      ++last;
    const std::string name = "sitemap-" + std::to_string(files.size() + 1) + ".xml";
    files.push_back({name, Urlset(std::string_view(lines).substr(begin, ends[last - 1] - begin))});
    index += "<sitemap><loc>";
    AppendSitemapAddress(index, site_url, name);
    index += "</loc></sitemap>\n";
    first = last;
  }
  index += "</sitemapindex>\n";
  files.push_back({std::string(kSitemapFileName), std::move(index)});
  return files;
}

}  // namespace orvana
