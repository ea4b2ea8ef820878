#include "engine/CodePage.h"

#include "engine/Error.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

namespace orvana {
namespace {

// Code points of the bytes 0x80..0xFF.
constexpr std::array<char16_t, 128> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};

constexpr int ToCp1251(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  // Cyrillic А..я is one block, the common case.
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<int>(cp - 0x0410 + 0xC0);
  for (int i = 0; i < 64; ++i) {
    if (kHigh[static_cast<size_t>(i)] == cp) return 0x80 + i;
  }
  return -1;
}

char ToByte(char32_t cp) {
  int b = UnicodeToCp1251(cp);
  return b < 0 ? '?' : static_cast<char>(b);
}

}  // namespace

char16_t Cp1251ToUnicode(unsigned char byte) {
  return byte < 0x80 ? static_cast<char16_t>(byte) : kHigh[byte - 0x80];
}

int UnicodeToCp1251(char32_t cp) { return ToCp1251(cp); }

std::u16string Cp1251ToUtf16(std::string_view text) {
  std::u16string out(text.size(), u'\0');
  for (size_t i = 0; i < text.size(); ++i)
    out[i] = Cp1251ToUnicode(static_cast<unsigned char>(text[i]));
  return out;
}

std::string Utf16ToCp1251(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;  // one character outside the code page
      out += '?';
      continue;
    }
    out += ToByte(u);
  }
  return out;
}

std::string Cp1251ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) AppendUtf8(out, Cp1251ToUnicode(static_cast<unsigned char>(c)));
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

long DecodeUtf8(std::string_view text, size_t& length) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  const unsigned char c = p[0];
  length = 1;
  if (c < 0x80) return c;
  size_t need = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((c & 0xE0) == 0xC0) {
    need = 2, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    need = 3, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    need = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return -1;
  }
  size_t k = 1;
  for (; k < need && k < n && (p[k] & 0xC0) == 0x80; ++k) cp = (cp << 6) | (p[k] & 0x3F);
  length = k;
  if (k < need || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  return static_cast<long>(cp);
}

namespace {

// The Windows-1251 byte of each code point of two-byte UTF-8 (U+0080..U+07FF),
// or -1. Below U+0080 a two-byte sequence is overlong, not UTF-8: -1 too, so
// the lead bytes C0 and C1 need no test of their own.
constexpr auto kTwoByteCodes = [] {
  std::array<short, 0x800> table{};
  for (char32_t cp = 0; cp < table.size(); ++cp)
    table[cp] = static_cast<short>(cp < 0x80 ? -1 : ToCp1251(cp));
  return table;
}();

// The table entry of the two-byte sequence in bytes 2k and 2k+1 of `word`
// (little-endian).
inline short PairCode(uint64_t word, int k) {
  const auto pair = static_cast<unsigned>(word >> (16 * k));
  return kTwoByteCodes[((pair & 0x1Fu) << 6) | ((pair >> 8) & 0x3Fu)];
}

// The same for U+2000..U+21FF, where the code page's dashes, quotes and
// signs of three-byte UTF-8 lie.
constexpr char32_t kPunctuationFirst = 0x2000;
constexpr auto kPunctuationCodes = [] {
  std::array<short, 0x200> table{};
  for (char32_t i = 0; i < table.size(); ++i)
    table[i] = static_cast<short>(ToCp1251(kPunctuationFirst + i));
  return table;
}();

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ORVANA_UTF8_WIDE 1

// The Windows-1251 byte of each two-byte sequence led by D0 or D1 (U+0400..
// U+047F, by the lead's low bit and the continuation's six bits) and by C2
// (U+0080..U+00BF), 0 where the code page has none.
struct TWideTables {
  alignas(64) unsigned char cyrillic[128];
  alignas(64) unsigned char latin[64];
};
constexpr TWideTables kWideTables = [] {
  TWideTables t{};
  auto byte = [](short code) { return static_cast<unsigned char>(code < 0 ? 0 : code); };
  for (int i = 0; i < 128; ++i) t.cyrillic[i] = byte(kTwoByteCodes[0x400 + i]);
  for (int i = 0; i < 64; ++i) t.latin[i] = byte(kTwoByteCodes[0x80 + i]);
  return t;
}();
static_assert(kTwoByteCodes[0x400] < 0 && kTwoByteCodes[0x401] == 0xA8);

#define ORVANA_UTF8_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,popcnt")))

bool WideUtf8Available() {
  static const bool available = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
           __builtin_cpu_supports("popcnt");
  }();
  return available;
}

