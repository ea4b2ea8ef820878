#include "project/ProjectDocument.h"

#include <random>
#include <utility>

#include "engine/MemoryFileSystem.h"
#include "project/DefaultContent.h"
#include "project/MemoText.h"
#include "project/ObjectTextWriter.h"
#include "project/ProjectFile.h"

namespace orvana {
namespace {

// What the window's settings edits give the generator when it is created.
void ApplyNewWindowSettings(TSiteGenerator& generator) {
  generator.SetMinCharsPerPage(kDefaultMinCharsPerPage);
  generator.SetMaxCharsPerPage(kDefaultMaxCharsPerPage);
}

void CopyMemos(TSiteGenerator& generator, TProjectMemos memos) {
  generator.SetSiteText(std::move(memos.site_text));
  generator.SetSiteTemplate(MemoToStrings(memos.site_template));
  generator.SetAdsenseCode(MemoToStrings(memos.adsense_code));
  generator.SetCssCode(MemoToStrings(memos.css_code));
  generator.SetSiteUrlsToLink(std::move(memos.site_urls_to_link));
}

std::string ThroughMemo(const std::string& text) { return MemoToStrings(StringToMemo(text)); }

}  // namespace

TProjectDocument::TProjectDocument() { ApplyNewWindowSettings(generator_); }

TProjectMemos TProjectDocument::NewProjectMemos() {
  return {TStringList{}, DefaultTemplateLines(), DefaultAdsenseLines(), DefaultCssLines(),
          TStringList{}};
}

void TProjectDocument::LoadFromFile(
    const std::string& file_name,
    const std::function<bool(const std::string&)>& window_name_exists) {
  TProjectReadContext context;
  context.window_name_exists = window_name_exists;
  context.component_name_exists = IsProjectWindowComponentName;
  read_warnings_.clear();
  context.warning = [this](const std::string& warning) { read_warnings_.push_back(warning); };
  LoadProjectFile(file_name, generator_, context);
}

void TProjectDocument::SaveToFile(const std::string& file_name) const {
  SaveProjectFile(generator_, file_name);
}

void TProjectDocument::SetMemos(TProjectMemos memos) { CopyMemos(generator_, std::move(memos)); }

TProjectMemos TProjectDocument::Memos() const {
  return {generator_.SiteText(), StringToMemo(generator_.SiteTemplate()),
          StringToMemo(generator_.AdsenseCode()), StringToMemo(generator_.CssCode()),
          generator_.SiteUrlsToLink()};
}

void TProjectDocument::PassTextsThroughMemos() {
  generator_.SetSiteTemplate(ThroughMemo(generator_.SiteTemplate()));
  generator_.SetAdsenseCode(ThroughMemo(generator_.AdsenseCode()));
  generator_.SetCssCode(ThroughMemo(generator_.CssCode()));
}

namespace {

// Sets the extras and the seed of one build, and gives the generator its
// own back however the build ends.
class TBuildSettings {
 public:
  TBuildSettings(TSiteGenerator& generator, const TBuildRequest& request)
      : generator_(generator), extras_(generator.Extras()), seed_(generator.RandomSeed()) {
    if (request.extras) generator.SetExtras(*request.extras);
    std::optional<uint64_t> seed = request.seed ? request.seed : seed_;
    // The dry run of a strict build and the build after it pick the same
    // words (the project's stored link seed, when it has one).
    if (request.strict && !seed && !generator.Extras().StoredLinkSeed()) {
      std::random_device device;
      seed = uint64_t{device()} << 32 | device();
    }
    generator.SetRandomSeed(seed);
  }
  ~TBuildSettings() { Restore(); }
  TBuildSettings(const TBuildSettings&) = delete;
  TBuildSettings& operator=(const TBuildSettings&) = delete;

  // The project's own extras and seed again.
  void Restore() {
    generator_.SetExtras(extras_);
    generator_.SetRandomSeed(seed_);
  }

 private:
  TSiteGenerator& generator_;
  const TOrvanaExtras extras_;
  const std::optional<uint64_t> seed_;
};

}  // namespace

void TProjectDocument::AddReadWarnings(const TBuildRequest& request, TBuildReport& report) const {
  if (!request.report_read_warnings) return;
  std::vector<TBuildWarning> read;
  for (const std::string& warning : read_warnings_)
    read.push_back({std::string(kWarnProjectRead), warning});
  report.warnings.insert(report.warnings.begin(), read.begin(), read.end());
}

TSiteBuildResult TProjectDocument::Build(const TBuildRequest& request) {
  TBuildSettings settings(generator_, request);
  TMemoryFileSystem nowhere;
  TFileSystem& sink = request.pages_only ? nowhere
                      : request.sink     ? *request.sink
                                         : RealFileSystem();
  TSiteBuildOptions options;
  options.folder = request.pages_only ? std::string(".")
                                      : request.folder.value_or(NativePath(generator_.SavePath()));
  options.writers = request.writers;
  options.confirm_prune = request.confirm_prune;
  if (request.keep_pages || request.pages_only) options.on_page = generator_.KeepPages();
  if (request.strict) {
    options.dry_run = true;
    TSiteBuildResult trial = BuildSite(generator_, sink, options);
    AddReadWarnings(request, trial.report);
    if (trial.outcome == TBuildOutcome::kWritten && !trial.report.warnings.empty())
      trial.outcome = TBuildOutcome::kRefused;
    if (trial.outcome != TBuildOutcome::kWritten) return trial;
  }
  options.dry_run = request.dry_run || request.pages_only;
  options.progress = request.progress;
  // With a project file to save, each page also goes into its replacement
  // as it is made, and the file takes its name once the whole site is
  // written.
  std::optional<TProjectFileStream> saved;
  if (!request.save_to.empty() && !options.dry_run) {
    saved.emplace(generator_, request.save_to);
    options.on_page = [&](const TSitePage& page, const auto& bar, const auto& html) {
      saved->AddPage(page, bar, html);
    };
  }
  TSiteBuildResult result = BuildSite(generator_, sink, options);
  AddReadWarnings(request, result.report);
  // The stream writes the project's own extras when it commits.
  settings.Restore();
  if (saved && result.outcome == TBuildOutcome::kWritten) saved->Commit();
  return result;
}

void ApplyNewProjectContent(TSiteGenerator& generator) {
  ApplyNewWindowSettings(generator);
  generator.SetSiteTitle({});
  generator.SetSavePath({});
  CopyMemos(generator, TProjectDocument::NewProjectMemos());
  generator.Pages().Clear();
}

}  // namespace orvana
