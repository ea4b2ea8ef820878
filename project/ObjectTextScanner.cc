#include "project/ObjectTextScanner.h"

#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/CodePage.h"
#include "engine/Error.h"
#include "project/ObjectTextStringRuns.h"

namespace orvana::object_text {
namespace {

bool IsIdentStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(unsigned char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Bytes that end a quoted run: the apostrophe, and those that a quoted run
// may not hold.
constexpr auto kStringStop = [] {
  std::array<bool, 256> stop{};
  stop['\''] = stop['\r'] = stop['\n'] = stop[0] = true;
  return stop;
}();

// The byte that a code of four decimal digits stands for, as AppendCharCode
// gives it: none of them is a surrogate. The table is built at every start of
// the program, so it is made from the code page's 256 bytes rather than by
// looking up ten thousand codes.
const auto kFourDigitCodes = [] {
  std::array<unsigned char, 10000> table;
  table.fill('?');
  for (int b = 255; b >= 0; --b) {
    const char16_t code = Cp1251ToUnicode(static_cast<unsigned char>(b));
    if (code < table.size()) table[code] = static_cast<unsigned char>(b);
  }
  return table;
}();

// The number that four decimal digits at `p` make, the digits checked.
unsigned FourDigits(const char* p) {
  if constexpr (std::endian::native == std::endian::little) {
    // Pairs of digits in one step, then the two pairs.
    uint32_t x;
    std::memcpy(&x, p, 4);
    x -= 0x30303030u;
    x = x * 10 + (x >> 8);
    return (x & 0xFF) * 100 + ((x >> 16) & 0xFF);
  } else {
    auto d = [p](int i) { return static_cast<unsigned>(static_cast<unsigned char>(p[i]) - '0'); };
    return d(0) * 1000 + d(1) * 100 + d(2) * 10 + d(3);
  }
}

#if defined(__SSE2__)
// Sixteen bytes as two masks, bit i for byte i: "#" and decimal digits.
struct TCodeMasks {
  unsigned hash, digits;
};
TCodeMasks CodeMasks(const char* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i t = _mm_sub_epi8(v, _mm_set1_epi8('0'));
  const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(9)), t);
  return {static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('#')))),
          static_cast<unsigned>(_mm_movemask_epi8(digit))};
}

// Where among sixteen bytes the first byte lies that ends a quoted run, or
// 16 if none of them does.
unsigned QuotedRunStop(const char* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i stop = _mm_or_si128(
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\'')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\r'))),
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(v, _mm_setzero_si128())));
  const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(stop));
  return mask ? static_cast<unsigned>(std::countr_zero(mask)) : 16;
}
#endif

}  // namespace

TScanner::TScanner(std::string_view text, std::string& arena, bool fast)
    : text_(text), arena_(&arena), fast_(fast) {}

// A line that cannot be read fails as soon as the reader enters it. The
// scanner checks each line's length when it passes the line's LF, and
// before any other error on it, at the end of the text and where the caller
// stops reading: nothing it reads on a line before that check is kept, so
// checking late gives the same errors as checking on entering, without
// looking through every line ahead of the tokens.
void TScanner::Fail(std::string_view inner) const {
  if (CurrentLineTooLong()) inner = kLineTooLong;
  // The file's bytes are Windows-1251; the message speaks UTF-8.
  throw EOrvanaError(
      Cp1251ToUtf8(FormatMessage(kSyntaxErrorFormat, {inner, std::to_string(line_)})));
}

bool TScanner::CurrentLineTooLong() const {
  if (line_start_ >= text_.size()) return false;
  const size_t rest = text_.size() - line_start_;
  return rest >= kMaxLineBytes && !std::memchr(text_.data() + line_start_, '\n', kMaxLineBytes);
}

void TScanner::CheckLine() const {
  if (CurrentLineTooLong()) Fail(kLineTooLong);
}

