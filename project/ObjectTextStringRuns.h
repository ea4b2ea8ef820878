// The scanner's wide step for the strings a project file is mostly made of:
// codes of four digits for letters outside ASCII ("#1072"), codes of one or
// two digits for control characters ("#13") and quoted runs between them,
// decoded 64 bytes at a time where the processor has the vector
// instructions for it.
#pragma once

#include <cstddef>

namespace orvana::object_text {

// What one call decoded: the input bytes it went past and the bytes it
// wrote.
struct TStringRuns {
  size_t consumed = 0;
  size_t produced = 0;
};

// The bytes that must follow the start of a wide step in the text.
inline constexpr size_t kStringRunsLookahead = 72;
// The room a wide step needs at `out`, beyond the bytes it keeps.
inline constexpr size_t kStringRunsRoom = 64;

// True when this processor can take the wide step.
bool StringRunsAvailable();

// From `p`, the start of a string piece ("#" or an opening apostrophe),
// decodes whole pieces of the common kinds into `out`, as the scanner's
// plain steps would: codes of exactly four digits that stand for a byte of
// the code page from 1000 to 1127, codes of exactly one or two digits, and
// quoted runs that hold no doubled apostrophe, CR, LF or NUL. It stops
// before the first piece of any other kind (and before anything that is no
// piece), when fewer than kStringRunsLookahead bytes remain after a window's
// start, or fewer than kStringRunsRoom bytes of `room` are left, always
// after a whole piece. Returns zeros when nothing was decoded. Only to be
// called when StringRunsAvailable().
TStringRuns DecodeStringRuns(const char* p, const char* end, char* out, size_t room);

}  // namespace orvana::object_text
