#include "cli/PageScan.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

#include "engine/CodePage.h"

namespace orvana::cli {
namespace {

constexpr size_t npos = std::string_view::npos;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool EqualNoCase(std::string_view a, std::string_view lower) {
  if (a.size() != lower.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != lower[i]) return false;
  return true;
}

bool IsHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

std::string Trimmed(std::string_view s) {
  while (!s.empty() && (IsHtmlSpace(s.front()) || s.front() == '"' || s.front() == '\''))
    s.remove_prefix(1);
  while (!s.empty() && (IsHtmlSpace(s.back()) || s.back() == '"' || s.back() == '\''))
    s.remove_suffix(1);
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

// The value of a "charset=" parameter inside a content-type value.
std::string CharsetParameter(std::string_view content) {
  for (size_t i = 0; i + 8 <= content.size(); ++i) {
    if (!EqualNoCase(content.substr(i, 8), "charset=")) continue;
    const std::string_view rest = content.substr(i + 8);
    return Trimmed(rest.substr(0, rest.find(';')));
  }
  return {};
}

int DigitValue(char c, int base) {
  const int d = c >= '0' && c <= '9'                 ? c - '0'
                : Lower(c) >= 'a' && Lower(c) <= 'f' ? Lower(c) - 'a' + 10
                                                     : 99;
  return d < base ? d : -1;
}

// An attribute value with the common character references decoded; others
// are kept as written.
void DecodeReferences(std::string_view value, std::string& out) {
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"amp;", '&'}, {"quot;", '"'}, {"apos;", '\''}, {"lt;", '<'}, {"gt;", '>'}};
  out.clear();
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '&') {
      out += value[i];
      continue;
    }
    const std::string_view rest = value.substr(i + 1);
    bool decoded = false;
    for (const auto& [name, c] : kNamed)
      if (rest.substr(0, name.size()) == name) {
        out += c;
        i += name.size();
        decoded = true;
        break;
      }
    // Numeric references to ASCII only: the rest would need the page's
    // encoding, and file names of a site are ASCII in practice.
    if (!decoded && rest.size() > 1 && rest[0] == '#') {
      const int base = Lower(rest[1]) == 'x' ? 16 : 10;
      size_t j = base == 16 ? 2 : 1;
      unsigned code = 0;
      for (; j < rest.size() && j < 8 && DigitValue(rest[j], base) >= 0; ++j)
        code =
            code * static_cast<unsigned>(base) + static_cast<unsigned>(DigitValue(rest[j], base));
      if (j < rest.size() && rest[j] == ';' && code > 0 && code < 0x80) {
        out += static_cast<char>(code);
        i += j + 1;
        decoded = true;
      }
    }
    if (!decoded) out += '&';
  }
}

// Tokenises one page. Positions are byte offsets into html_.
class TPageScanner {
 public:
  TPageScanner(std::string_view html, const std::function<void(std::string_view)>& link)
      : html_(html), link_(link) {}

  TPageScan Scan() {
    if (html_.substr(0, 3) == "\xEF\xBB\xBF") scan_.charset = "utf-8";
    for (size_t lt = Find('<', 0); lt != npos; lt = Find('<', pos_)) {
      pos_ = lt + 1;
      if (html_.substr(lt, 4) == "<!--") {
        SkipPast("-->", lt + 4);
      } else if (At('!') || At('?') || At('/')) {
        SkipPast(">", pos_);
      } else if (pos_ < html_.size() && std::isalpha(static_cast<unsigned char>(html_[pos_]))) {
        Tag();
      }
    }
    return std::move(scan_);
  }