void TScanner::Next() {
  SkipBlanks();
  token_begin_ = pos_;
  if (pos_ >= text_.size()) {
    CheckLine();
    kind_ = TTokenKind::kEof;
    return;
  }
  const unsigned char c = At(pos_);
  if (IsIdentStart(c)) {
    ++pos_;
    while (pos_ < text_.size() && IsIdentChar(At(pos_))) ++pos_;
    token_end_ = pos_;
    kind_ = TTokenKind::kSymbol;
  } else if (c == '\'' || c == '#') {
    ScanString();
  } else if (c == '$') {
    ++pos_;
    ScanHex();
  } else if (c == '-' || IsDigit(c)) {
    ScanNumber();
  } else {
    ++pos_;
    ch_ = static_cast<char>(c);
    kind_ = TTokenKind::kChar;
  }
}

void TScanner::SkipBinary() {
  for (;;) {
    SkipBlanks();
    if (pos_ < text_.size() && At(pos_) == '}') break;
    if (pos_ + 1 >= text_.size() || HexValue(At(pos_)) < 0 || HexValue(At(pos_ + 1)) < 0)
      Fail(kInvalidBinary);
    pos_ += 2;
  }
  ++pos_;
  Next();
}

// The reader sees the text one line at a time; a line that fills its buffer
// without an LF cannot be read.
void TScanner::SkipBlanks() {
  while (pos_ < text_.size() && At(pos_) <= 32) {
    if (At(pos_) == '\n') {
      if (pos_ - line_start_ >= kMaxLineBytes) Fail(kLineTooLong);
      ++line_;
      line_start_ = pos_ + 1;
    }
    ++pos_;
  }
}

// Adjacent quoted runs and "#" codes, decoded into the arena. Codes are
// UTF-16 units; a pair of surrogates is one character the code page lacks.
void TScanner::ScanString() {
  kind_ = TTokenKind::kString;
  string_begin_ = arena_->size();
  joining_ = false;  // even after a join that failed
  ScanStringPieces();
  if (separate_) *arena_ += '\r';
}

void TScanner::SetArena(std::string& arena, bool separate) {
  arena_ = &arena;
  separate_ = separate;
}

void TScanner::JoinStringPieces() {
  for (;;) {
    // Looking ahead skips what the next two tokens would skip, so a line
    // that cannot be read fails here exactly as it would there.
    const size_t at = pos_, line_start = line_start_;
    const int64_t line = line_;
    SkipBlanks();
    bool joined = pos_ < text_.size() && At(pos_) == '+';
    if (joined) {
      ++pos_;
      SkipBlanks();
      joined = pos_ < text_.size() && (At(pos_) == '\'' || At(pos_) == '#');
    }
    if (!joined) {
      pos_ = at;
      line_ = line;
      line_start_ = line_start;
      return;
    }
    // The piece goes on where the string ended, in place of its CR. The
    // quick steps take the joins that follow this one themselves.
    if (separate_) arena_->pop_back();
    joining_ = true;
    ScanStringPieces();
    joining_ = false;
    if (separate_) *arena_ += '\r';
  }
}

void TScanner::ScanStringPieces() {
  if (fast_) {
    ScanStringPiecesFast();
    return;
  }
  bool pending_high = false;
  while (pos_ < text_.size()) {
    const unsigned char c = At(pos_);
    if (c == '#') {
      ++pos_;
      AppendCharCode(ScanCharCode(), pending_high);
    } else if (c == '\'') {
      if (pending_high) {
        *arena_ += '?';
        pending_high = false;
      }
      ScanQuotedRun();
    } else {
      break;
    }
  }
  if (pending_high) *arena_ += '?';
  string_end_ = arena_->size();
  token_end_ = pos_;
}

