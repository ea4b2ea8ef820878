// Template filling and the engine's text replacement.
//
// A page's HTML starts from the site template; the placeholders are replaced
// one kind after the other (menu, main text, pagination, header, footer,
// advertising block, title), each over the HTML built so far, so a later
// placeholder inside an earlier inserted text is filled too, an earlier one
// stays as text. Nothing is escaped for HTML.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "SiteGenerator.h"

namespace orvana {

// Returns text with every occurrence of pattern replaced by replacement,
// searching left to right, byte-exact and case-sensitive; occurrences never
// overlap and the inserted bytes are never searched again. An empty text
// gives an empty result, an empty pattern the text unchanged. One pass.
std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement);

// ReplaceAll in place; leaves the string untouched (and unallocated) when the
// pattern does not occur. Returns the number of replacements.
size_t ReplaceAllInPlace(std::string& text, std::string_view pattern, std::string_view replacement);

// The page text set as paragraphs: each CR CR pair, left to right without
// overlap, becomes "</p><p>", and the whole is framed by "<p>" and "</p>".
std::string ParagraphText(std::string_view page_text);

// The placeholders, in the order in which they are replaced.
inline constexpr std::string_view kMenuPlaceholder = "SiteGeneratorChange.Menu";
inline constexpr std::string_view kMainTextPlaceholder = "SiteGeneratorChange.MainText";
inline constexpr std::string_view kPaginationPlaceholder = "SiteGeneratorChange.Pagination";
inline constexpr std::string_view kHeaderPlaceholder = "SiteGeneratorChange.Header";
inline constexpr std::string_view kFooterPlaceholder = "SiteGeneratorChange.Footer";
inline constexpr std::string_view kAdsensePlaceholder = "SiteGeneratorChange.Adsense";
inline constexpr std::string_view kTitlePlaceholder = "SiteGeneratorChange.Title";

// True when no placeholder can ever match in or across the text once it is
// inserted: it is not empty, holds no "SiteGeneratorChange." and neither
// begins nor ends with a letter or a full stop (the only characters
// placeholders are made of). The menu and the pagination bars are such texts,
// so the later steps need not search them again.
bool IsInertText(std::string_view text);

// The finished HTML of the page, built into `html` (its old content is
// discarded, its capacity reused). `pagination` stands in for the page's own
// Pagination, so a bar built on the fly can be used. `menu_inert` must be
// IsInertText(generator.SiteMenu()), computed once for all pages.
void FillTemplate(const TSiteGenerator& generator, const TSitePage& page,
                  std::string_view pagination, bool menu_inert, std::string& html);

// The finished HTML of one page of the generator.
std::string FillTemplate(const TSiteGenerator& generator, const TSitePage& page);

// The size of ParagraphText(page_text), without building it.
uint64_t ParagraphTextSize(std::string_view page_text);

// True when the page's paragraph text can never take part in a later
// placeholder match (it holds no "SiteGeneratorChange."); PageSizeShape holds
// for such pages.
bool ParagraphTextIsInert(std::string_view page_text);

// How the size of a filled page depends on the page, so that a site can be
// sized without building its pages: FillTemplate gives `fixed` bytes plus
// `main_texts` times the size of the page's paragraph text, `bars` times the
// size of its pagination bar and `titles` times the size of its title (site
// title, " - ", page title), for every page whose paragraph text is inert
// (ParagraphTextIsInert) and whose bar satisfies IsInertText. `menu_inert` as
// for FillTemplate.
struct TPageSizeShape {
  uint64_t fixed = 0;
  uint64_t main_texts = 0;
  uint64_t bars = 0;
  uint64_t titles = 0;
};
TPageSizeShape PageSizeShape(const TSiteGenerator& generator, bool menu_inert);

}  // namespace orvana
