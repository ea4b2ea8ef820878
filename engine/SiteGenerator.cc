#include "engine/SiteGenerator.h"

#include "engine/CodePage.h"
#include "engine/Error.h"
#include "engine/ExtrasOutput.h"
#include "engine/FileSystem.h"
#include "engine/LinkDistribution.h"
#include "engine/Notify.h"
#include "engine/Paging.h"
#include "engine/SafeLinks.h"
#include "engine/SiteBuild.h"
#include "engine/SiteMenu.h"
#include "engine/SiteOutput.h"
#include "engine/StalePages.h"
#include "engine/TemplateProcessing.h"

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

const TStringList& TSiteGenerator::SiteText() const {
  if (!site_text_lines_ready_) {
    site_text_.clear();
    site_text_.reserve(site_text_line_ends_.size());
    size_t begin = 0;
    for (size_t end : site_text_line_ends_) {
      site_text_.emplace_back(site_text_joined_, begin, end - begin);
      begin = end + 1;
    }
    site_text_lines_ready_ = true;
  }
  return site_text_;
}

void TSiteGenerator::SetSiteText(const TStringList& lines) { SetSiteText(TStringList(lines)); }

void TSiteGenerator::SetSiteText(TStringList&& lines) {
  site_text_ = std::move(lines);
  site_text_lines_ready_ = true;
  std::string().swap(site_text_joined_);
  std::vector<size_t>().swap(site_text_line_ends_);
  site_text_joined_ready_ = false;
}

void TSiteGenerator::SetJoinedSiteText(std::string joined, std::vector<size_t> line_ends) {
  site_text_joined_ = std::move(joined);
  site_text_line_ends_ = std::move(line_ends);
  site_text_joined_ready_ = true;
  TStringList().swap(site_text_);
  site_text_lines_ready_ = false;
}

void TSiteGenerator::BuildLinkedPages() {
  const std::string kSection = extras_.PageWord + ' ';
  pages_.Clear();
  AddPage(extras_.IndexLabel);
  // The text the pages are cut from: the joined form when the generator
  // holds it, else the lines joined here.
  std::string joined_here;
  if (!site_text_joined_ready_) joined_here = JoinLinesWithCr(site_text_);
  const std::string_view joined = site_text_joined_ready_ ? site_text_joined_ : joined_here;
  forced_cuts_.clear();
  const std::vector<TPageSpan> spans =
      CutIntoPages(joined, min_chars_per_page_, max_chars_per_page_, &forced_cuts_);
  // The first page exists already; every further span is a new page.
  for (size_t i = 1; i < spans.size(); ++i) AddPage(kSection + std::to_string(i));
  // The links go in as each page's text is taken from the working text, so
  // the text is copied once, with its links.
  if (seed_)
    random_.Seed(*seed_);
  else
    random_.SeedFromClock();
  const std::string_view text = joined;
  placements_.clear();
  const auto link_pages = [&](auto& links) {
    links.SetPlacementLog(&placements_);
    for (size_t i = 0; i < spans.size(); ++i)
      links.LinkPage(text.substr(spans[i].offset, spans[i].length),
                     pages_[static_cast<int>(i)].PageText);
    links_placed_ = links.LinksPlaced();
  };
  if (extras_.SafeLinks) {
    TSafeLinkDistributor links(site_urls_to_link_, pages_.Count(), random_, extras_.LinkRel);
    link_pages(links);
  } else {
    TLinkDistributor links(site_urls_to_link_, pages_.Count(), random_, extras_.LinkRel);
    link_pages(links);
  }
}

std::vector<std::string_view> TSiteGenerator::BuildMenu() {
  std::vector<std::string_view> urls, titles;
  urls.reserve(static_cast<size_t>(pages_.Count()));
  titles.reserve(static_cast<size_t>(pages_.Count()));
  for (int i = 0; i < pages_.Count(); ++i) {
    urls.emplace_back(pages_[i].PageUrl);
    titles.emplace_back(pages_[i].PageTitle);
  }
  site_menu_ = BuildSiteMenu(urls, titles);
  return urls;
}

TSiteTexts TSiteGenerator::Texts() const {
  return {site_template_, site_menu_, site_header_, site_footer_, adsense_code_, site_title_};
}

void TSiteGenerator::Generate() {
  BuildLinkedPages();
  if (extras_.PagerWindow > 0 || extras_.MenuWindow > 0) {
    FillWindowedPages(BuildMenu());
    return;
  }
  const TPaginationBars bars(BuildMenu());
  for (int i = 0; i < pages_.Count(); ++i) bars.Build(i, pages_[i].Pagination);
  TemplateProcessingAll();
}

bool TSiteGenerator::GenerateAndWriteSite(const std::string& folder, uint64_t* bytes_written,
                                          const TPageWrittenHandler& on_page) {
  TSiteBuildOptions options;
  options.folder = folder;
  options.confirm_prune = prune_confirm_;
  options.on_page = on_page;
  return FinishWrite(BuildSite(*this, fs_ ? *fs_ : RealFileSystem(), options), bytes_written);
}

bool TSiteGenerator::FinishWrite(const TSiteBuildResult& result, uint64_t* bytes_written) {
  if (result.outcome == TBuildOutcome::kMissingFolder) {
    ShowErrorBox(MissingFolderMessage());
    return false;
  }
  pruned_ = result.report.pruned;
  if (bytes_written) *bytes_written = result.report.bytes;
  return true;
}

void TSiteGenerator::SetSiteTemplateFromStrings(const TStringList& lines) {
  site_template_ = JoinLinesWithCr(lines);
}

void TSiteGenerator::TemplateProcessing(int32_t index) {
  TSitePage& page = pages_.Items(index);
  page.PageHTML = FillTemplate(Texts(), page.PageText, page.Pagination, page.PageTitle);
}

void TSiteGenerator::TemplateProcessingAll() {
  TTemplateFiller filler(Texts());
  for (int i = 0; i < pages_.Count(); ++i) {
    TSitePage& page = pages_[i];
    filler.Fill(page.PageText, page.Pagination, page.PageTitle, page.PageHTML);
  }
}

void TSiteGenerator::SiteImport() { WriteSiteFiles(save_path_); }

void TSiteGenerator::WriteSiteFiles(const std::string& folder) {
  TSiteBuildOptions options;
  options.folder = folder;
  options.confirm_prune = prune_confirm_;
  FinishWrite(WriteGeneratedSite(*this, fs_ ? *fs_ : RealFileSystem(), options), nullptr);
}

void TSiteGenerator::FillWindowedPages(const std::vector<std::string_view>& urls) {
  std::vector<std::string_view> titles;
  titles.reserve(urls.size());
  for (int i = 0; i < pages_.Count(); ++i) titles.emplace_back(pages_[i].PageTitle);
  const TPaginationBars bars(urls);
  TSiteTexts texts = Texts();
  std::string menu;
  for (int i = 0; i < pages_.Count(); ++i) {
    TSitePage& page = pages_[i];
    if (extras_.PagerWindow > 0)
      page.Pagination = BuildWindowedBar(urls, i, extras_.PagerWindow);
    else
      bars.Build(i, page.Pagination);
    if (extras_.MenuWindow > 0) {
      menu = BuildWindowedMenu(urls, titles, i, extras_.MenuWindow);
      texts.site_menu = menu;
    }
    page.PageHTML = FillTemplate(texts, page.PageText, page.Pagination, page.PageTitle);
  }
}

}  // namespace orvana
