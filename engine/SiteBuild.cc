#include "engine/SiteBuild.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>

#include "engine/ExtrasOutput.h"
#include "engine/PageEncoding.h"
#include "engine/Processors.h"
#include "engine/SiteMenu.h"
#include "engine/SiteOutput.h"
#include "engine/StalePages.h"
#include "engine/TemplateProcessing.h"
#include "engine/UrlSafety.h"
#include "engine/WorkerPool.h"

namespace orvana {
namespace {

// A replacement whose bytes go nowhere.
class TNullReplacement final : public TFileReplacement {
 public:
  bool Write(std::string_view, TWriteFailure*) override { return true; }
  bool Commit(TWriteFailure*) override { return true; }
};

// The file system of a dry run: every question goes to the real one, every
// write and removal is dropped.
class TDryRunFileSystem final : public TFileSystem {
 public:
  explicit TDryRunFileSystem(TFileSystem& real) : real_(real) {}
  bool IsDirectory(const std::string& path) override { return real_.IsDirectory(path); }
  bool ReplaceFile(const std::string&, std::string_view, TReplaceMode, TWriteFailure*) override {
    return true;
  }
  std::unique_ptr<TFileReplacement> BeginReplace(const std::string&, TReplaceMode,
                                                 TWriteFailure*) override {
    return std::make_unique<TNullReplacement>();
  }
  std::optional<TFolderSpace> FolderSpace(const std::string& folder) override {
    return real_.FolderSpace(folder);
  }
  uint64_t AllocatedSize(const std::string& path) override { return real_.AllocatedSize(path); }
  bool ListRegularFiles(const std::string& folder, std::vector<std::string>& names) override {
    return real_.ListRegularFiles(folder, names);
  }
  // A dry run plans the writers the build would have, and their room.
  bool ConcurrentReplaces() const override { return real_.ConcurrentReplaces(); }
  bool CanReplace(const std::string& path, TReplaceMode mode, TWriteFailure* failure) override {
    return real_.CanReplace(path, mode, failure);
  }

 private:
  TFileSystem& real_;
};

size_t CountOccurrences(std::string_view text, std::string_view pattern) {
  size_t n = 0;
  for (size_t at = text.find(pattern); at != std::string_view::npos;
       at = text.find(pattern, at + pattern.size()))
    ++n;
  return n;
}

uint64_t EncodedPiecesSize(const std::vector<std::string_view>& pieces, bool utf8) {
  uint64_t size = 0;
  for (std::string_view piece : pieces) size += EncodedSize(piece, utf8);
  return size;
}

// A site needs this many pages a writer before another writer pays.
constexpr int kPagesPerWriter = 16;
// Past this many, writers only contend for the file system.
constexpr int kMostWriters = 4;

}  // namespace

// What one writer makes its pages with: a template filler and the buffers
// of the page in hand.
struct TPageWork {
  std::unique_ptr<TTemplateFiller> filler;
  // The page being made: its HTML (Windows-1251), its bar and its menu,
  // valid until the next page.
  const std::vector<std::string_view>* html = nullptr;
  std::vector<std::string_view> bar, one_html, encoded_view;
  std::string_view menu;
  std::string bar_text, menu_text, html_text, joined, encoded;
};

// One build of one generator's site (see SiteBuild.h).
class TSiteBuild {
 public:
  TSiteBuild(TSiteGenerator& generator, TFileSystem& fs, const TSiteBuildOptions& options)
      : g_(generator),
        dry_fs_(fs),
        fs_(options.dry_run ? static_cast<TFileSystem&>(dry_fs_) : fs),
        options_(options),
        folder_(options.folder),
        extras_(generator.Extras()),
        utf8_(extras_.OutputEncoding == TOutputEncoding::kUtf8),
        windowed_(extras_.PagerWindow > 0 || extras_.MenuWindow > 0) {}

  TSiteBuildResult Run();

