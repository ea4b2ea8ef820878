#include "engine/PageEncoding.h"

#include <array>
#include <cstring>

#include "engine/CodePage.h"

namespace orvana {
namespace {

unsigned char Lower(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + 32) : u;
}

// The first occurrence of an ASCII word (lower case) in any letter case at or
// after `from`.
size_t FindNoCase(std::string_view text, std::string_view word, size_t from) {
  if (word.empty() || word.size() > text.size()) return std::string_view::npos;
  const char first = word[0];
  const char upper = first >= 'a' && first <= 'z' ? static_cast<char>(first - 32) : first;
  auto matches_at = [&](size_t i) {
    size_t j = 1;
    while (j < word.size() && Lower(text[i + j]) == static_cast<unsigned char>(word[j])) ++j;
    return j == word.size();
  };
  const size_t last = text.size() - word.size();
  if (first == upper) {
    // A first byte without case ("<" of a tag): memchr leaps to each one.
    for (size_t i = from; i <= last;) {
      const void* at = std::memchr(text.data() + i, first, last - i + 1);
      if (!at) break;
      i = static_cast<size_t>(static_cast<const char*>(at) - text.data());
      if (matches_at(i)) return i;
      ++i;
    }
    return std::string_view::npos;
  }
  for (size_t i = from; i <= last; ++i)
    if ((text[i] == first || text[i] == upper) && matches_at(i)) return i;
  return std::string_view::npos;
}

bool TagNameEndsAt(std::string_view text, size_t at) {
  if (at >= text.size()) return true;
  const char c = text[at];
  return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// The first tag of the name (given with its "<", lower case) at or after
// `from`, or npos.
size_t FindTag(std::string_view html, std::string_view open, size_t from) {
  for (size_t at = FindNoCase(html, open, from); at != std::string_view::npos;
       at = FindNoCase(html, open, at + 1))
    if (TagNameEndsAt(html, at + open.size())) return at;
  return std::string_view::npos;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// The charset name a "charset" at `at` in the tag gives: after optional
// blanks, "=", optional blanks and an optional quote, up to a quote, blank,
// ";" or the tag's end. Empty when no "=" follows.
std::string_view CharsetValue(std::string_view tag, size_t at, size_t& value_at) {
  size_t i = at + 7;
  while (i < tag.size() && IsBlank(tag[i])) ++i;
  if (i >= tag.size() || tag[i] != '=') return {};
  ++i;
  while (i < tag.size() && IsBlank(tag[i])) ++i;
  if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) ++i;
  const size_t begin = i;
  while (i < tag.size() && tag[i] != '"' && tag[i] != '\'' && tag[i] != ';' && tag[i] != '>' &&
         tag[i] != '/' && !IsBlank(tag[i]))
    ++i;
  value_at = begin;
  return tag.substr(begin, i - begin);
}

// The UTF-8 form of each Windows-1251 byte.
struct TUtf8Table {
  std::array<std::array<char, 3>, 256> bytes{};
  std::array<uint8_t, 256> length{};
  TUtf8Table() {
    for (int b = 0; b < 256; ++b) {
      const char32_t cp = Cp1251ToUnicode(static_cast<unsigned char>(b));
      auto& out = bytes[static_cast<size_t>(b)];
      uint8_t& n = length[static_cast<size_t>(b)];
      if (cp < 0x80) {
        out[0] = static_cast<char>(cp), n = 1;
      } else if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        n = 2;
      } else {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        n = 3;
      }
    }
  }
};

const TUtf8Table& Utf8Table() {
  static const TUtf8Table table;
  return table;
}

constexpr std::string_view kUtf8Meta = "<meta charset=\"utf-8\">";

// Where a page that declares no charset takes the UTF-8 declaration: after
// its head tag, else after a leading doctype (a meta before it would put
// browsers into quirks mode), else at the start.
size_t MetaInsertionPoint(std::string_view html) {
  const size_t body = FindTag(html, "<body", 0);
  const size_t head = FindTag(html, "<head", 0);
  if (head != std::string_view::npos && (body == std::string_view::npos || head < body)) {
    const size_t close = html.find('>', head);
    return close == std::string_view::npos ? html.size() : close + 1;
  }
  size_t i = 0;
  while (i < html.size() && IsBlank(html[i])) ++i;
  if (FindNoCase(html.substr(i, 9), "<!doctype", 0) == 0) {
    const size_t close = html.find('>', i);
    return close == std::string_view::npos ? html.size() : close + 1;
  }
  return 0;
}

}  // namespace

