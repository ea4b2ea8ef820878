// How a memo's lines become one generator string and back, and how a memo's
// text is seen as lines.
#pragma once

#include <string>
#include <string_view>

#include "engine/StringList.h"

namespace orvana {

// Every line followed by one CR; an empty list gives the empty string.
std::string MemoToStrings(const TStringList& lines);

// Cuts the string at every CR; each CR ends a line and belongs to none. Bytes
// after the last CR (or a non-empty text without CR) form one more line. An
// empty text gives no line. LF stays inside the lines.
TStringList StringToMemo(std::string_view text);

// The lines a memo shows for its text: the text split at its line breaks
// (CR LF, CR or LF), where one final empty line is not counted, so a text
// that ends with a line break has no extra empty last line. Lines are never
// shortened.
TStringList MemoLines(std::string_view text);

}  // namespace orvana
