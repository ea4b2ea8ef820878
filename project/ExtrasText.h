// The extras block of a project file: the object after the root's final
// "end" that holds the extras differing from their defaults (written by
// ObjectTextWriter.cc).
//
// What the reader does with a block it cannot fully use: the project itself
// always loads as the root object says. Text after the root that is not an
// object is ignored, as before the block existed; when an extras block
// follows such text, the block is ignored too, with a warning naming both
// lines (the warnings are Windows-1251, as the text they quote). An object of another class, or a
// block with a syntax error, is ignored as a whole: every extra takes its default and one warning
// says why. Inside a readable block, an unknown property, a value of the wrong kind or out of range
// (a negative window) is skipped with a warning naming it, an output encoding other than
// "windows-1251" and "utf-8" with a warning naming the value too (ParseOutputEncoding reads it,
// here only), and the extra keeps its default; the rest of the block is read. An extra set again
// takes the later value, if valid, with a warning naming both lines. Text
// after the block (a second block included) is ignored with a warning naming
// its line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Extras.h"

namespace orvana {

// The extras of the text that follows a project file's root object. `trailer`
// is that text; `first_line` the number of the line it starts on, for the
// warnings. Returns the extras (all defaults without a block) and appends one
// line to `warnings` for each thing ignored.
TOrvanaExtras ReadExtrasText(std::string_view trailer, int64_t first_line,
                             std::vector<std::string>& warnings);

// Whether a publish target's address carries a password (USER:PASSWORD@):
// such a target is never read into a project nor stored in one.
bool PublishTargetHoldsPassword(std::string_view url);

}  // namespace orvana
