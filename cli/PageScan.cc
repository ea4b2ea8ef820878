#include "cli/PageScan.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

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

}  // namespace

// The scanner works on `buf_`, the bytes of the page not yet consumed: a
// construct cut by the end of a piece (a tag, the start of "<!--") stays
// there until the next piece completes it, and the inside of a comment or a
// script is dropped as it is passed, but for the few bytes its end could
// begin with.
class TPageScanner::TImpl {
 public:
  explicit TImpl(std::function<void(std::string_view)> link) : link_(std::move(link)) {}

  void Feed(std::string_view piece, bool final) {
    if (stopped_) return;
    if (!seen_start_) {
      start_.append(piece.substr(0, 3 - start_.size()));
      if (start_.size() == 3 || final) {
        seen_start_ = true;
        if (start_ == "\xEF\xBB\xBF") scan_.charset = "utf-8";
      }
    }
    buf_.append(piece);
    final_ = final;
    Run();
  }

  TPageScan Finish() {
    Feed({}, true);
    return std::move(scan_);
  }

 private:
  enum class TState { kText, kComment, kBogus, kRawText };

  void Run() {
    pos_ = 0;
    for (;;) {
      switch (state_) {
        case TState::kComment:
          if (!SkipPast("-->", 2)) return;
          break;
        case TState::kBogus:
          if (!SkipPast(">", 0)) return;
          break;
        case TState::kRawText:
          if (!SkipToEndTag()) return;
          break;
        case TState::kText:
          if (!Markup()) return;
          break;
      }
    }
  }

  // Drops what is consumed, keeping the bytes from `from` on.
  void KeepFrom(size_t from) {
    buf_.erase(0, std::min(from, buf_.size()));
    pos_ = 0;
  }

  // The next piece of markup in text; false when the buffer is used up.
  bool Markup() {
    const size_t lt = Find('<', pos_);
    if (lt == npos) {
      KeepFrom(buf_.size());
      return false;
    }
    // "<!--" must be whole before it can be told from other markup.
    if (!final_ && buf_.size() - lt < 4) {
      KeepFrom(lt);
      return false;
    }
    pos_ = lt + 1;
    if (std::string_view(buf_).substr(lt, 4) == "<!--") {
      pos_ = lt + 4;
      state_ = TState::kComment;
    } else if (At('!') || At('?') || At('/')) {
      state_ = TState::kBogus;
    } else if (pos_ < buf_.size() && std::isalpha(static_cast<unsigned char>(buf_[pos_]))) {
      if (!Tag()) {
        if (buf_.size() - lt > TPageScanner::kMaxTagBytes) {
          // The rest of the page cannot be told from the inside of this tag.
          scan_.oversized_tag = true;
          stopped_ = true;
          buf_.clear();
          return false;
        }
        KeepFrom(lt);
        return false;
      }
    }
    return true;
  }

  size_t Find(char c, size_t from) const {
    if (from >= buf_.size()) return npos;
    const void* p = std::memchr(buf_.data() + from, c, buf_.size() - from);
    return p ? static_cast<size_t>(static_cast<const char*>(p) - buf_.data()) : npos;
  }
  bool At(char c) const { return pos_ < buf_.size() && buf_[pos_] == c; }

  // Past `end`, back in text; false, keeping the last `keep` bytes that
  // could begin it, when the buffer ends first.
  bool SkipPast(std::string_view end, size_t keep) {
    const size_t at = buf_.find(end, pos_);
    if (at == npos && !final_) {
      KeepFrom(std::max(pos_, buf_.size() - std::min(keep, buf_.size())));
      return false;
    }
    pos_ = at == npos ? buf_.size() : at + end.size();
    state_ = TState::kText;
    return true;
  }

  // The run of bytes at pos_ up to white space, '>', or with `more`, also
  // '/' and '='.
  std::string_view Word(bool more) {
    const size_t start = pos_;
    for (; pos_ < buf_.size(); ++pos_) {
      const char c = buf_[pos_];
      if (IsHtmlSpace(c) || c == '>' || (more && (c == '/' || c == '='))) break;
    }
    return std::string_view(buf_).substr(start, pos_ - start);
  }
  void SkipSpace() {
    while (pos_ < buf_.size() && (IsHtmlSpace(buf_[pos_]) || buf_[pos_] == '/')) ++pos_;
  }

