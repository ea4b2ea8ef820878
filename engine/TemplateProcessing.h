// Template filling: a page's finished HTML from the site template.
//
// A page's HTML starts from the site template; the placeholders are replaced
// one kind after the other (menu, main text, pagination, header, footer,
// advertising block, title), each over the HTML built so far, so a later
// placeholder inside an earlier inserted text is filled too, an earlier one
// stays as text. Nothing is escaped for HTML. The unit takes strings only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvana {

// The page text set as paragraphs: each CR CR pair, left to right without
// overlap, becomes "</p><p>", and the whole is framed by "<p>" and "</p>".
std::string ParagraphText(std::string_view page_text);

// ParagraphText into `out` (old content discarded, capacity reused).
void BuildParagraphText(std::string_view page_text, std::string& out);

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

// The site-wide texts a page is filled from. The views must outlive every
// use of them.
struct TSiteTexts {
  std::string_view site_template;
  std::string_view site_menu;
  std::string_view site_header;
  std::string_view site_footer;
  std::string_view adsense_code;
  std::string_view site_title;
};

// How the size of a filled page depends on the page, so that a site can be
// sized without building its pages: a page has `fixed` bytes plus
// `main_texts` times the size of its paragraph text, `bars` times the size of
// its pagination bar and `titles` times the size of its title (site title,
// " - ", page title), for every page whose paragraph text is inert
// (ParagraphTextIsInert) and whose bar satisfies IsInertText.
struct TPageSizeShape {
  uint64_t fixed = 0;
  uint64_t main_texts = 0;
  uint64_t bars = 0;
  uint64_t titles = 0;
};

class TPageBuilder;

// Fills pages from one set of site texts; what depends on the site alone is
// worked out once.
class TTemplateFiller {
 public:
  explicit TTemplateFiller(const TSiteTexts& texts);
  ~TTemplateFiller();
  TTemplateFiller(const TTemplateFiller&) = delete;
  TTemplateFiller& operator=(const TTemplateFiller&) = delete;

  // The finished HTML of a page with the given text (links included), bar and
  // title, built into `html` (old content discarded, capacity reused).
  void Fill(std::string_view page_text, std::string_view pagination, std::string_view page_title,
            std::string& html);

  // The same HTML as pieces, in order: views into this object, the site
  // texts and `bar_pieces`, valid until the next call. `bar_pieces` is the
  // page's bar in pieces; `bar_inert` tells whether the whole bar satisfies
  // IsInertText. Nothing as large as the menu or the bar is copied.
  const std::vector<std::string_view>& FillPieces(std::string_view page_text,
                                                  const std::vector<std::string_view>& bar_pieces,
                                                  bool bar_inert, std::string_view page_title);

  // See TPageSizeShape.
  TPageSizeShape SizeShape() const;

 private:
  TSiteTexts texts_;
  bool menu_inert_;
  std::string paragraph_;
  std::string joined_bar_;
  std::string title_;
  // Views of the three strings above, which the builder's blocks point at.
  std::string_view main_view_, bar_view_, title_view_;
  std::vector<std::string_view> pieces_;
  // The last page's builder, whose live text the pieces view.
  std::unique_ptr<TPageBuilder> builder_;
  // The fill of a page whose paragraph text and bar are inert: the same live
  // text for every page, with stand-ins where the page's own blocks go; made
  // for the first such page.
  std::unique_ptr<TPageBuilder> plan_;
};

// The finished HTML of one page.
std::string FillTemplate(const TSiteTexts& texts, std::string_view page_text,
                         std::string_view pagination, std::string_view page_title);

// The size of ParagraphText(page_text), without building it.
uint64_t ParagraphTextSize(std::string_view page_text);

// True when the page's paragraph text can never take part in a later
// placeholder match (it holds no "SiteGeneratorChange.").
bool ParagraphTextIsInert(std::string_view page_text);

}  // namespace orvana
