#include "SiteGenerator.h"

#include "CodePage.h"
#include "Error.h"
#include "FileSystem.h"
#include "LinkDistribution.h"
#include "Notify.h"
#include "Paging.h"
#include "SiteMenu.h"
#include "SiteOutput.h"
#include "TemplateProcessing.h"

namespace orvana {

// --- TSitePages ---------------------------------------------------------------

TSitePage& TSitePages::Add() {
  auto page = std::make_unique<TSitePage>();
  page->index_ = Count();
  items_.push_back(std::move(page));
  return *items_.back();
}

TSitePage& TSitePages::Items(int index) {
  if (index < 0 || index >= Count())
    throw EOrvanaError("List index out of bounds (" + std::to_string(index) + ")");
  return *items_[static_cast<size_t>(index)];
}

const TSitePage& TSitePages::Items(int index) const {
  return const_cast<TSitePages*>(this)->Items(index);
}

// --- TSiteGenerator -----------------------------------------------------------

TSiteGenerator::TSiteGenerator() = default;

TSiteGenerator::~TSiteGenerator() { pages_.Clear(); }

TSitePage& TSiteGenerator::AddPage(std::string title) {
  const int n = pages_.Count();
  TSitePage& page = pages_.Add();
  page.PageTitle = std::move(title);
  page.PageUrl = n == 0 ? std::string("index.html") : "page" + std::to_string(n) + ".html";
  return page;
}

void TSiteGenerator::BuildPages() {
  static const std::string kSection = Utf8ToCp1251("Раздел ");
  const std::string text = JoinLinesWithCr(site_text_);
  forced_cuts_.clear();
  const std::vector<TPageSpan> spans =
      CutIntoPages(text, min_chars_per_page_, max_chars_per_page_, &forced_cuts_);
  // The first page exists already; every further span is a new page.
  for (size_t i = 0; i < spans.size(); ++i) {
    if (i > 0) AddPage(kSection + std::to_string(i));
    pages_[static_cast<int>(i)].PageText.assign(text, spans[i].offset, spans[i].length);
  }
}

void TSiteGenerator::DistributeLinks() {
  if (seed_)
    random_.Seed(*seed_);
  else
    random_.SeedFromClock();
  links_placed_ = orvana::DistributeLinks(*this, random_);
}

void TSiteGenerator::Generate() {
  pages_.Clear();
  AddPage("index");
  BuildPages();
  BuildMenuAndPagination(*this);
  DistributeLinks();
  TemplateProcessingAll();
}

bool TSiteGenerator::GenerateAndWriteSite(const std::string& folder, uint64_t* bytes_written) {
  TFileSystem& fs = fs_ ? *fs_ : RealFileSystem();
  if (!fs.IsDirectory(folder)) {
    ShowErrorBox(MissingFolderMessage());
    return false;
  }
  pages_.Clear();
  AddPage("index");
  BuildPages();
  BuildSiteMenu(*this);
  // The bars do not take part in the link distribution, so building each one
  // when its page is filled gives the same pages.
  DistributeLinks();
  const TPaginationBars bars(pages_);
  const bool menu_inert = IsInertText(site_menu_);
  std::string bar, html;
  CheckFreeSpace(fs, folder, SiteSize(bars, menu_inert));
  uint64_t total = 0;
  for (int i = 0; i < pages_.Count(); ++i) {
    const TSitePage& page = pages_[i];
    bars.Build(i, bar);
    FillTemplate(*this, page, bar, menu_inert, html);
    WriteSiteFile(fs, folder, page.PageUrl, html);
    total += html.size();
  }
  WriteSiteFile(fs, folder, "style.css", css_code_);
  fs.RemoveStaleTemporaries(folder);
  if (bytes_written) *bytes_written = total + css_code_.size();
  return true;
}

uint64_t TSiteGenerator::SiteSize(const TPaginationBars& bars, bool menu_inert) const {
  // Every page's HTML is the template's fixed bytes plus copies of its own
  // paragraph text, bar and title; only a page whose text holds a placeholder
  // prefix has to be filled to be measured.
  const TPageSizeShape shape = PageSizeShape(*this, menu_inert);
  uint64_t size = css_code_.size();
  std::string bar, html;
  for (int i = 0; i < pages_.Count(); ++i) {
    const TSitePage& page = pages_[i];
    if (ParagraphTextIsInert(page.PageText)) {
      size += shape.fixed + shape.main_texts * ParagraphTextSize(page.PageText) +
              shape.bars * bars.Size(i) +
              shape.titles * (site_title_.size() + 3 + page.PageTitle.size());
    } else {
      bars.Build(i, bar);
      FillTemplate(*this, page, bar, menu_inert, html);
      size += html.size();
    }
  }
  return size;
}

void TSiteGenerator::SetSiteTemplateFromStrings(const TStringList& lines) {
  site_template_ = JoinLinesWithCr(lines);
}

void TSiteGenerator::TemplateProcessing(int32_t index) {
  TSitePage& page = pages_.Items(index);
  page.PageHTML = FillTemplate(*this, page);
}

void TSiteGenerator::TemplateProcessingAll() {
  const bool menu_inert = IsInertText(site_menu_);
  for (int i = 0; i < pages_.Count(); ++i) {
    TSitePage& page = pages_[i];
    FillTemplate(*this, page, page.Pagination, menu_inert, page.PageHTML);
  }
}

void TSiteGenerator::SiteImport() { WriteSiteFiles(save_path_); }

void TSiteGenerator::WriteSiteFiles(const std::string& folder) {
  orvana::WriteSiteFiles(*this, folder, fs_ ? *fs_ : RealFileSystem());
}

// --- Published tables -----------------------------------------------------------

namespace {

using G = TSiteGenerator;
using P = TSitePage;

template <auto Get, auto Set>
TPropInfo<G> GenString(const char* name) {
  TPropInfo<G> info{name, TPropKind::String};
  info.GetString = [](const G& g) -> const std::string& { return (g.*Get)(); };
  info.SetString = [](G& g, std::string v) { (g.*Set)(std::move(v)); };
  return info;
}

template <std::string P::*Field>
TPropInfo<P> PageString(const char* name) {
  TPropInfo<P> info{name, TPropKind::String};
  info.GetString = [](const P& p) -> const std::string& { return p.*Field; };
  info.SetString = [](P& p, std::string v) { p.*Field = std::move(v); };
  return info;
}

std::vector<TPropInfo<G>> MakeGeneratorProps() {
  std::vector<TPropInfo<G>> props;
  TPropInfo<G> pages{"Pages", TPropKind::Collection};
  pages.GetPages = [](G& g) -> TSitePages& { return g.Pages(); };
  pages.GetConstPages = [](const G& g) -> const TSitePages& { return g.Pages(); };
  props.push_back(pages);

  TPropInfo<G> text{"SiteText", TPropKind::StringList};
  text.GetList = [](const G& g) -> const TStringList& { return g.SiteText(); };
  text.SetList = [](G& g, TStringList v) { g.SetSiteText(std::move(v)); };
  props.push_back(text);

  props.push_back(GenString<&G::SiteTemplate, &G::SetSiteTemplate>("SiteTemplate"));

  TPropInfo<G> urls{"SiteUrlsToLink", TPropKind::StringList};
  urls.GetList = [](const G& g) -> const TStringList& { return g.SiteUrlsToLink(); };
  urls.SetList = [](G& g, TStringList v) { g.SetSiteUrlsToLink(std::move(v)); };
  props.push_back(urls);

  props.push_back(GenString<&G::SiteMenu, &G::SetSiteMenu>("SiteMenu"));
  props.push_back(GenString<&G::AdsenseCode, &G::SetAdsenseCode>("AdsenseCode"));
  props.push_back(GenString<&G::CssCode, &G::SetCssCode>("CssCode"));
  props.push_back(GenString<&G::SiteTitle, &G::SetSiteTitle>("SiteTitle"));
  props.push_back(GenString<&G::SiteHeader, &G::SetSiteHeader>("SiteHeader"));
  props.push_back(GenString<&G::SiteFooter, &G::SetSiteFooter>("SiteFooter"));

  TPropInfo<G> max{"MaxCharsPerPage", TPropKind::Integer};
  max.GetInteger = [](const G& g) { return g.MaxCharsPerPage(); };
  max.SetInteger = [](G& g, int32_t v) { g.SetMaxCharsPerPage(v); };
  props.push_back(max);

  TPropInfo<G> min{"MinCharsPerPage", TPropKind::Integer};
  min.GetInteger = [](const G& g) { return g.MinCharsPerPage(); };
  min.SetInteger = [](G& g, int32_t v) { g.SetMinCharsPerPage(v); };
  props.push_back(min);

  props.push_back(GenString<&G::SavePath, &G::SetSavePath>("SavePath"));
  return props;
}

}  // namespace

const TClassInfo<TSiteGenerator>& SiteGeneratorClass() {
  static const std::vector<TPropInfo<G>> props = MakeGeneratorProps();
  static const TClassInfo<G> info{"TSiteGenerator", props};
  return info;
}

const TClassInfo<TSitePage>& SitePageClass() {
  static const std::vector<TPropInfo<P>> props = {
      PageString<&P::PageText>("PageText"), PageString<&P::PageHTML>("PageHTML"),
      PageString<&P::PageTitle>("PageTitle"), PageString<&P::Pagination>("Pagination"),
      PageString<&P::PageUrl>("PageUrl")};
  static const TClassInfo<P> info{"TSitePage", props};
  return info;
}

const std::vector<const char*>& SiteGeneratorPublishedMethods() {
  static const std::vector<const char*> names = {"Generate", "SetSiteTemplateFromStrings",
                                                 "SiteImport", "TemplateProcessing",
                                                 "TemplateProcessingAll"};
  return names;
}

}  // namespace orvana
