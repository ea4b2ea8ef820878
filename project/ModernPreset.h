// The modern preset: a template and stylesheet of today's web (HTML5, a
// declared charset, a viewport, readable on a phone) with the extras that
// go with them.
//
// The texts are Windows-1251 lines, as the window's memos hold them. The
// template declares Windows-1251, the code page it is made in, and so
// follows the output encoding at build time: UTF-8 output rewrites the
// declaration to utf-8 (see PageEncoding.h), Windows-1251 output keeps it.
#pragma once

#include "engine/SiteGenerator.h"

namespace orvana {

const TStringList& ModernTemplateLines();

const TStringList& ModernCssLines();

// Gives the generator the modern template and stylesheet (each line followed
// by CR, as from a memo), an empty advertising block, and the extras
// PagerWindow 2, SafeLinks True and OutputEncoding "utf-8"; the other extras
// and every other property stay as they are.
void ApplyModernPreset(TSiteGenerator& generator);

}  // namespace orvana