TCharsetKind CharsetKindOf(std::string_view name) {
  while (!name.empty() && IsBlank(name.front())) name.remove_prefix(1);
  while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
  std::string lower;
  lower.reserve(name.size());
  for (char c : name) lower += static_cast<char>(Lower(c));
  for (std::string_view label : {"windows-1251", "cp1251", "x-cp1251"})
    if (lower == label) return TCharsetKind::kWindows1251;
  for (std::string_view label :
       {"utf-8", "utf8", "unicode-1-1-utf-8", "unicode11utf8", "unicode20utf8", "x-unicode20utf8"})
    if (lower == label) return TCharsetKind::kUtf8;
  return TCharsetKind::kOther;
}

std::optional<TCharsetDeclaration> FindCharsetDeclaration(std::string_view html) {
  const size_t body = FindTag(html, "<body", 0);
  const std::string_view head = html.substr(0, body);
  for (size_t at = FindTag(head, "<meta", 0); at != std::string_view::npos;
       at = FindTag(head, "<meta", at + 1)) {
    const size_t close = head.find('>', at);
    const std::string_view tag =
        head.substr(at, close == std::string_view::npos ? std::string_view::npos : close - at);
    for (size_t c = FindNoCase(tag, "charset", 0); c != std::string_view::npos;
         c = FindNoCase(tag, "charset", c + 1)) {
      size_t value_at = 0;
      const std::string_view value = CharsetValue(tag, c, value_at);
      if (value.empty()) continue;
      return TCharsetDeclaration{at + value_at, value.size(), CharsetKindOf(value)};
    }
  }
  return std::nullopt;
}

TCharsetKind DeclaredCharset(std::string_view html) {
  const auto declaration = FindCharsetDeclaration(html);
  return declaration ? declaration->kind : TCharsetKind::kNone;
}

bool IsUtf8Output(std::string_view output_encoding) { return output_encoding == "utf-8"; }

void AppendCp1251AsUtf8(std::string_view text, std::string& out) {
  const TUtf8Table& table = Utf8Table();
  size_t i = 0;
  while (i < text.size()) {
    // ASCII runs, the bulk of most pages, are copied whole.
    size_t run = i;
    while (run < text.size() && static_cast<unsigned char>(text[run]) < 0x80) ++run;
    out.append(text.data() + i, run - i);
    i = run;
    for (; i < text.size() && static_cast<unsigned char>(text[i]) >= 0x80; ++i) {
      const unsigned char b = static_cast<unsigned char>(text[i]);
      out.append(table.bytes[b].data(), table.length[b]);
    }
  }
}

uint64_t EncodedSize(std::string_view text, bool utf8) {
  if (!utf8) return text.size();
  const TUtf8Table& table = Utf8Table();
  uint64_t size = 0;
  for (char c : text) size += table.length[static_cast<unsigned char>(c)];
  return size;
}

void EncodePageInto(std::string_view html, std::string_view output_encoding, std::string& out) {
  out.clear();
  if (!IsUtf8Output(output_encoding)) {
    out.assign(html);
    return;
  }
  out.reserve(html.size() + html.size() / 2 + kUtf8Meta.size());
  const auto declaration = FindCharsetDeclaration(html);
  if (declaration && declaration->kind == TCharsetKind::kUtf8) {
    AppendCp1251AsUtf8(html, out);
  } else if (declaration) {
    // The output encoding owns the charset: the name the template gave goes.
    AppendCp1251AsUtf8(html.substr(0, declaration->offset), out);
    out += "utf-8";
    AppendCp1251AsUtf8(html.substr(declaration->offset + declaration->length), out);
  } else {
    const size_t at = MetaInsertionPoint(html);
    AppendCp1251AsUtf8(html.substr(0, at), out);
    out += kUtf8Meta;
    AppendCp1251AsUtf8(html.substr(at), out);
  }
}

std::string EncodeStylesheet(std::string_view css, std::string_view output_encoding) {
  if (!IsUtf8Output(output_encoding)) return std::string(css);
  std::string out;
  AppendCp1251AsUtf8(css, out);
  return out;
}

// The declaration is looked for only before "<body": once the bytes hold that
// tag and a byte after it (which tells "<body" from "<bodyx"), the rest of
// the page cannot change the answer.
void TCharsetSniffer::Feed(std::string_view bytes) {
  if (decided_ || bytes.empty()) return;
  const size_t old = head_.size();
  head_ += bytes;
  const size_t body = FindTag(head_, "<body", old >= 5 ? old - 5 : 0);
  if (body == std::string::npos || body + 5 >= head_.size()) return;
  result_ = DeclaredCharset(head_);
  decided_ = true;
  std::string().swap(head_);
}

}  // namespace orvana