namespace {

// Decoded bytes on their way to the arena, which they reach a block at a
// time.
struct TBlock {
  char bytes[4096];
  size_t n = 0;
  std::string* arena;
  void Flush() {
    arena->append(bytes, n);
    n = 0;
  }
  void Room(size_t room) {
    if (sizeof bytes - n < room) Flush();
  }
};

unsigned Digit(char c) { return static_cast<unsigned>(static_cast<unsigned char>(c) - '0'); }

// One to three codes of exactly four digits at p ("#" there), decoded
// through the table; false, with nothing taken, for any other code.
bool FastCodes(const char*& p, const char* end, TBlock& block) {
#if defined(__SSE2__)
  // Up to three at once: "#" at 0, 5 and 10, digits between, and the byte
  // after the last code no digit.
  if (end - p >= 16) {
    const TCodeMasks m = CodeMasks(p);
    int codes = 0;
    if ((m.hash & 0x421) == 0x421 && (m.digits & 0xFFFF) == 0x7BDE)
      codes = 3;
    else if ((m.hash & 0x21) == 0x21 && (m.digits & 0x7FF) == 0x3DE)
      codes = 2;
    else if ((m.hash & 1) && (m.digits & 0x3F) == 0x1E)
      codes = 1;
    if (codes > 0) {
      block.Room(3);
      for (int i = 0; i < codes; ++i)
        block.bytes[block.n++] = static_cast<char>(kFourDigitCodes[FourDigits(p + 5 * i + 1)]);
      p += 5 * codes;
      return true;
    }
  }
#endif
  // "#", four digits and one more byte that is no digit.
  if (end - p <= 5) return false;
  const unsigned d1 = Digit(p[1]), d2 = Digit(p[2]), d3 = Digit(p[3]), d4 = Digit(p[4]);
  if (!((d1 <= 9) & (d2 <= 9) & (d3 <= 9) & (d4 <= 9) & (Digit(p[5]) > 9))) return false;
  block.Room(1);
  block.bytes[block.n++] =
      static_cast<char>(kFourDigitCodes[d1 * 1000u + d2 * 100u + d3 * 10u + d4]);
  p += 5;
  return true;
}

// A quoted run at p without a doubled apostrophe, copied; false, with
// nothing taken, for any other.
bool FastQuotedRun(const char*& p, const char* end, TBlock& block) {
#if defined(__SSE2__)
  // A run shorter than sixteen bytes: copied whole, then counted.
  if (end - p > 16) {
    const unsigned run = QuotedRunStop(p + 1);
    if (run < 16 && p[run + 1] == '\'' && (p + run + 2 == end || p[run + 2] != '\'')) {
      block.Room(16);
      std::memcpy(block.bytes + block.n, p + 1, 16);
      block.n += run;
      p += run + 2;
      return true;
    }
  }
#endif
  const char* q = p + 1;
  while (q < end && !kStringStop[static_cast<unsigned char>(*q)]) ++q;
  if (q == end || *q != '\'' || (q + 1 != end && q[1] == '\'')) return false;
  const size_t run = static_cast<size_t>(q - p - 1);
  block.Room(run);
  if (run > sizeof block.bytes) {
    block.arena->append(p + 1, run);
  } else {
    std::memcpy(block.bytes + block.n, p + 1, run);
    block.n += run;
  }
  p = q + 1;
  return true;
}

}  // namespace

// The same as the plain loop, for the runs a file is made of: codes of
// exactly four digits (nearly every letter outside ASCII), decoded through
// one table, quoted runs without doubled apostrophes, and the joins of a
// long string's lines. The bytes gather in a block that reaches the arena
// when it fills and at the end, so a paragraph of words and blanks costs a
// few appends. Anything else (other codes, doubled apostrophes, errors) is
// left to the plain steps, with the block handed over first.
void TScanner::ScanStringPiecesFast() {
  const char* const begin = text_.data();
  const char* const end = begin + text_.size();
  const char* p = begin + pos_;
  TBlock block;
  block.arena = arena_;
  bool pending_high = false;
  static const bool wide = StringRunsAvailable();
  while (p < end) {
    if (wide && !pending_high && static_cast<size_t>(end - p) >= kStringRunsLookahead) {
      // Whole windows of common pieces at once, where the processor can.
      block.Room(kStringRunsRoom);
      const TStringRuns runs =
          DecodeStringRuns(p, end, block.bytes + block.n, sizeof block.bytes - block.n);
      p += runs.consumed;
      block.n += runs.produced;
    }
    if (*p == '#') {
      if (!pending_high && FastCodes(p, end, block)) continue;
      block.Flush();
      pos_ = static_cast<size_t>(p - begin) + 1;
      AppendCharCode(ScanCharCode(), pending_high);
      p = begin + pos_;
    } else if (*p == '\'') {
      if (!pending_high && FastQuotedRun(p, end, block)) continue;
      block.Flush();
      if (pending_high) {
        *arena_ += '?';
        pending_high = false;
      }
      pos_ = static_cast<size_t>(p - begin);
      ScanQuotedRun();
      p = begin + pos_;
    } else if (pending_high || !joining_ || !TakeJoin(p)) {
      break;
    }
  }
  block.Flush();
  if (pending_high) *arena_ += '?';
  pos_ = static_cast<size_t>(p - begin);
  string_end_ = arena_->size();
  token_end_ = pos_;
}