 private:
  // Sets up what every page is made from, once the pages have their texts.
  void Prepare();
  // A writer's tools for making pages.
  TPageWork NewWork() const;
  // The HTML of page i (Windows-1251), its bar and the menu it holds, into
  // `work`, all valid until its next page.
  void MakePage(TPageWork& work, int i) const;
  // The page's bytes as written: its HTML itself, or its encoded form.
  const std::vector<std::string_view>& EncodedPage(TPageWork& work) const;
  // How many threads write the pages.
  int Writers() const;
  // Makes and writes page i with `work`, measured into `built`; returns
  // the bytes of its menus and bars. The page takes its name in page order
  // (`in_order`), never after a failed one.
  uint64_t WritePage(TPageWork& work, int i, TBuiltPage& built, TInOrder& in_order) const;
  // The sizes of every file the build will write, checked against the
  // folder's free space before the first is written.
  void CheckSpace(const std::string& css);
  // Throws, as the write would, for a target that cannot be replaced.
  void CheckTargets();
  // The pages' sizes from the template's shape, without filling most pages:
  // exact for full bars and menus in Windows-1251, else (`bound`) never
  // below the pages as written. False when the shape cannot tell.
  bool PlanByShape(std::vector<TPlannedFile>& files, bool bound);
  void WritePages(TBuildOutput& output);
  void WriteRest(const std::string& css, TBuildOutput& output);
  void Prune(TBuildOutput& output);

  TSiteGenerator& g_;
  TDryRunFileSystem dry_fs_;
  TFileSystem& fs_;
  const TSiteBuildOptions& options_;
  const std::string folder_;
  const TOrvanaExtras extras_;
  const bool utf8_;
  const bool windowed_;
  bool cancelled_ = false;