 private:
  size_t Find(char c, size_t from) const {
    if (from >= html_.size()) return npos;
    const void* p = std::memchr(html_.data() + from, c, html_.size() - from);
    return p ? static_cast<size_t>(static_cast<const char*>(p) - html_.data()) : npos;
  }
  bool At(char c) const { return pos_ < html_.size() && html_[pos_] == c; }
  void SkipPast(std::string_view end, size_t from) {
    const size_t at = html_.find(end, from);
    pos_ = at == npos ? html_.size() : at + end.size();
  }
  // The run of bytes at pos_ up to white space, '>', or with `more`, also
  // '/' and '='.
  std::string_view Word(bool more) {
    const size_t start = pos_;
    for (; pos_ < html_.size(); ++pos_) {
      const char c = html_[pos_];
      if (IsHtmlSpace(c) || c == '>' || (more && (c == '/' || c == '='))) break;
    }
    return html_.substr(start, pos_ - start);
  }
  void SkipSpace() {
    while (pos_ < html_.size() && (IsHtmlSpace(html_[pos_]) || html_[pos_] == '/')) ++pos_;
  }

  // A start tag at pos_ (after its '<'): its attributes, then, for an element
  // whose content is text, everything up to its end tag.
  void Tag() {
    const std::string_view name = Word(true);
    std::string_view charset, http_equiv, content;
    while (true) {
      SkipSpace();
      if (pos_ >= html_.size() || html_[pos_] == '>') break;
      const std::string_view attribute = Word(true);
      std::string_view value;
      while (pos_ < html_.size() && IsHtmlSpace(html_[pos_])) ++pos_;
      if (At('=')) {
        ++pos_;
        while (pos_ < html_.size() && IsHtmlSpace(html_[pos_])) ++pos_;
        if (At('"') || At('\'')) {
          const size_t close = Find(html_[pos_], pos_ + 1);
          const size_t end = close == npos ? html_.size() : close;
          value = html_.substr(pos_ + 1, end - pos_ - 1);
          pos_ = std::min(end + 1, html_.size());
        } else {
          value = Word(false);
        }
      }
      if (EqualNoCase(attribute, "href") || EqualNoCase(attribute, "src")) {
        if (value.find('&') == npos) {
          link_(value);
        } else {
          DecodeReferences(value, decoded_);
          link_(decoded_);
        }
      } else if (EqualNoCase(attribute, "charset")) {
        charset = value;
      } else if (EqualNoCase(attribute, "http-equiv")) {
        http_equiv = value;
      } else if (EqualNoCase(attribute, "content")) {
        content = value;
      }
    }
    ++pos_;
    if (EqualNoCase(name, "meta") && scan_.charset.empty()) {
      if (!charset.empty())
        scan_.charset = Trimmed(charset);
      else if (EqualNoCase(Trimmed(http_equiv), "content-type"))
        scan_.charset = CharsetParameter(content);
    }
    static constexpr std::string_view kRawText[] = {"script", "style", "title", "textarea"};
    for (const std::string_view raw : kRawText)
      if (EqualNoCase(name, raw)) return SkipToEndTag(raw);
  }

  void SkipToEndTag(std::string_view name) {
    for (size_t at = html_.find("</", pos_); at != npos; at = html_.find("</", at + 2)) {
      if (EqualNoCase(html_.substr(at + 2, name.size()), name)) {
        pos_ = at;
        return;
      }
    }
    pos_ = html_.size();
  }

  std::string_view html_;
  const std::function<void(std::string_view)>& link_;
  size_t pos_ = 0;
  TPageScan scan_;
  std::string decoded_;
};

}  // namespace

TPageScan ScanPage(std::string_view html, const std::function<void(std::string_view)>& link) {
  return TPageScanner(html, link).Scan();
}

size_t FirstNonUtf8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    // Plain ASCII eight bytes at a time: most of a page is markup.
    uint64_t word;
    if (i + 8 <= bytes.size() && (std::memcpy(&word, bytes.data() + i, 8), true) &&
        (word & 0x8080808080808080ULL) == 0) {
      i += 8;
      continue;
    }
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    // Two-byte sequences (Cyrillic) without the general decoder.
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    if (lead >= 0xC2 && lead <= 0xDF && i + 1 < bytes.size() &&
        (static_cast<unsigned char>(bytes[i + 1]) & 0xC0) == 0x80) {
      i += 2;
      continue;
    }
    size_t length = 1;
    if (DecodeUtf8(bytes.substr(i), length) < 0) return i;
    i += length;
  }
  return npos;
}

}  // namespace orvana::cli
