#include "project/ObjectTextStringRuns.h"

#include <cstdint>

#include "engine/CodePage.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ORVANA_STRING_RUNS_WIDE 1
#include <immintrin.h>
#endif

namespace orvana::object_text {
namespace {

#if ORVANA_STRING_RUNS_WIDE

// The code page's byte for each code 1000 + y (y < 128), 0 where it has none;
// the lowest byte where two stand for one code, as the scanner's table has it.
struct TCodeTable {
  alignas(64) unsigned char bytes[128];
};
const TCodeTable kCodes = [] {
  TCodeTable table{};
  for (int b = 255; b >= 0; --b) {
    const char16_t code = Cp1251ToUnicode(static_cast<unsigned char>(b));
    if (code >= 1000 && code < 1128) table.bytes[code - 1000] = static_cast<unsigned char>(b);
  }
  return table;
}();

#define ORVANA_WIDE \
  __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt,pclmul")))

ORVANA_WIDE inline __m512i Load(const char* p) { return _mm512_loadu_si512(p); }

ORVANA_WIDE inline uint64_t Equal(__m512i v, char c) {
  return _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(c));
}

// Bytes at most `top` once '0' is taken from them: digits up to `top`.
ORVANA_WIDE inline uint64_t DigitUpTo(__m512i v, char top) {
  return _mm512_cmple_epu8_mask(_mm512_sub_epi8(v, _mm512_set1_epi8('0')), _mm512_set1_epi8(top));
}

// Bit i set when an odd number of the bits 0..i is set.
ORVANA_WIDE inline uint64_t PrefixXor(uint64_t x) {
  const __m128i all = _mm_set1_epi8(static_cast<char>(0xFF));
  return static_cast<uint64_t>(
      _mm_cvtsi128_si64(_mm_clmulepi64_si128(_mm_cvtsi64_si128(static_cast<int64_t>(x)), all, 0)));
}

inline int Highest(uint64_t x) { return 63 - __builtin_clzll(x); }

// The masks of one window of 64 bytes, bit i for the byte at i.
struct TWindowMasks {
  uint64_t code;        // "#" of a code of the common kind
  uint64_t content;     // a byte inside a quoted run
  uint64_t open;        // an opening apostrophe
  uint64_t hard;        // no part of a common piece (see below)
  uint64_t in_quote;    // an opening apostrophe or a byte inside its run
  uint64_t after_open;  // a byte inside a run or its closing apostrophe
  uint64_t next_carry;  // the next window's first bytes that the last code holds
};

// A window's masks, given whether it starts inside a quoted run and which of
// its first bytes the last code of the window before holds.
ORVANA_WIDE inline TWindowMasks Classify(const char* p, uint64_t carry_quote, uint64_t carry_code,
                                         __m512i& values) {
  const __m512i v0 = Load(p), v1 = Load(p + 1), v2 = Load(p + 2), v3 = Load(p + 3),
                v4 = Load(p + 4), v5 = Load(p + 5);
  TWindowMasks m;
  const uint64_t quote = Equal(v0, '\'');
  m.in_quote = PrefixXor(quote) ^ carry_quote;
  m.open = quote & m.in_quote;
  const uint64_t close = quote & ~m.in_quote;
  m.content = m.in_quote & ~quote;
  m.after_open = m.content | close;
  const uint64_t stop = Equal(v0, '\r') | Equal(v0, '\n') | Equal(v0, 0);

  // "#1ddd" then no digit: y = the code less 1000, in 8 bits.
  const __m512i zero = _mm512_set1_epi8('0');
  const __m512i d2 = _mm512_sub_epi8(v2, zero), d3 = _mm512_sub_epi8(v3, zero),
                d4 = _mm512_sub_epi8(v4, zero);
  const __m512i d3x2 = _mm512_add_epi8(d3, d3);
  const __m512i d3x8 = _mm512_add_epi8(_mm512_add_epi8(d3x2, d3x2), _mm512_add_epi8(d3x2, d3x2));
  __m512i y = _mm512_add_epi8(_mm512_add_epi8(d3x8, d3x2), d4);
  y = _mm512_mask_add_epi8(y, _mm512_cmpeq_epi8_mask(d2, _mm512_set1_epi8(1)), y,
                           _mm512_set1_epi8(100));
  const __m512i decoded = _mm512_permutex2var_epi8(_mm512_load_si512(kCodes.bytes), y,
                                                   _mm512_load_si512(kCodes.bytes + 64));
  const uint64_t hash = Equal(v0, '#') & ~m.in_quote;
  const uint64_t digit1 = DigitUpTo(v1, 9), digit2 = DigitUpTo(v2, 9), digit3 = DigitUpTo(v3, 9);
  uint64_t code4 =
      hash & Equal(v1, '1') & DigitUpTo(v2, 1) & digit3 & DigitUpTo(v4, 9) & ~DigitUpTo(v5, 9);
  code4 &= _mm512_cmplt_epu8_mask(y, _mm512_set1_epi8(static_cast<char>(0x80))) &
           _mm512_test_epi8_mask(decoded, decoded);
  // Codes of one and two digits, the control characters (CR above all) and
  // the apostrophe: the byte is the code.
  const uint64_t code1 = hash & digit1 & ~digit2, code2 = hash & digit1 & digit2 & ~digit3;
  const __m512i d1 = _mm512_sub_epi8(v1, zero), d1x2 = _mm512_add_epi8(d1, d1);
  const __m512i d1x8 = _mm512_add_epi8(_mm512_add_epi8(d1x2, d1x2), _mm512_add_epi8(d1x2, d1x2));
  const __m512i two = _mm512_add_epi8(_mm512_add_epi8(d1x8, d1x2), d2);
  m.code = code4 | code2 | code1;
  const uint64_t code_bytes =
      m.code | m.code << 1 | (code4 | code2) << 2 | code4 << 3 | code4 << 4 | carry_code;
  // The bytes of the window after this one that its last code holds.
  m.next_carry = code4 >> 60 | code4 >> 61 | (code4 | code2) >> 62 | m.code >> 63;
  // Outside the quoted runs and the codes, a stop byte inside a run, or an
  // apostrophe that doubles a closing one.
  m.hard = (~m.in_quote & ~quote & ~code_bytes) | (m.content & stop) | (close & Equal(v1, '\''));
  values = _mm512_mask_blend_epi8(code4, v0, decoded);
  values = _mm512_mask_blend_epi8(code2, values, two);
  values = _mm512_mask_blend_epi8(code1, values, d1);
  return m;
}

ORVANA_WIDE size_t Keep(__m512i values, uint64_t keep, char* out) {
  _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, values));
  return static_cast<size_t>(__builtin_popcountll(keep));
}