  std::vector<std::string_view> urls_, titles_;
  std::optional<TPaginationBars> bars_;
  // The calling thread's tools, also used to size the site.
  TPageWork work_;
  int writers_ = 1;
  uint64_t menus_per_page_ = 0, bars_per_page_ = 0, full_menu_bytes_ = 0;
  std::vector<TSitemapFile> sitemaps_;
};

void TSiteBuild::Prepare() {
  const TSitePages& pages = g_.Pages();
  urls_.reserve(static_cast<size_t>(pages.Count()));
  titles_.reserve(static_cast<size_t>(pages.Count()));
  for (int i = 0; i < pages.Count(); ++i) {
    urls_.emplace_back(pages[i].PageUrl);
    titles_.emplace_back(pages[i].PageTitle);
  }
  const TSiteTexts texts = g_.Texts();
  menus_per_page_ = CountOccurrences(texts.site_template, kMenuPlaceholder);
  bars_.emplace(urls_);
  work_ = NewWork();
  bars_per_page_ = work_.filler->SizeShape().bars;
  full_menu_bytes_ = EncodedSize(g_.SiteMenu(), utf8_);
  writers_ = Writers();
  if (!extras_.SiteUrl.empty() && SiteUrlProblem(extras_.SiteUrl).empty())
    sitemaps_ = BuildSitemapFiles(extras_.SiteUrl, urls_);
}

TPageWork TSiteBuild::NewWork() const {
  TPageWork work;
  work.filler = std::make_unique<TTemplateFiller>(g_.Texts());
  return work;
}

void TSiteBuild::MakePage(TPageWork& w, int i) const {
  const TSitePage& page = g_.Pages()[i];
  const bool window_menu = extras_.MenuWindow > 0;
  w.menu = g_.SiteMenu();
  if (window_menu) {
    w.menu_text = BuildWindowedMenu(urls_, titles_, i, extras_.MenuWindow);
    w.menu = w.menu_text;
  }
  w.bar.clear();
  if (!windowed_) {
    // Each page's bar and HTML go to the file system as pieces: the menu,
    // the bar's runs and the page's paragraphs are never copied into a page
    // of their own.
    bars_->AppendPieces(i, w.bar);
    w.html = &w.filler->FillPieces(page.PageText, w.bar, bars_->Inert(), page.PageTitle);
    return;
  }
  if (extras_.PagerWindow > 0)
    w.bar_text = BuildWindowedBar(urls_, i, extras_.PagerWindow);
  else
    bars_->Build(i, w.bar_text);
  w.bar.push_back(w.bar_text);
  TSiteTexts texts = g_.Texts();
  texts.site_menu = w.menu;
  w.html_text = FillTemplate(texts, page.PageText, w.bar_text, page.PageTitle);
  w.one_html.assign(1, w.html_text);
  w.html = &w.one_html;
}

const std::vector<std::string_view>& TSiteBuild::EncodedPage(TPageWork& w) const {
  if (!utf8_) return *w.html;
  std::string_view html;
  if (w.html->size() == 1) {
    html = w.html->front();
  } else {
    w.joined.clear();
    for (std::string_view piece : *w.html) w.joined += piece;
    html = w.joined;
  }
  EncodePageInto(html, extras_.OutputEncoding, w.encoded);
  w.encoded_view.assign(1, w.encoded);
  return w.encoded_view;
}

namespace {

// True when the files fit into the free space as they are, none of them
// replacing another: then they fit however many they replace.
bool FitAsTheyAre(const std::vector<TPlannedFile>& files, const TFolderSpace& space) {
  const uint64_t block = std::max<uint64_t>(space.block_size, 1);
  uint64_t taken = 0;
  for (const TPlannedFile& file : files) {
    const uint64_t blocks = file.bytes / block + (file.bytes % block != 0);
    if (blocks > space.free_bytes / block || blocks * block > space.free_bytes - taken)
      return false;
    taken += blocks * block;
  }
  return true;
}

// UTF-8 takes at most three bytes for a Windows-1251 one; a page may gain a
// charset meta or a longer charset name.
constexpr uint64_t kUtf8Growth = 3;
constexpr uint64_t kDeclarationGrowth = 32;

}  // namespace

bool TSiteBuild::PlanByShape(std::vector<TPlannedFile>& files, bool bound) {
  // Every page's HTML is the template's fixed bytes plus copies of its own
  // paragraph text, bar and title, with the full menu and bars; only a page
  // whose text holds a placeholder prefix has to be filled to be measured.
  // Windowed menus and bars are never longer than the full ones, so the
  // shape bounds them from above.
  if (!bars_->Inert()) return false;
  const TPageSizeShape shape = work_.filler->SizeShape();
  for (int i = 0; i < g_.Pages().Count(); ++i) {
    const TSitePage& page = g_.Pages()[i];
    uint64_t size = 0;
    if (ParagraphTextIsInert(page.PageText)) {
      size = shape.fixed + shape.main_texts * ParagraphTextSize(page.PageText) +
             shape.bars * bars_->Size(i) +
             shape.titles * (g_.SiteTitle().size() + 3 + page.PageTitle.size());
      if (bound && utf8_) size = size * kUtf8Growth + kDeclarationGrowth;
    } else {
      MakePage(work_, i);
      for (std::string_view piece : EncodedPage(work_)) size += piece.size();
    }
    files.push_back({page.PageUrl, size});
  }
  return true;
}

void TSiteBuild::CheckSpace(const std::string& css) {
  // Sizing a site costs a pass over its pages; a folder whose free space
  // cannot be told is not sized.
  std::optional<TFolderSpace> space = fs_.FolderSpace(folder_);
  if (!space) return;
  const uint64_t besides = options_.also_needed;
  space->free_bytes = space->free_bytes > besides ? space->free_bytes - besides : 0;
  std::vector<TPlannedFile> files;
  const auto add_rest = [&] {
    files.push_back({kStylesheetFileName, css.size()});
    for (const TSitemapFile& part : sitemaps_) files.push_back({part.name, part.bytes.size()});
  };
  const bool exact_by_shape = !windowed_ && !utf8_;
  // Each writer has one temporary in flight.
  const size_t in_flight = static_cast<size_t>(writers_);
  if (PlanByShape(files, !exact_by_shape)) {
    add_rest();
    // The files replaced give their room back and need at most the largest
    // of them besides, so a site whose new files (or their bound) fit into
    // the free space as they are fits; only a tighter one is measured
    // exactly and has each old file looked up.
    if (FitAsTheyAre(files, *space)) return;
    if (exact_by_shape) return CheckSiteFits(fs_, folder_, files, in_flight, besides);
    files.clear();
  }
  for (int i = 0; i < g_.Pages().Count(); ++i) {
    MakePage(work_, i);
    uint64_t size = 0;
    for (std::string_view piece : EncodedPage(work_)) size += piece.size();
    files.push_back({g_.Pages()[i].PageUrl, size});
  }
  add_rest();
  if (!FitAsTheyAre(files, *space)) CheckSiteFits(fs_, folder_, files, in_flight, besides);
}

int TSiteBuild::Writers() const {
  const int pages = g_.Pages().Count();
  // Pages handed to the caller in order, and file systems that replace one
  // file at a time, take one writer: the calling thread.
  if (options_.writers == 1 || options_.on_page || !fs_.ConcurrentReplaces()) return 1;
  if (options_.writers > 1) return std::max(std::min(options_.writers, pages), 1);
  return std::clamp(pages / kPagesPerWriter, 1, std::min(UsableProcessors(), kMostWriters));
}

uint64_t TSiteBuild::WritePage(TPageWork& w, int i, TBuiltPage& built, TInOrder& in_order) const {
  MakePage(w, i);
  const std::vector<std::string_view>& bytes = EncodedPage(w);
  const TSitePage& page = g_.Pages()[i];
  auto file = std::make_shared<TSiteFileWrite>(fs_, folder_, page.PageUrl);
  file->Write(bytes);
  // The writer goes on with its next page; the file takes its name once
  // every page before it has (or is given up, its old file kept, when one
  // of them failed).
  in_order.Submit(i, [file] { file->Commit(); });
  TCharsetSniffer sniffer;
  for (std::string_view piece : bytes) {
    built.bytes += piece.size();
    sniffer.Feed(piece);
  }
  built.charset = sniffer.Result();
  if (options_.on_page) options_.on_page(page, w.bar, *w.html);
  const uint64_t menu = extras_.MenuWindow > 0 ? EncodedSize(w.menu, utf8_) : full_menu_bytes_;
  return menus_per_page_ * menu + bars_per_page_ * EncodedPiecesSize(w.bar, utf8_);
}

void TSiteBuild::WritePages(TBuildOutput& output) {
  // The writers make their pages at once, but each page takes its name in
  // page order: the pages written are always the first ones, whatever stops
  // the build, and none after a page that failed. Only the calling thread
  // reports progress, so a window's progress callback runs where it lives.
  const int count = g_.Pages().Count();
  output.pages.assign(static_cast<size_t>(count), TBuiltPage{});
  std::vector<TPageWork> work(static_cast<size_t>(writers_));
  std::vector<uint64_t> menu_and_bar_bytes(work.size(), 0);
  work[0] = std::move(work_);
  for (size_t k = 1; k < work.size(); ++k) work[k] = NewWork();
  TInOrder in_order;
  int reported = 0;
  TItemsJob job;
  job.count = count;
  job.threads = writers_;
  job.in_order = &in_order;
  job.work = [&](int i, int slot) {
    const size_t k = static_cast<size_t>(slot);
    menu_and_bar_bytes[k] += WritePage(work[k], i, output.pages[static_cast<size_t>(i)], in_order);
  };
  if (options_.progress)
    job.progress = [&](int written) {
      reported = written;
      return options_.progress(written, count);
    };
  int taken = 0;
  try {
    taken = RunItems(job);
  } catch (...) {
    // The pages written before the failure, counted exactly, for a caller
    // that says which files the failed build replaced; the failure itself
    // is what the build ends with.
    const int done = in_order.Done();
    if (options_.progress && done > reported) {
      try {
        (void)options_.progress(done, count);
      } catch (...) {
      }
    }
    throw;
  }
  for (uint64_t bytes : menu_and_bar_bytes) output.menu_and_bar_bytes += bytes;
  output.pages.resize(static_cast<size_t>(taken));
  if (taken < count) {
    cancelled_ = true;
  } else if (options_.progress && reported < count) {
    (void)options_.progress(count, count);
  }
}

void TSiteBuild::WriteRest(const std::string& css, TBuildOutput& output) {
  WriteSiteFile(fs_, folder_, kStylesheetFileName, css);
  output.css_bytes = css.size();
  output.css_written = true;
  for (const TSitemapFile& part : sitemaps_) {
    WriteSiteFile(fs_, folder_, part.name, part.bytes);
    output.other_files.emplace_back(part.name, part.bytes.size());
  }
  fs_.RemoveStaleTemporaries(folder_, IsSiteFileName);
}

std::vector<std::string> ListStaleSiteFiles(const TSiteGenerator& generator, TFileSystem& fs,
                                            const std::string& folder) {
  if (!generator.Extras().PruneStale) return {};
  std::vector<std::string> sitemaps;
  const std::string& site_url = generator.Extras().SiteUrl;
  if (!site_url.empty() && SiteUrlProblem(site_url).empty()) {
    std::vector<std::string_view> urls;
    for (int i = 0; i < generator.Pages().Count(); ++i)
      urls.emplace_back(generator.Pages()[i].PageUrl);
    for (const TSitemapFile& part : BuildSitemapFiles(site_url, urls))
      sitemaps.push_back(part.name);
  }
  return ListStaleFiles(fs, folder, generator.Pages().Count(), sitemaps);
}

void TSiteBuild::Prune(TBuildOutput& output) {
  if (!extras_.PruneStale) return;
  std::vector<std::string> written;
  for (const TSitemapFile& part : sitemaps_) written.push_back(part.name);
  std::vector<std::string> stale = ListStaleFiles(fs_, folder_, g_.Pages().Count(), written);
  if (stale.empty()) return;
  if (options_.dry_run) {
    output.pruned = std::move(stale);
    return;
  }
  if (options_.confirm_prune && !options_.confirm_prune(stale)) return;
  output.pruned = RemoveStaleFiles(fs_, folder_, stale);
}

void TSiteBuild::CheckTargets() {
  // Each file the build will write is asked about as its write will be,
  // before the first is replaced: a target that would fail fails the build
  // (and its dry run) with nothing written.
  TWriteFailure failure{TWriteFailure::kCreate, 0};
  const auto check = [&](std::string_view name) {
    const std::string path = FilePathIn(folder_, name);
    if (!fs_.CanReplace(path, TReplaceMode::kSitePage, &failure)) ThrowWriteFailure(path, failure);
  };
  for (int i = 0; i < g_.Pages().Count(); ++i) check(g_.Pages()[i].PageUrl);
  check(kStylesheetFileName);
  for (const TSitemapFile& part : sitemaps_) check(part.name);
}

TSiteBuildResult TSiteBuild::Run() {
  TSiteBuildResult result;
  if (!fs_.IsDirectory(folder_)) {
    result.outcome = TBuildOutcome::kMissingFolder;
    return result;
  }
  g_.BuildLinkedPages();
  g_.BuildMenu();
  Prepare();
  const std::string css = EncodeStylesheet(g_.CssCode(), extras_.OutputEncoding);
  CheckSpace(css);
  CheckTargets();
  TBuildOutput output;
  output.folder = folder_;
  output.dry_run = options_.dry_run;
  WritePages(output);
  if (cancelled_) {
    output.complete = false;
    result.outcome = TBuildOutcome::kCancelled;
  } else {
    WriteRest(css, output);
    Prune(output);
  }
  result.report = MakeBuildReport(g_, output);
  return result;
}

TSiteBuildResult BuildSite(TSiteGenerator& generator, TFileSystem& fs,
                           const TSiteBuildOptions& options) {
  return TSiteBuild(generator, fs, options).Run();
}

}  // namespace orvana