  // A start tag at pos_ (after its '<'): its attributes, then, for an element
  // whose content is text, the state that skips it. False, with nothing
  // taken, when the buffer ends inside the tag.
  bool Tag() {
    const std::string_view html(buf_);
    const std::string_view name = Word(true);
    std::string_view charset, http_equiv, content;
    links_.clear();
    while (true) {
      SkipSpace();
      if (pos_ >= html.size() || html[pos_] == '>') break;
      const std::string_view attribute = Word(true);
      std::string_view value;
      while (pos_ < html.size() && IsHtmlSpace(html[pos_])) ++pos_;
      if (At('=')) {
        ++pos_;
        while (pos_ < html.size() && IsHtmlSpace(html[pos_])) ++pos_;
        if (At('"') || At('\'')) {
          const size_t close = Find(html[pos_], pos_ + 1);
          const size_t end = close == npos ? html.size() : close;
          value = html.substr(pos_ + 1, end - pos_ - 1);
          pos_ = std::min(end + 1, html.size());
        } else {
          value = Word(false);
        }
      }
      if (EqualNoCase(attribute, "href") || EqualNoCase(attribute, "src"))
        links_.push_back(value);
      else if (EqualNoCase(attribute, "charset"))
        charset = value;
      else if (EqualNoCase(attribute, "http-equiv"))
        http_equiv = value;
      else if (EqualNoCase(attribute, "content"))
        content = value;
    }
    if (pos_ >= html.size() && !final_) return false;
    ++pos_;
    for (const std::string_view value : links_) {
      if (value.find('&') == npos) {
        link_(value);
      } else {
        DecodeReferences(value, decoded_);
        link_(decoded_);
      }
    }
    if (EqualNoCase(name, "meta") && scan_.charset.empty()) {
      if (!charset.empty())
        scan_.charset = Trimmed(charset);
      else if (EqualNoCase(Trimmed(http_equiv), "content-type"))
        scan_.charset = CharsetParameter(content);
    }
    static constexpr std::string_view kRawText[] = {"script", "style", "title", "textarea"};
    for (const std::string_view raw : kRawText)
      if (EqualNoCase(name, raw)) {
        raw_name_ = raw;
        state_ = TState::kRawText;
      }
    return true;
  }

  // Up to the end tag of the raw-text element, which is then read as markup.
  bool SkipToEndTag() {
    for (size_t at = buf_.find("</", pos_); at != npos; at = buf_.find("</", at + 2)) {
      if (!final_ && buf_.size() - at < raw_name_.size() + 2) {
        KeepFrom(at);
        return false;
      }
      if (EqualNoCase(std::string_view(buf_).substr(at + 2, raw_name_.size()), raw_name_)) {
        pos_ = at;
        state_ = TState::kText;
        return true;
      }
    }
    if (final_) {
      pos_ = buf_.size();
      state_ = TState::kText;
      return true;
    }
    KeepFrom(buf_.size() - std::min<size_t>(buf_.size(), 1));
    return false;
  }

  std::function<void(std::string_view)> link_;
  std::string buf_;
  size_t pos_ = 0;
  bool final_ = false;
  bool stopped_ = false;
  bool seen_start_ = false;
  std::string start_;
  TState state_ = TState::kText;
  std::string_view raw_name_;
  std::vector<std::string_view> links_;
  TPageScan scan_;
  std::string decoded_;
};

TPageScanner::TPageScanner(std::function<void(std::string_view)> link)
    : impl_(std::make_unique<TImpl>(std::move(link))) {}
TPageScanner::~TPageScanner() = default;
void TPageScanner::Feed(std::string_view piece) { impl_->Feed(piece, false); }
TPageScan TPageScanner::Finish() { return impl_->Finish(); }

TPageScan ScanPage(std::string_view html, const std::function<void(std::string_view)>& link) {
  TPageScanner scanner(link);
  scanner.Feed(html);
  return scanner.Finish();
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
