// A generator as JSON, for `orvana-cli show --json`.
//
// The object has one key per published property of TSiteGenerator, in
// published order; Pages is an array with one object per page holding the
// published properties of TSitePage. Strings are converted from Windows-1251
// to UTF-8, integers are numbers and string lists are arrays of strings.
#pragma once

#include <string>
#include <string_view>

#include "engine/SiteGenerator.h"

namespace orvana::cli {

// The JSON string literal of UTF-8 text, quotes included: '"', '\' and the
// controls CR, LF and tab get their short escapes, every other byte below 32
// is written as \u00XX, and everything else is copied unchanged.
std::string JsonQuote(std::string_view utf8);

// The extras, every one under its property name, as one JSON object on one
// line.
std::string ExtrasToJson(const TOrvanaExtras& extras);

// The generator's published properties as one JSON object on one line,
// without a trailing line feed.
std::string GeneratorToJson(const TSiteGenerator& generator);

}  // namespace orvana::cli