// At the end of a string's pieces, while JoinStringPieces joins them:
// blanks, "+", blanks and the next piece are taken as its next turn would
// take them, lines counted, and true is returned with p on the piece. Anything else, a line that
// cannot be read among them included, is left to JoinStringPieces: false, nothing taken.
bool TScanner::TakeJoin(const char*& p) {
  const char* const begin = text_.data();
  const char* const end = begin + text_.size();
  const char* q = p;
  // The join as the writer makes it: " +", CR LF and an indent of blanks.
  if (end - q >= 4 && std::memcmp(q, " +\r\n", 4) == 0) {
    const size_t lf = static_cast<size_t>(q - begin) + 3;
    if (lf - line_start_ < kMaxLineBytes) {
      q += 4;
      constexpr uint64_t kBlanks = 0x2020202020202020u;
      for (uint64_t word; end - q >= 8 && (std::memcpy(&word, q, 8), word == kBlanks);) q += 8;
      while (q < end && *q == ' ') ++q;
      if (q < end && (*q == '\'' || *q == '#')) {
        ++line_;
        line_start_ = lf + 1;
        p = q;
        return true;
      }
    }
    q = p;
  }
  int64_t line = line_;
  size_t line_start = line_start_;
  auto skip = [&] {
    for (; q < end && static_cast<unsigned char>(*q) <= 32; ++q) {
      if (*q != '\n') continue;
      if (static_cast<size_t>(q - begin) - line_start >= kMaxLineBytes) return false;
      ++line;
      line_start = static_cast<size_t>(q - begin) + 1;
    }
    return true;
  };
  if (!skip() || q == end || *q != '+') return false;
  ++q;
  if (!skip() || q == end || (*q != '\'' && *q != '#')) return false;
  line_ = line;
  line_start_ = line_start;
  p = q;
  return true;
}

// The code after "#": decimal digits, or "$" and hexadecimal digits; at
// least one digit, and no more than 65535.
uint32_t TScanner::ScanCharCode() {
  uint32_t code = 0;
  size_t digits = 0;
  if (pos_ < text_.size() && At(pos_) == '$') {
    ++pos_;
    int h;
    while (pos_ < text_.size() && (h = HexValue(At(pos_))) >= 0) {
      code = code * 16 + static_cast<uint32_t>(h);
      if (code > 0xFFFF) Fail(kInvalidString);
      ++pos_;
      ++digits;
    }
  } else {
    while (pos_ < text_.size() && IsDigit(At(pos_))) {
      code = code * 10 + (At(pos_) - '0');
      if (code > 0xFFFF) Fail(kInvalidString);
      ++pos_;
      ++digits;
    }
  }
  if (digits == 0) Fail(kInvalidString);
  return code;
}

// One UTF-16 unit into the arena as Windows-1251. A high surrogate waits in
// `pending_high` for what follows: with a low one it makes one '?', alone
// it is a '?' of its own.
void TScanner::AppendCharCode(uint32_t code, bool& pending_high) {
  const bool high = code >= 0xD800 && code <= 0xDBFF;
  const bool low = code >= 0xDC00 && code <= 0xDFFF;
  if (pending_high) {
    *arena_ += '?';
    pending_high = false;
    if (low) return;  // the pair was one character
  }
  if (high) {
    pending_high = true;
  } else if (code < 0x80) {
    *arena_ += static_cast<char>(code);
  } else {
    const int b = UnicodeToCp1251(static_cast<char32_t>(code));
    *arena_ += b < 0 ? '?' : static_cast<char>(b);
  }
}

