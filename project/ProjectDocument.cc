#include "project/ProjectDocument.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <random>
#include <utility>

#include "engine/Error.h"
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

// A file system that only counts what is written into it.
class TCountingFileSystem : public TFileSystem {
 public:
  bool IsDirectory(const std::string&) override { return true; }
  bool ReplaceFile(const std::string&, std::string_view bytes, TReplaceMode,
                   TWriteFailure*) override {
    bytes_ += bytes.size();
    return true;
  }
  std::unique_ptr<TFileReplacement> BeginReplace(const std::string&, TReplaceMode,
                                                 TWriteFailure*) override {
    struct TCounter : TFileReplacement {
      explicit TCounter(uint64_t& bytes) : bytes(bytes) {}
      bool Write(std::string_view more, TWriteFailure*) override {
        bytes += more.size();
        return true;
      }
      bool Commit(TWriteFailure*) override { return true; }
      uint64_t& bytes;
    };
    return std::make_unique<TCounter>(bytes_);
  }
  uint64_t Bytes() const { return bytes_; }

 private:
  uint64_t bytes_ = 0;
};

// The file system (device) that holds a path's folder, if it can be told.
std::optional<dev_t> DeviceOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return st.st_dev;
}

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
    // So do the measuring of a project file to save and the build.
    const bool twice = request.strict || !request.save_to.empty();
    if (twice && !seed && !generator.Extras().StoredLinkSeed()) {
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
  options.folder =
      request.pages_only ? std::string(".") : request.folder.value_or(generator_.SavePath());
  options.writers = request.writers;
  options.confirm_prune = request.confirm_prune;
  if (request.keep_pages || request.pages_only) options.on_page = generator_.KeepPages();
  if (!request.save_to.empty() && !request.pages_only)
    options.also_needed = ProjectFileRoom(request, options);
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
  if (saved && result.outcome == TBuildOutcome::kWritten) {
    try {
      saved->Commit();
    } catch (const EOrvanaError& e) {
      // The site is on disk: the message says so before what failed.
      throw EOrvanaError("The site was written into \"" + AbsolutePath(options.folder) + "\" (" +
                             std::to_string(result.report.pages_written) +
                             " pages), but the project file was not saved: " + e.what(),
                         e.ErrorCode());
    }
  }
  return result;
}

uint64_t TProjectDocument::ProjectFileRoom(const TBuildRequest& request,
                                           const TSiteBuildOptions& build) {
  // The new project file is measured by writing it nowhere, from a dry run
  // with the build's seed; its temporary lives beside the old file until
  // the site is written, so it needs all of its size.
  TCountingFileSystem counter;
  {
    TProjectFileStream measured(generator_, request.save_to, &counter);
    TMemoryFileSystem nowhere;
    TSiteBuildOptions options;
    options.folder = ".";
    options.dry_run = true;
    options.on_page = [&](const TSitePage& page, const auto& bar, const auto& html) {
      measured.AddPage(page, bar, html);
    };
    BuildSite(generator_, nowhere, options);
    measured.Commit();
  }
  const uint64_t bytes = counter.Bytes();
  const std::string& project = request.save_to;
  std::string project_folder = std::filesystem::path(project).parent_path().string();
  if (project_folder.empty()) project_folder = ".";
  const std::optional<dev_t> site_device = DeviceOf(build.folder);
  const std::optional<dev_t> project_device = DeviceOf(project_folder);
  // On the site's file system the project file joins the site's check.
  if (!request.sink && site_device && site_device == project_device) return bytes;
  const std::optional<TFolderSpace> space = RealFileSystem().FolderSpace(project_folder);
  if (space && bytes > space->free_bytes)
    throw EOrvanaError("Not enough free space in \"" + AbsolutePath(project_folder) +
                           "\": the project file needs " + std::to_string(bytes) + " bytes, " +
                           std::to_string(space->free_bytes) + " bytes are free",
                       ENOSPC);
  return 0;
}

void ApplyNewProjectContent(TSiteGenerator& generator) {
  ApplyNewWindowSettings(generator);
  generator.SetSiteTitle({});
  generator.SetSavePath({});
  CopyMemos(generator, TProjectDocument::NewProjectMemos());
  generator.Pages().Clear();
}

}  // namespace orvana
