#include "TemplateProcessing.h"

#include <cstring>

namespace orvana {
namespace {

const char* Find(const char* from, const char* end, std::string_view pattern) {
  return static_cast<const char*>(
      memmem(from, static_cast<size_t>(end - from), pattern.data(), pattern.size()));
}

}  // namespace

std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement) {
  if (text.empty()) return {};
  if (pattern.empty()) return std::string(text);
  const char* p = text.data();
  const char* end = p + text.size();
  const char* hit = Find(p, end, pattern);
  if (!hit) return std::string(text);
  std::string out;
  // A first estimate; the string grows geometrically if more matches follow.
  out.reserve(text.size() + (replacement.size() > pattern.size()
                                 ? (replacement.size() - pattern.size()) * 4
                                 : 0));
  while (hit) {
    out.append(p, static_cast<size_t>(hit - p));
    out.append(replacement);
    p = hit + pattern.size();
    hit = Find(p, end, pattern);
  }
  out.append(p, static_cast<size_t>(end - p));
  return out;
}

size_t ReplaceAllInPlace(std::string& text, std::string_view pattern,
                         std::string_view replacement) {
  if (text.empty() || pattern.empty()) return 0;
  const char* begin = text.data();
  const char* end = begin + text.size();
  const char* hit = Find(begin, end, pattern);
  if (!hit) return 0;
  std::string out;
  out.reserve(text.size() + (replacement.size() > pattern.size()
                                 ? (replacement.size() - pattern.size()) * 4
                                 : 0));
  size_t count = 0;
  const char* p = begin;
  while (hit) {
    out.append(p, static_cast<size_t>(hit - p));
    out.append(replacement);
    ++count;
    p = hit + pattern.size();
    hit = Find(p, end, pattern);
  }
  out.append(p, static_cast<size_t>(end - p));
  text = std::move(out);
  return count;
}

std::string ParagraphText(std::string_view page_text) {
  std::string out;
  out.reserve(page_text.size() + 7 + page_text.size() / 64);
  out += "<p>";
  if (!page_text.empty()) out += ReplaceAll(page_text, "\r\r", "</p><p>");
  out += "</p>";
  return out;
}

std::string FillTemplate(const TSiteGenerator& g, const TSitePage& page) {
  std::string html = g.SiteTemplate();
  ReplaceAllInPlace(html, kMenuPlaceholder, g.SiteMenu());
  if (html.find(kMainTextPlaceholder) != std::string::npos)
    ReplaceAllInPlace(html, kMainTextPlaceholder, ParagraphText(page.PageText));
  ReplaceAllInPlace(html, kPaginationPlaceholder, page.Pagination);
  ReplaceAllInPlace(html, kHeaderPlaceholder, g.SiteHeader());
  ReplaceAllInPlace(html, kFooterPlaceholder, g.SiteFooter());
  ReplaceAllInPlace(html, kAdsensePlaceholder, g.AdsenseCode());
  if (html.find(kTitlePlaceholder) != std::string::npos) {
    std::string title;
    title.reserve(g.SiteTitle().size() + 3 + page.PageTitle.size());
    title += g.SiteTitle();
    title += " - ";
    title += page.PageTitle;
    ReplaceAllInPlace(html, kTitlePlaceholder, title);
  }
  return html;
}

}  // namespace orvana
