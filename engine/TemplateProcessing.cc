#include "TemplateProcessing.h"

#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

namespace orvana {
namespace {

const char* Find(const char* from, const char* end, std::string_view pattern) {
  return static_cast<const char*>(
      memmem(from, static_cast<size_t>(end - from), pattern.data(), pattern.size()));
}

}  // namespace

namespace {

// The text with every occurrence of the pattern replaced, given the first
// occurrence (already found, so texts without one are never copied). Returns
// the number of replacements through `count`.
std::string Replaced(std::string_view text, const char* hit, std::string_view pattern,
                     std::string_view replacement, size_t& count) {
  const char* p = text.data();
  const char* end = p + text.size();
  std::string out;
  // A first estimate; the string grows geometrically if more matches follow.
  out.reserve(text.size() + (replacement.size() > pattern.size()
                                 ? (replacement.size() - pattern.size()) * 4
                                 : 0));
  count = 0;
  while (hit) {
    out.append(p, static_cast<size_t>(hit - p));
    out.append(replacement);
    ++count;
    p = hit + pattern.size();
    hit = Find(p, end, pattern);
  }
  out.append(p, static_cast<size_t>(end - p));
  return out;
}

}  // namespace

std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement) {
  if (text.empty()) return {};
  if (pattern.empty()) return std::string(text);
  const char* hit = Find(text.data(), text.data() + text.size(), pattern);
  if (!hit) return std::string(text);
  size_t count;
  return Replaced(text, hit, pattern, replacement, count);
}

