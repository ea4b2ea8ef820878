// The modern preset: a template and stylesheet of today's web (HTML5, a
// declared charset, a viewport, readable on a phone) with the extras that
// go with them.
//
// The texts are Windows-1251 lines, as the window's memos hold them; the
// template declares UTF-8, the encoding the preset writes its pages in.
#pragma once

#include <string_view>

#include "engine/SiteGenerator.h"

namespace orvana {

const TStringList& ModernTemplateLines();

// The modern template declaring the charset of the given output encoding:
// "utf-8" as ModernTemplateLines has it, else "windows-1251".
TStringList ModernTemplateLines(std::string_view output_encoding);
const TStringList& ModernCssLines();

// Gives the generator the modern template and stylesheet (each line followed
// by CR, as from a memo), an empty advertising block, and the extras
// PagerWindow 2, SafeLinks True and OutputEncoding "utf-8"; the other extras
// and every other property stay as they are.
void ApplyModernPreset(TSiteGenerator& generator);

}  // namespace orvana