// Windows of 64 bytes of ASCII and of two-byte sequences led by C2, D0 and
// D1 (Cyrillic), converted at once, up to the first byte of anything else
// or while at least 65 bytes remain; `out` has room for every byte read.
// The only state from one window to the next: whether its first byte is the
// continuation of a sequence the window before ended with.
ORVANA_UTF8_TARGET TUtf8Run WideUtf8Run(const unsigned char* const begin, const unsigned char* end,
                                        char* const out) {
  const __m512i cyrillic_lo = _mm512_load_si512(kWideTables.cyrillic);
  const __m512i cyrillic_hi = _mm512_load_si512(kWideTables.cyrillic + 64);
  const __m512i latin = _mm512_load_si512(kWideTables.latin);
  const unsigned char* p = begin;
  char* o = out;
  uint64_t carry = 0;
  while (end - p >= 65) {
    const __m512i v0 = _mm512_loadu_si512(p), v1 = _mm512_loadu_si512(p + 1);
    const uint64_t ascii = ~_mm512_movepi8_mask(v0);
    const uint64_t c2 = _mm512_cmpeq_epi8_mask(v0, _mm512_set1_epi8(static_cast<char>(0xC2)));
    const uint64_t d0 = _mm512_cmpeq_epi8_mask(v0, _mm512_set1_epi8(static_cast<char>(0xD0)));
    const uint64_t d1 = _mm512_cmpeq_epi8_mask(v0, _mm512_set1_epi8(static_cast<char>(0xD1)));
    const uint64_t continued =
        _mm512_cmpeq_epi8_mask(_mm512_and_si512(v1, _mm512_set1_epi8(static_cast<char>(0xC0))),
                               _mm512_set1_epi8(static_cast<char>(0x80)));
    const __m512i low = _mm512_and_si512(v1, _mm512_set1_epi8(0x3F));
    const __m512i cyr_index = _mm512_mask_add_epi8(low, d1, low, _mm512_set1_epi8(0x40));
    const __m512i byte =
        _mm512_mask_blend_epi8(c2, _mm512_permutex2var_epi8(cyrillic_lo, cyr_index, cyrillic_hi),
                               _mm512_permutexvar_epi8(low, latin));
    const uint64_t lead = (c2 | d0 | d1) & continued & _mm512_test_epi8_mask(byte, byte);
    const uint64_t taken = ascii | lead | lead << 1 | carry;
    uint64_t keep = ascii | lead;
    const __m512i values = _mm512_mask_blend_epi8(lead, v0, byte);
    if (~taken) {
      const int first = __builtin_ctzll(~taken);
      keep &= (uint64_t{1} << first) - 1;
      _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keep, values));
      o += __builtin_popcountll(keep);
      p += first;
      return {static_cast<size_t>(p - begin), static_cast<size_t>(o - out)};
    }
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keep, values));
    o += __builtin_popcountll(keep);
    carry = lead >> 63;
    p += 64;
  }
  p += carry;  // the continuation of the last window's last sequence
  return {static_cast<size_t>(p - begin), static_cast<size_t>(o - out)};
}
#endif

}  // namespace