size_t ReplaceAllInPlace(std::string& text, std::string_view pattern,
                         std::string_view replacement) {
  if (text.empty() || pattern.empty()) return 0;
  const char* hit = Find(text.data(), text.data() + text.size(), pattern);
  if (!hit) return 0;
  size_t count;
  text = Replaced(text, hit, pattern, replacement, count);
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

bool IsInertText(std::string_view text) {
  auto placeholder_char = [](char c) {
    return c == '.' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  };
  return !text.empty() && !placeholder_char(text.front()) && !placeholder_char(text.back()) &&
         text.find("SiteGeneratorChange.") == std::string_view::npos;
}

namespace {

// The HTML of a page while its placeholders are replaced: live text that the
// later steps search, each piece followed by an inert block (the menu or the
// bar, possibly none) that no later step can match in or across. Replacing
// placeholders in the live text alone therefore gives the same bytes as
// replacing them in the whole, without copying and searching the big blocks
// again at every step.
class TPageBuilder {
 public:
  explicit TPageBuilder(std::string_view tmpl) { pieces_.push_back({std::string(tmpl), {}}); }

  // Replaces every occurrence of the placeholder by text searched again by
  // later steps.
  void ReplaceLive(std::string_view placeholder, std::string_view text) {
    for (Piece& piece : pieces_) ReplaceAllInPlace(piece.live, placeholder, text);
  }

  // Replaces every occurrence of the placeholder by a block that later steps
  // never search; `block` must satisfy IsInertText and outlive the builder.
  void ReplaceInert(std::string_view placeholder, std::string_view block) {
    std::vector<Piece> out;
    out.reserve(pieces_.size() + 2);
    for (Piece& piece : pieces_) {
      size_t from = 0;
      for (size_t at = piece.live.find(placeholder); at != std::string::npos;
           at = piece.live.find(placeholder, from)) {
        out.push_back({piece.live.substr(from, at - from), block});
        from = at + placeholder.size();
      }
      if (from == 0) {
        out.push_back(std::move(piece));
      } else {
        out.push_back({piece.live.substr(from), piece.inert});
      }
    }
    pieces_ = std::move(out);
  }

  // The bytes outside the given inert blocks, and how often each of those
  // blocks (told apart by address) stands in the page.
  uint64_t SizeWithout(std::initializer_list<std::pair<const char*, uint64_t*>> blocks) const {
    uint64_t size = 0;
    for (const Piece& piece : pieces_) {
      size += piece.live.size();
      bool counted = false;
      for (const auto& [address, count] : blocks)
        if (piece.inert.data() == address) {
          ++*count;
          counted = true;
        }
      if (!counted) size += piece.inert.size();
    }
    return size;
  }

  void AssembleInto(std::string& html) const {
    size_t size = 0;
    for (const Piece& piece : pieces_) size += piece.live.size() + piece.inert.size();
    html.clear();
    html.reserve(size);
    for (const Piece& piece : pieces_) {
      html += piece.live;
      html += piece.inert;
    }
  }

 private:
  struct Piece {
    std::string live;
    std::string_view inert;
  };
  std::vector<Piece> pieces_;
};

}  // namespace

void FillTemplate(const TSiteGenerator& g, const TSitePage& page, std::string_view pagination,
                  bool menu_inert, std::string& html) {
  TPageBuilder builder(g.SiteTemplate());
  if (menu_inert)
    builder.ReplaceInert(kMenuPlaceholder, g.SiteMenu());
  else
    builder.ReplaceLive(kMenuPlaceholder, g.SiteMenu());
  builder.ReplaceLive(kMainTextPlaceholder, ParagraphText(page.PageText));
  if (IsInertText(pagination))
    builder.ReplaceInert(kPaginationPlaceholder, pagination);
  else
    builder.ReplaceLive(kPaginationPlaceholder, pagination);
  builder.ReplaceLive(kHeaderPlaceholder, g.SiteHeader());
  builder.ReplaceLive(kFooterPlaceholder, g.SiteFooter());
  builder.ReplaceLive(kAdsensePlaceholder, g.AdsenseCode());
  std::string title;
  title.reserve(g.SiteTitle().size() + 3 + page.PageTitle.size());
  title += g.SiteTitle();
  title += " - ";
  title += page.PageTitle;
  builder.ReplaceLive(kTitlePlaceholder, title);
  builder.AssembleInto(html);
}

std::string FillTemplate(const TSiteGenerator& g, const TSitePage& page) {
  std::string html;
  FillTemplate(g, page, page.Pagination, IsInertText(g.SiteMenu()), html);
  return html;
}

uint64_t ParagraphTextSize(std::string_view page_text) {
  // Each CR CR pair, taken left to right without overlap, grows by five bytes.
  uint64_t pairs = 0;
  for (size_t at = page_text.find("\r\r"); at != std::string_view::npos;
       at = page_text.find("\r\r", at + 2))
    ++pairs;
  return 7 + page_text.size() + 5 * pairs;
}

bool ParagraphTextIsInert(std::string_view page_text) {
  // Framed by "<p>" and "</p>", and "</p><p>" holds no placeholder character,
  // so only a whole "SiteGeneratorChange." inside the text could match.
  return page_text.find("SiteGeneratorChange.") == std::string_view::npos;
}

TPageSizeShape PageSizeShape(const TSiteGenerator& g, bool menu_inert) {
  // The fill of FillTemplate with the three per-page texts standing in as
  // inert blocks. For an inert paragraph text this changes nothing: no later
  // step can match in or across it. The title is the last step, so nothing
  // searches it again either.
  static const char kMainText[] = "<main>", kBar[] = "<bar>", kTitle[] = "<title>";
  TPageBuilder builder(g.SiteTemplate());
  if (menu_inert)
    builder.ReplaceInert(kMenuPlaceholder, g.SiteMenu());
  else
    builder.ReplaceLive(kMenuPlaceholder, g.SiteMenu());
  builder.ReplaceInert(kMainTextPlaceholder, kMainText);
  builder.ReplaceInert(kPaginationPlaceholder, kBar);
  builder.ReplaceLive(kHeaderPlaceholder, g.SiteHeader());
  builder.ReplaceLive(kFooterPlaceholder, g.SiteFooter());
  builder.ReplaceLive(kAdsensePlaceholder, g.AdsenseCode());
  builder.ReplaceInert(kTitlePlaceholder, kTitle);
  TPageSizeShape shape;
  shape.fixed = builder.SizeWithout(
      {{kMainText, &shape.main_texts}, {kBar, &shape.bars}, {kTitle, &shape.titles}});
  return shape;
}

}  // namespace orvana
