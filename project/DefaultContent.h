// The content every new project window starts with, shared by the desktop
// application and the command-line tool.
//
// All texts are Windows-1251 lines, as the window's memos hold them: the
// 32-line page template, the 11-line advertising block and the 147-line
// stylesheet. When a memo is copied into the generator each line gets one CR.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/SiteGenerator.h"

namespace orvana {

inline constexpr int32_t kDefaultMinCharsPerPage = 4000;
inline constexpr int32_t kDefaultMaxCharsPerPage = 5000;

// Lines written in UTF-8 in the source, as the engine's Windows-1251 lines:
// how the built-in templates and stylesheets are kept.
TStringList Cp1251Lines(std::initializer_list<const char8_t*> utf8);

const TStringList& DefaultTemplateLines();
const TStringList& DefaultAdsenseLines();
const TStringList& DefaultCssLines();

// The names of the project window's own components (its controls and the
// folder chooser). A project file whose header names the generator after one
// of them fails with "A component named %s already exists".
const std::vector<std::string>& ProjectWindowComponentNames();

// True when the name is one of ProjectWindowComponentNames() (exact match).
bool IsProjectWindowComponentName(const std::string& name);

// Puts the generator in the state a new project window gives it once its
// memos have been copied in: bounds 4000 and 5000, the default template,
// advertising block and stylesheet (each line followed by CR), empty title,
// folder, text and links, no pages. Defined with TProjectDocument
// (ProjectDocument.cc), whose new state and memos it applies.
void ApplyNewProjectContent(TSiteGenerator& generator);

}  // namespace orvana
