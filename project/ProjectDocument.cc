#include "project/ProjectDocument.h"

#include <utility>

#include "project/DefaultContent.h"
#include "project/MemoText.h"
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

void ApplyNewProjectContent(TSiteGenerator& generator) {
  ApplyNewWindowSettings(generator);
  generator.SetSiteTitle({});
  generator.SetSavePath({});
  CopyMemos(generator, TProjectDocument::NewProjectMemos());
  generator.Pages().Clear();
}

}  // namespace orvana
