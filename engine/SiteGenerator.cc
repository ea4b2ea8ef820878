#include "engine/SiteGenerator.h"

#include "engine/CodePage.h"
#include "engine/Error.h"
#include "engine/ExtrasOutput.h"
#include "engine/FileSystem.h"
#include "engine/LinkDistribution.h"
#include "engine/MemoryFileSystem.h"
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
  // The page titles are HTML: the words the user gave are written as text.
  const std::string kSection = EscapeHtmlText(extras_.PageWord) + ' ';
  pages_.Clear();
  AddPage(EscapeHtmlText(extras_.IndexLabel));
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
  last_seed_ = seed_ ? *seed_ : extras_.StoredLinkSeed().value_or(TRandomSource::ClockSeed());
  random_.Seed(last_seed_);
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

namespace {

std::string Joined(const std::vector<std::string_view>& pieces) {
  size_t size = 0;
  for (std::string_view piece : pieces) size += piece.size();
  std::string joined;
  joined.reserve(size);
  for (std::string_view piece : pieces) joined += piece;
  return joined;
}

}  // namespace

std::function<void(const TSitePage&, const std::vector<std::string_view>&,
                   const std::vector<std::string_view>&)>
TSiteGenerator::KeepPages() {
  return [this](const TSitePage& made, const std::vector<std::string_view>& bar,
                const std::vector<std::string_view>& html) {
    TSitePage& page = pages_[made.Index()];
    page.Pagination = Joined(bar);
    page.PageHTML = Joined(html);
  };
}

void TSiteGenerator::Generate() {
  // A dry run into an empty folder in memory writes nothing; each page
  // keeps its bar and HTML as it is made.
  TMemoryFileSystem nowhere;
  TSiteBuildOptions options;
  options.folder = ".";
  options.dry_run = true;
  options.on_page = KeepPages();
  BuildSite(*this, nowhere, options);
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

void TSiteGenerator::SiteImport() {
  const std::optional<uint64_t> seed = seed_;
  seed_ = last_seed_;
  TSiteBuildOptions options;
  options.folder = save_path_;
  options.on_page = KeepPages();
  TSiteBuildResult result;
  try {
    result = BuildSite(*this, RealFileSystem(), options);
  } catch (...) {
    seed_ = seed;
    throw;
  }
  seed_ = seed;
  if (result.outcome == TBuildOutcome::kMissingFolder) ShowErrorBox(MissingFolderMessage());
}

}  // namespace orvana