// Windows of 64 bytes one after another from a piece start; the state that
// crosses from one to the next is whether a quoted run is open (and where
// it began, to go back to should it not end as a common run) and the bytes
// of a code that began in the window before.
ORVANA_WIDE TStringRuns Windows(const char* const start, const char* end, char* out, size_t room) {
  const char* p = start;
  size_t produced = 0;
  uint64_t carry_quote = 0, carry_code = 0;
  const char* run_start = start;
  size_t run_produced = 0;
  while (static_cast<size_t>(end - p) >= kStringRunsLookahead &&
         room - produced >= kStringRunsRoom) {
    __m512i values;
    // The text was read into memory just before; asking for it a little
    // ahead keeps the windows from waiting on it.
    _mm_prefetch(p + 1024, _MM_HINT_T0);
    const TWindowMasks m = Classify(p, carry_quote, carry_code, values);
    uint64_t keep = m.code | m.content;
    if (m.hard) {
      const int first = __builtin_ctzll(m.hard);
      const uint64_t at = uint64_t{1} << first;
      uint64_t cut = at;
      if (at & m.after_open) {
        // Inside a run or at its doubled closing apostrophe: back to where
        // the run opened, in this window or an earlier one.
        const uint64_t opens = m.open & (at - 1);
        if (!opens) return {static_cast<size_t>(run_start - start), run_produced};
        cut = uint64_t{1} << Highest(opens);
      }
      produced += Keep(values, keep & (cut - 1), out + produced);
      return {static_cast<size_t>(p + __builtin_ctzll(cut) - start), produced};
    }
    if (m.in_quote >> 63) {
      if (m.open) {
        const int last = Highest(m.open);
        run_start = p + last;
        run_produced = produced + static_cast<size_t>(
                                      __builtin_popcountll(keep & ((uint64_t{1} << last) - 1)));
      }
      carry_quote = ~uint64_t{0};
    } else {
      carry_quote = 0;
    }
    produced += Keep(values, keep, out + produced);
    carry_code = m.next_carry;
    p += 64;
  }
  if (carry_quote) return {static_cast<size_t>(run_start - start), run_produced};
  return {static_cast<size_t>(p - start) + static_cast<size_t>(__builtin_popcountll(carry_code)),
          produced};
}

#endif

}  // namespace

bool StringRunsAvailable() {
#if ORVANA_STRING_RUNS_WIDE
  static const bool available = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
           __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
           __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("pclmul");
  }();
  return available;
#else
  return false;
#endif
}

TStringRuns DecodeStringRuns(const char* p, const char* end, char* out, size_t room) {
  TStringRuns runs;
#if ORVANA_STRING_RUNS_WIDE
  runs = Windows(p, end, out, room);
#else
  (void)p, (void)end, (void)out, (void)room;
#endif
  return runs;
}

}  // namespace orvana::object_text