// From an opening apostrophe to its closing one; a doubled apostrophe inside
// stands for one.
void TScanner::ScanQuotedRun() {
  ++pos_;
  for (;;) {
    const size_t run = pos_;
    while (pos_ < text_.size() && !kStringStop[At(pos_)]) ++pos_;
    arena_->append(text_.data() + run, pos_ - run);
    if (pos_ >= text_.size() || At(pos_) != '\'') Fail(kInvalidString);
    ++pos_;
    if (pos_ < text_.size() && At(pos_) == '\'') {
      *arena_ += '\'';
      ++pos_;
      continue;
    }
    break;
  }
}

// Hexadecimal digits after "$": an unsigned magnitude.
void TScanner::ScanHex() {
  kind_ = TTokenKind::kInteger;
  uint64_t value = 0;
  bool too_large = false;
  size_t digits = 0;
  int h;
  while (pos_ < text_.size() && (h = HexValue(At(pos_))) >= 0) {
    if (value > (std::numeric_limits<uint64_t>::max() >> 4)) too_large = true;
    value = (value << 4) | static_cast<uint64_t>(h);
    ++pos_;
    ++digits;
  }
  if (digits == 0) Fail(kNumberExpected);
  if (value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) too_large = true;
  integer_ = too_large ? 0 : static_cast<int64_t>(value);
  too_large_ = too_large;
  token_end_ = pos_;
}

// An optional minus sign and decimal digits; then, after ".", "e" or "E",
// the rest of a floating-point number and an optional type letter.
void TScanner::ScanNumber() {
  const size_t start = pos_;
  const bool negative = At(pos_) == '-';
  if (negative) ++pos_;
  uint64_t value = 0;
  bool too_large = false;
  const size_t digits_start = pos_;
  while (pos_ < text_.size() && IsDigit(At(pos_))) {
    const unsigned d = At(pos_) - '0';
    if (value > (std::numeric_limits<uint64_t>::max() - d) / 10)
      too_large = true;
    else
      value = value * 10 + d;
    ++pos_;
  }
  if (pos_ == digits_start) Fail(kNumberExpected);
  if (pos_ < text_.size() && (At(pos_) == '.' || At(pos_) == 'e' || At(pos_) == 'E')) {
    ScanFloatTail(start);
    return;
  }
  const uint64_t limit =
      negative ? uint64_t{1} << 63 : static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  if (value > limit) too_large = true;
  if (too_large)
    integer_ = 0;
  else if (negative)
    integer_ = value == (uint64_t{1} << 63) ? std::numeric_limits<int64_t>::min()
                                            : -static_cast<int64_t>(value);
  else
    integer_ = static_cast<int64_t>(value);
  too_large_ = too_large;
  kind_ = TTokenKind::kInteger;
  token_end_ = pos_;
}

// The rest of a floating-point number whose digits began at `start`, from
// its ".", "e" or "E" on, checked as a number, then an optional type letter.
void TScanner::ScanFloatTail(size_t start) {
  while (pos_ < text_.size()) {
    const unsigned char c = At(pos_);
    if (!IsDigit(c) && c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-') break;
    ++pos_;
  }
  double parsed;
  const char* first = text_.data() + start;
  const char* last = text_.data() + pos_;
  const auto [end, ec] = std::from_chars(first, last, parsed);
  if (ec == std::errc::invalid_argument || end != last) Fail(kInvalidPropertyValue);
  if (pos_ < text_.size() && At(pos_) != 0 && std::strchr("cCdDsS", At(pos_))) ++pos_;
  kind_ = TTokenKind::kFloat;
  token_end_ = pos_;
}

}  // namespace orvana::object_text
