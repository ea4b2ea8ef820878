// The engine's string list: an ordered list of lines without line
// terminators, indexed from 0; an empty entry is an empty line.
#pragma once

#include <string>
#include <vector>

namespace orvana {

using TStringList = std::vector<std::string>;

}  // namespace orvana
