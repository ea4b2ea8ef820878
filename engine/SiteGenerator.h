// The site generator: one project's inputs, its generated pages and the
// operations that turn the one into the other.
//
// A TSiteGenerator holds the site text, the template, the advertising block,
// the stylesheet, the link addresses, the title, header and footer, the
// page-size window and the output folder. Generate() cuts the text into pages
// (TSitePage, kept in the collection TSitePages), builds the site menu and
// every page's pagination bar, spreads the link addresses over random words and
// fills the template for every page, all in memory. SiteImport() writes the
// pages and "style.css" into the output folder. Both are thin calls into the
// site build (SiteBuild.h), the one code that makes pages.
//
// Every text is a byte string in Windows-1251 (see CodePage.h); lengths and
// positions count bytes. CR, the byte 13, alone separates lines. Folders are
// the platform's names (UTF-8), SavePath included.
//
// The generator and its pages are streamable: their published properties, in
// published order, are listed in the tables of PublishedProperties.h
// (SiteGeneratorClass(), SitePageClass()), which the project-file reader and
// writer walk by name, kind and order.
//
// The generator composes the engine's units, none of which knows it: paging
// (Paging.h), menu and bars (SiteMenu.h), links (LinkDistribution.h),
// template filling (TemplateProcessing.h) and output (SiteOutput.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Extras.h"
#include "engine/LinkDistribution.h"
#include "engine/PublishedProperties.h"
#include "engine/Random.h"
#include "engine/StringList.h"

namespace orvana {

struct TSiteTexts;

// One page of a generated site.
class TSitePage {
 public:
  // The page's share of the site text, links included once they are spread.
  std::string PageText;
  // The page's finished HTML, as written to its file.
  std::string PageHTML;
  // "index" for the first page, "Раздел " and the index for the others.
  std::string PageTitle;
  // The file name relative to the output folder: "index.html", "page1.html", ...
  std::string PageUrl;
  // The HTML of the page's pagination bar.
  std::string Pagination;

  // The 0-based position of the page in its collection.
  int Index() const { return index_; }

  // The length of PageText in bytes.
  int32_t TextLength() const { return static_cast<int32_t>(PageText.size()); }

 private:
  friend class TSitePages;
  int index_ = 0;
};

// The generator's ordered collection of pages. New pages are appended at the
// end, so a page's index is its position in creation order.
class TSitePages {
 public:
  int Count() const { return static_cast<int>(items_.size()); }

  // Appends a new, empty page and returns it. The reference stays valid until
  // the collection is cleared or destroyed.
  TSitePage& Add();

  // The page at a 0-based index. Throws EOrvanaError "List index out of bounds
  // (%d)" for an index outside 0 .. Count() - 1.
  TSitePage& Items(int index);
  const TSitePage& Items(int index) const;
  TSitePage& operator[](int index) { return Items(index); }
  const TSitePage& operator[](int index) const { return Items(index); }

  // Destroys every page.
  void Clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<TSitePage>> items_;
};

class TSiteGenerator {
 public:
  TSiteGenerator();
  ~TSiteGenerator();
  TSiteGenerator(const TSiteGenerator&) = delete;
  TSiteGenerator& operator=(const TSiteGenerator&) = delete;

  // --- Published properties, in published order -------------------------

  TSitePages& Pages() { return pages_; }
  const TSitePages& Pages() const { return pages_; }

  // The whole site text, one entry per line. Setting copies the given lines.
  const TStringList& SiteText() const;
  void SetSiteText(const TStringList& lines);
  void SetSiteText(TStringList&& lines);
  // Sets the same text as one string, every line followed by one CR (the
  // form the site is cut into pages from), with the offset of each line's CR
  // in it: the lines may hold CRs of their own. The lines are made from it
  // only when SiteText is asked for, so a build that reads a project and
  // writes its site never copies a long text line by line.
  void SetJoinedSiteText(std::string joined, std::vector<size_t> line_ends);

  const std::string& SiteTemplate() const { return site_template_; }
  void SetSiteTemplate(std::string v) { site_template_ = std::move(v); }

  // The link addresses, one per entry. Setting copies the given lines.
  const TStringList& SiteUrlsToLink() const { return site_urls_to_link_; }
  void SetSiteUrlsToLink(const TStringList& lines) { site_urls_to_link_ = lines; }
  void SetSiteUrlsToLink(TStringList&& lines) { site_urls_to_link_ = std::move(lines); }

  const std::string& SiteMenu() const { return site_menu_; }
  void SetSiteMenu(std::string v) { site_menu_ = std::move(v); }

  const std::string& AdsenseCode() const { return adsense_code_; }
  void SetAdsenseCode(std::string v) { adsense_code_ = std::move(v); }

  const std::string& CssCode() const { return css_code_; }
  void SetCssCode(std::string v) { css_code_ = std::move(v); }

  const std::string& SiteTitle() const { return site_title_; }
  void SetSiteTitle(std::string v) { site_title_ = std::move(v); }

  const std::string& SiteHeader() const { return site_header_; }
  void SetSiteHeader(std::string v) { site_header_ = std::move(v); }

  const std::string& SiteFooter() const { return site_footer_; }
  void SetSiteFooter(std::string v) { site_footer_ = std::move(v); }

