// Helpers shared by the engine tests.
#pragma once

#include <string>

#include "CodePage.h"

namespace orvana::test {

// A Windows-1251 string from UTF-8 source text.
inline std::string W(const char* utf8) { return Utf8ToCp1251(utf8); }

}  // namespace orvana::test