// ASCII goes eight bytes at a time, two-byte sequences (Cyrillic) and the
// common three-byte ones through tables; anything else through DecodeUtf8.
TUtf8Run Utf8ToCp1251Run(std::string_view text, char* out) {
  const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* p = begin;
  const unsigned char* const end = p + text.size();
  char* o = out;
#if ORVANA_UTF8_WIDE
  static const bool wide = WideUtf8Available();
#endif
  while (p < end) {
#if ORVANA_UTF8_WIDE
    if (wide && end - p >= 65) {
      const TUtf8Run run = WideUtf8Run(p, end, o);
      p += run.read;
      o += run.written;
      if (p == end) break;
    }
#endif
    const unsigned char c = *p;
    if (c < 0x80) {
      // Within ASCII, eight bytes at a time while they last.
      while (end - p >= 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        if ((word & 0x8080808080808080u) != 0) break;
        std::memcpy(o, p, 8);
        p += 8;
        o += 8;
      }
      while (p < end && *p < 0x80) *o++ = static_cast<char>(*p++);
      continue;
    }
    // Two-byte sequences (C2..DF and a continuation byte), Cyrillic among
    // them, one after the other.
    if (static_cast<unsigned char>(c - 0xC2) <= 0xDF - 0xC2 && end - p >= 2 &&
        (p[1] & 0xC0) == 0x80) {
      // Four of them at a time while eight bytes are four lead and
      // continuation pairs that all have a byte.
      if constexpr (std::endian::native == std::endian::little) {
        const unsigned char* const start = p;
        while (end - p >= 8) {
          uint64_t word;
          std::memcpy(&word, p, 8);
          if ((word & 0xC0E0C0E0C0E0C0E0u) != 0x80C080C080C080C0u) break;
          const short b0 = PairCode(word, 0), b1 = PairCode(word, 1);
          const short b2 = PairCode(word, 2), b3 = PairCode(word, 3);
          if ((b0 | b1 | b2 | b3) < 0) break;
          o[0] = static_cast<char>(b0);
          o[1] = static_cast<char>(b1);
          o[2] = static_cast<char>(b2);
          o[3] = static_cast<char>(b3);
          p += 8;
          o += 4;
        }
        if (p != start) continue;
      }
      const short b = kTwoByteCodes[((c & 0x1Fu) << 6) | (p[1] & 0x3Fu)];
      if (b < 0) break;
      *o++ = static_cast<char>(b);
      p += 2;
      continue;
    }
    size_t length = 0;
    const long cp = DecodeUtf8(
        std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(end - p)), length);
    if (cp < 0) break;
    const char32_t u = static_cast<char32_t>(cp);
    const int b = u - kPunctuationFirst < kPunctuationCodes.size()
                      ? kPunctuationCodes[u - kPunctuationFirst]
                      : ToCp1251(u);
    if (b < 0) break;
    *o++ = static_cast<char>(b);
    p += length;
  }
  return {static_cast<size_t>(p - begin), static_cast<size_t>(o - out)};
}

size_t AppendUtf8AsCp1251(std::string_view text, std::string& out,
                          const std::function<bool(size_t, long)>& stop) {
  // The runs go through a block of their own, so `out` grows only by what
  // is made.
  char block[65536];
  size_t read = 0;
  while (read < text.size()) {
    const size_t slice = std::min(text.size() - read, sizeof block);
    const TUtf8Run run = Utf8ToCp1251Run(text.substr(read, slice), block);
    out.append(block, run.written);
    read += run.read;
    if (run.read == slice) continue;
    // The run stopped at a sequence that becomes '?', or at one the slice
    // cut in two.
    size_t length = 0;
    const long cp = DecodeUtf8(text.substr(read), length);
    const int b = cp < 0 ? -1 : ToCp1251(static_cast<char32_t>(cp));
    if (b < 0) {
      if (stop && !stop(read, cp)) return read;
      out += '?';
    } else {
      out += static_cast<char>(b);
    }
    read += length;
  }
  return read;
}

std::string Utf8ToCp1251(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendUtf8AsCp1251(text, out);
  return out;
}

std::optional<std::string> SpellInCp1251(std::string_view utf8_name) {
  std::string spelled = Utf8ToCp1251(utf8_name);
  if (Cp1251ToUtf8(spelled) != utf8_name) return std::nullopt;
  return spelled;
}

}  // namespace orvana