  int32_t MaxCharsPerPage() const { return max_chars_per_page_; }
  void SetMaxCharsPerPage(int32_t v) { max_chars_per_page_ = v; }

  int32_t MinCharsPerPage() const { return min_chars_per_page_; }
  void SetMinCharsPerPage(int32_t v) { min_chars_per_page_ = v; }

  // The output folder as the platform names it (UTF-8), used unchanged; the
  // project file stores it in Windows-1251 (see ProjectFile.h).
  const std::string& SavePath() const { return save_path_; }
  void SetSavePath(std::string v) { save_path_ = std::move(v); }

  // --- Component name ----------------------------------------------------

  // The component name a project file may give the generator; empty by default.
  const std::string& Name() const { return name_; }
  void SetName(std::string v) { name_ = std::move(v); }

  // --- Extras -------------------------------------------------------------

  // The opt-in improvements of the site; all at their defaults, the classic
  // output.
  const TOrvanaExtras& Extras() const { return extras_; }
  void SetExtras(TOrvanaExtras v) { extras_ = std::move(v); }

  // --- Operations ---------------------------------------------------------

  // Appends a page with the given title and names its file: "index.html" for
  // the first page, "page" + index + ".html" for the others.
  TSitePage& AddPage(std::string title);

  // Rebuilds Pages and SiteMenu from the inputs: paging, menu and pagination
  // bars, link distribution, template filling. Changes nothing else.
  void Generate();

  // Sets SiteTemplate to the given lines, each followed by one CR.
  void SetSiteTemplateFromStrings(const TStringList& lines);

  // Writes the site of the last Generate (the same inputs and seed give the
  // same pages) and "style.css" into SavePath, as a build does (SiteBuild.h).
  // A folder that does not exist (or is a file, or an empty path) is
  // reported through ShowErrorBox("Указанный каталог не существует") and
  // nothing is written. A file that cannot be created or written throws
  // EOrvanaError with the system's reason and error code; each file is
  // replaced atomically, so a failed file keeps its old content, the files
  // written before it stay and the rest are not written.
  void SiteImport();

  // Fills the template for the page at the given index into its PageHTML.
  // Throws EOrvanaError for an index out of range, before changing anything.
  void TemplateProcessing(int32_t index);

  // TemplateProcessing for every page, index 0 first.
  void TemplateProcessingAll();

  // --- Seams for repeatable runs and tests -------------------------------

  // With a seed, every Generate seeds the link distribution's random source
  // with it, so equal inputs give equal sites. Without (the default), every
  // Generate seeds it from the clock.
  void SetRandomSeed(std::optional<uint64_t> seed) { seed_ = seed; }
  const std::optional<uint64_t>& RandomSeed() const { return seed_; }

  // The seed the last Generate (or build) drew its words with: the given
  // one, or the clock's.
  uint64_t LastSeed() const { return last_seed_; }

  // The number of links the link distribution placed in the last Generate
  // or build (the addresses used, each counted once).
  int64_t LinksPlaced() const { return links_placed_; }

  // Every address the last Generate or build used, in order,
  // with the page it went to and the links it gave there.
  const std::vector<TLinkPlacement>& LinkPlacements() const { return placements_; }

  // The indexes of the pages the last Generate closed at the maximum inside a
  // word or sentence, because the page-size window held no paragraph or
  // sentence end (see CutIntoPages), ascending.
  const std::vector<int>& ForcedCuts() const { return forced_cuts_; }

  // --- The build's steps (SiteBuild.h) -------------------------------------

  // Empties Pages, joins the site text, cuts it into pages and gives each
  // page its text with its links, taken from the joined text once: phases 1
  // to 3 and the link distribution of Generate.
  void BuildLinkedPages();
  // Sets SiteMenu from the pages and returns their file names, page 0 first,
  // as views.
  std::vector<std::string_view> BuildMenu();
  // The texts a page's template is filled with.
  TSiteTexts Texts() const;
  // A build's page handler that keeps each page's bar and HTML in Pages,
  // as Generate leaves them.
  std::function<void(const TSitePage&, const std::vector<std::string_view>&,
                     const std::vector<std::string_view>&)>
  KeepPages();

 private:
  TSitePages pages_;
  // The site text as lines, or joined with the ends of its lines, or both:
  // lines set by SetSiteText, the joined form by SetJoinedSiteText, and the
  // lines made from the joined form when first asked for.
  mutable TStringList site_text_;
  mutable bool site_text_lines_ready_ = true;
  std::string site_text_joined_;
  std::vector<size_t> site_text_line_ends_;
  bool site_text_joined_ready_ = false;
  std::string site_template_;
  TStringList site_urls_to_link_;
  std::string site_menu_;
  std::string adsense_code_;
  std::string site_title_;
  std::string site_header_;
  std::string site_footer_;
  int32_t max_chars_per_page_ = 0;
  int32_t min_chars_per_page_ = 0;
  std::string save_path_;
  std::string css_code_;

  std::string name_;
  TOrvanaExtras extras_;
  std::optional<uint64_t> seed_;
  TRandomSource random_;
  uint64_t last_seed_ = 0;
  int64_t links_placed_ = 0;
  std::vector<TLinkPlacement> placements_;
  std::vector<int> forced_cuts_;
};

}  // namespace orvana
