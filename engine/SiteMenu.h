// The site menu and the pagination bars.
//
// The menu is one HTML list with a link per page, the same on every page. A
// pagination bar is built per page: an arrow to the previous page, the numbers
// of all pages (each a link but the page's own) and an arrow to the next page.
// The bars of a site together grow with the square of its page count, because
// each lists every page; building them costs no more than their bytes, and a
// bar handed out as pieces costs nothing per page beyond a few views.
//
// Both take only the pages' file names (and, for the menu, titles), page 0
// first; nothing is escaped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvana {

// The text as it stands in HTML to be read as that text, in an element or a
// double-quoted attribute: "&", "<", ">" and '"' as entities, every other
// byte as it is.
std::string EscapeHtmlText(std::string_view text);

// The site menu: "<ul>" CR, then per page '<li><a href="URL">TITLE</a></li>'
// CR, then "</ul>". `urls` and `titles` have one entry per page.
std::string BuildSiteMenu(const std::vector<std::string_view>& urls,
                          const std::vector<std::string_view>& titles);

// The pagination bars of a set of pages. Every number of a bar but the page's
// own is the same link on every page, so the linked numbers are built once,
// back to back, and each bar is the runs before and after its own number
// framed by its arrows.
class TPaginationBars {
 public:
  // Prepares the bars of pages with the given file names, page 0 first. The
  // names are viewed, not copied: they must outlive the object.
  explicit TPaginationBars(std::vector<std::string_view> urls);

  int Count() const { return static_cast<int>(urls_.size()); }

  // The bar of page p, built into `bar` (old content discarded, capacity
  // reused).
  void Build(int p, std::string& bar) const;

  // The bar of page p as pieces appended to `pieces`, in order: views into
  // this object, the file names and static text, valid while this object
  // lives. Their concatenation is what Build gives.
  void AppendPieces(int p, std::vector<std::string_view>& pieces) const;

  // The size of the bar of page p, without building it.
  size_t Size(int p) const;

  // True when no placeholder can match in or across any bar (see
  // IsInertText in TemplateProcessing.h): the fixed parts hold none and
  // border every file name with quotes, so only a file name holding
  // "SiteGeneratorChange." spoils it.
  bool Inert() const { return inert_; }

 private:
  std::vector<std::string_view> urls_;
  std::string linked_;
  std::vector<size_t> offset_;
  // " 0 ", " 1 ", ...: each page's own number, back to back.
  std::string numbers_;
  std::vector<size_t> number_offset_;
  bool inert_ = true;
};

}  // namespace orvana
