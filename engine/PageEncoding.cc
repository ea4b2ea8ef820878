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

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string LowerCopy(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(Lower(c));
  return lower;
}

// One attribute of a tag, as browsers split it: its name (lower case) and
// its value, with the value's offset in the tag.
struct TAttribute {
  std::string name;
  std::string_view value;
  size_t value_at = 0;
};

// The attributes of a start tag's text (from "<" to before ">").
std::vector<TAttribute> Attributes(std::string_view tag) {
  std::vector<TAttribute> attributes;
  size_t i = 1;
  while (i < tag.size() && !IsBlank(tag[i]) && tag[i] != '/') ++i;  // the tag's name
  while (i < tag.size()) {
    while (i < tag.size() && (IsBlank(tag[i]) || tag[i] == '/')) ++i;
    const size_t name_at = i;
    // A name may start with "=" but runs to a blank, "/", ">" or "=".
    if (i < tag.size()) ++i;
    while (i < tag.size() && !IsBlank(tag[i]) && tag[i] != '/' && tag[i] != '=') ++i;
    if (name_at == i) break;
    TAttribute attribute{LowerCopy(tag.substr(name_at, i - name_at)), {}, i};
    size_t j = i;
    while (j < tag.size() && IsBlank(tag[j])) ++j;
    if (j < tag.size() && tag[j] == '=') {
      ++j;
      while (j < tag.size() && IsBlank(tag[j])) ++j;
      if (j < tag.size() && (tag[j] == '"' || tag[j] == '\'')) {
        const char quote = tag[j++];
        size_t end = tag.find(quote, j);
        if (end == std::string_view::npos) end = tag.size();
        attribute.value = tag.substr(j, end - j);
        attribute.value_at = j;
        i = end + 1;
      } else {
        size_t end = j;
        while (end < tag.size() && !IsBlank(tag[end])) ++end;
        attribute.value = tag.substr(j, end - j);
        attribute.value_at = j;
        i = end;
      }
    }
    attributes.push_back(std::move(attribute));
  }
  return attributes;
}

// The charset a content-type value names (browsers' rule: "charset", blanks,
// "=", blanks, then a quoted name or one up to a blank or ";"), with its
// offset in the value; empty when it names none.
std::string_view ContentCharset(std::string_view content, size_t& at) {
  for (size_t c = FindNoCase(content, "charset", 0); c != std::string_view::npos;
       c = FindNoCase(content, "charset", c + 1)) {
    size_t i = c + 7;
    while (i < content.size() && IsBlank(content[i])) ++i;
    if (i >= content.size() || content[i] != '=') continue;
    ++i;
    while (i < content.size() && IsBlank(content[i])) ++i;
    if (i >= content.size()) return {};
    if (content[i] == '"' || content[i] == '\'') {
      const size_t end = content.find(content[i], i + 1);
      if (end == std::string_view::npos) return {};
      at = i + 1;
      return content.substr(i + 1, end - i - 1);
    }
    size_t end = i;
    while (end < content.size() && !IsBlank(content[end]) && content[end] != ';') ++end;
    at = i;
    return content.substr(i, end - i);
  }
  return {};
}

// The declaration a <meta> tag's text (from "<" to before ">") makes, with
// its offset taken from `tag_at`.
std::optional<TCharsetDeclaration> MetaDeclaration(std::string_view tag, size_t tag_at) {
  const std::vector<TAttribute> attributes = Attributes(tag);
  const TAttribute* charset = nullptr;
  const TAttribute* content = nullptr;
  bool content_type = false;
  // Only an attribute's first occurrence counts.
  auto first = [&](std::string_view name) {
    for (const TAttribute& a : attributes)
      if (a.name == name) return &a;
    return static_cast<const TAttribute*>(nullptr);
  };
  charset = first("charset");
  content = first("content");
  if (const TAttribute* equiv = first("http-equiv"))
    content_type = LowerCopy(equiv->value) == "content-type";
  std::string_view name;
  size_t at = 0;
  if (charset) {
    name = charset->value, at = charset->value_at;
  } else if (content && content_type) {
    size_t in_content = 0;
    name = ContentCharset(content->value, in_content);
    at = content->value_at + in_content;
  }
  size_t lead = 0;
  while (lead < name.size() && IsBlank(name[lead])) ++lead;
  name.remove_prefix(lead);
  at += lead;
  while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
  if (name.empty()) return std::nullopt;
  return TCharsetDeclaration{tag_at + at, name.size(), CharsetKindOf(name), LowerCopy(name)};
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

// Where a comment whose "<!--" ends at `at` ends: after "-->" or "--!>", or
// right away at ">" or "->".
size_t CommentEnd(std::string_view html, size_t at) {
  if (html.compare(at, 1, ">") == 0) return at + 1;
  if (html.compare(at, 2, "->") == 0) return at + 2;
  const size_t end = std::min(html.find("-->", at), html.find("--!>", at));
  if (end == std::string_view::npos) return html.size();
  return end + (html.compare(end, 3, "-->") == 0 ? 3 : 4);
}

// Where browsers look for a declaration before they parse a page.
constexpr uint64_t kPrescanBytes = 1024;

// Where a page that declares no charset takes the UTF-8 declaration: after
// its head tag when that comes before the body and the declaration would
// still lie in the first 1024 bytes written, else after a leading doctype (a
// meta before it would put browsers into quirks mode), else at the start.
size_t MetaInsertionPoint(std::string_view html, const TCharsetSniffer& read) {
  const size_t head = read.HeadEnd();
  if (head != std::string_view::npos &&
      (read.BodyStart() == std::string_view::npos || head <= read.BodyStart()) &&
      EncodedSize(html.substr(0, head), true) + kUtf8Meta.size() <= kPrescanBytes)
    return head;
  // Blanks and comments may stand before the doctype.
  size_t i = 0;
  for (;;) {
    while (i < html.size() && IsBlank(html[i])) ++i;
    if (html.compare(i, 4, "<!--") != 0) break;
    i = CommentEnd(html, i + 4);
  }
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

std::optional<TOutputEncoding> ParseOutputEncoding(std::string_view name) {
  for (TOutputEncoding encoding : {TOutputEncoding::kWindows1251, TOutputEncoding::kUtf8}) {
    const std::string_view known = OutputEncodingName(encoding);
    if (name.size() == known.size() &&
        std::equal(name.begin(), name.end(), known.begin(),
                   [](char a, char b) { return Lower(a) == static_cast<unsigned char>(b); }))
      return encoding;
  }
  return std::nullopt;
}

std::optional<TCharsetDeclaration> FindCharsetDeclaration(std::string_view html) {
  TCharsetSniffer sniffer;
  sniffer.Feed(html);
  return sniffer.Declaration();
}

TCharsetKind DeclaredCharset(std::string_view html) {
  TCharsetSniffer sniffer;
  sniffer.Feed(html);
  return sniffer.Result();
}

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

void EncodePageInto(std::string_view html, TOutputEncoding encoding, std::string& out) {
  out.clear();
  if (encoding != TOutputEncoding::kUtf8) {
    out.assign(html);
    return;
  }
  out.reserve(html.size() + html.size() / 2 + kUtf8Meta.size());
  TCharsetSniffer read;
  read.Feed(html);
  const auto& declaration = read.Declaration();
  if (declaration && declaration->kind == TCharsetKind::kUtf8) {
    AppendCp1251AsUtf8(html, out);
  } else if (declaration) {
    // The output encoding owns the charset: the name the template gave goes.
    AppendCp1251AsUtf8(html.substr(0, declaration->offset), out);
    out += "utf-8";
    AppendCp1251AsUtf8(html.substr(declaration->offset + declaration->length), out);
  } else {
    const size_t at = MetaInsertionPoint(html, read);
    AppendCp1251AsUtf8(html.substr(0, at), out);
    out += kUtf8Meta;
    AppendCp1251AsUtf8(html.substr(at), out);
  }
}

std::string EncodeStylesheet(std::string_view css, TOutputEncoding encoding) {
  if (encoding != TOutputEncoding::kUtf8) return std::string(css);
  std::string out;
  AppendCp1251AsUtf8(css, out);
  return out;
}

// The bytes go through a small tokenizer: plain text is skipped to the next
// "<" at memchr's pace, and only markup is taken byte by byte, a start
// tag's bytes kept until its ">" so that a <meta> can be read whole.
void TCharsetSniffer::Feed(std::string_view bytes) {
  if (fed_ < 3) {
    static constexpr std::string_view kBom = "\xEF\xBB\xBF";
    const size_t n = std::min<size_t>(3 - fed_, bytes.size());
    bom_ = (fed_ == 0 || bom_) && bytes.substr(0, n) == kBom.substr(fed_, n);
  }
  size_t i = 0;
  while (i < bytes.size() && !declaration_ && !done_) {
    if (state_ == TState::kData) {
      const void* lt = std::memchr(bytes.data() + i, '<', bytes.size() - i);
      if (!lt) break;
      i = static_cast<size_t>(static_cast<const char*>(lt) - bytes.data());
      markup_start_ = static_cast<size_t>(fed_ + i);
      // Past the head and the first 1024 bytes, browsers take no declaration.
      if (!in_head_ && markup_start_ >= kPrescanBytes) {
        done_ = true;
        break;
      }
      ++i;
      i = TakeTagName(bytes, i);
      continue;
    }
    if (state_ == TState::kComment && dashes_ == 0 && !bang_) {
      // Within a comment only "-" can start its end.
      const void* dash = std::memchr(bytes.data() + i, '-', bytes.size() - i);
      if (!dash) break;
      i = static_cast<size_t>(static_cast<const char*>(dash) - bytes.data());
    } else if (state_ == TState::kBogus) {
      const void* gt = std::memchr(bytes.data() + i, '>', bytes.size() - i);
      if (!gt) break;
      i = static_cast<size_t>(static_cast<const char*>(gt) - bytes.data()) + 1;
      state_ = TState::kData;
      continue;
    } else if (state_ == TState::kTag && !in_name_ && !meta_) {
      // The attributes of a tag that declares nothing: passed over at speed,
      // the pages' links and bars being mostly such tags.
      i = SkipAttributes(bytes, i);
      continue;
    }
    Take(bytes[i], static_cast<size_t>(fed_ + i));
    ++i;
  }
  fed_ += bytes.size();
}

void TCharsetSniffer::Take(char c, size_t at) {
  switch (state_) {
    case TState::kData:
      return;
    case TState::kMarkup:
      // "<" has been read (or "<!", "<!-"): what follows says what it opens.
      if (markup_ == "<") {
        if (c == '!') {
          markup_ += c;
        } else if (c == '/' || c == '?') {
          state_ = TState::kBogus;
        } else if (IsAsciiLetter(c)) {
          markup_ += c;
          state_ = TState::kTag, in_name_ = true, meta_ = false, after_equals_ = false, quote_ = 0;
        } else if (c == '<') {
          markup_start_ = at;  // the first "<" was text; this one may open markup
        } else {
          state_ = TState::kData;
        }
      } else if (c == '-') {
        markup_ += c;
        if (markup_ == "<!--") state_ = TState::kComment, dashes_ = 2, bang_ = false;
        comment_start_ = true;
      } else {
        state_ = c == '>' ? TState::kData : TState::kBogus;  // "<!x": a bogus comment
      }
      return;
    case TState::kBogus:
      if (c == '>') state_ = TState::kData;
      return;
    case TState::kComment:
      // Ends at "-->" or "--!>"; right after "<!--", at ">" or "->" too.
      if (c == '>' && (dashes_ >= 2 || bang_)) {
        state_ = TState::kData;
      } else if (c == '-') {
        dashes_ = std::min(dashes_ + 1, 2), bang_ = false;
      } else {
        bang_ = c == '!' && dashes_ >= 2 && !comment_start_;
        dashes_ = 0;
      }
      comment_start_ = false;
      return;
    case TState::kTag:
      return TakeTag(c, at);
  }
}

// After a "<": an end tag is passed over to its ">", and a start tag whose
// whole name is at hand is named at once; anything else goes byte by byte.
size_t TCharsetSniffer::TakeTagName(std::string_view bytes, size_t i) {
  const size_t n = bytes.size();
  if (i < n && bytes[i] == '/') {
    state_ = TState::kBogus;
    return i + 1;
  }
  if (i < n && IsAsciiLetter(bytes[i])) {
    size_t end = i + 1;
    while (end < n && !IsBlank(bytes[end]) && bytes[end] != '/' && bytes[end] != '>') ++end;
    if (end < n) {
      tag_ = TagNamed(bytes.substr(i, end - i));
      if (tag_ == TTag::kOther || tag_ == TTag::kHeadContent) {
        state_ = TState::kTag, in_name_ = false, meta_ = false, after_equals_ = false, quote_ = 0;
        return end;
      }
    }
  }
  state_ = TState::kMarkup;
  markup_.assign(1, '<');
  return i;
}

size_t TCharsetSniffer::SkipAttributes(std::string_view bytes, size_t i) {
  const size_t n = bytes.size();
  while (i < n) {
    if (quote_) {
      const void* end = std::memchr(bytes.data() + i, quote_, n - i);
      if (!end) return n;
      i = static_cast<size_t>(static_cast<const char*>(end) - bytes.data()) + 1;
      quote_ = 0;
      continue;
    }
    const char c = bytes[i++];
    if (c == '>') {
      EndTag(static_cast<size_t>(fed_ + i));
      return i;
    }
    if (c == '=') {
      after_equals_ = true;
    } else if (after_equals_ && (c == '"' || c == '\'')) {
      quote_ = c, after_equals_ = false;
    } else if (!IsBlank(c)) {
      after_equals_ = false;
    }
  }
  return n;
}

// A start tag's byte: its name's, then its attributes', quoted values
// skipped whole, up to its ">".
void TCharsetSniffer::TakeTag(char c, size_t at) {
  if (in_name_) {
    // Quotes and "=" belong to a name; a blank, "/" or ">" ends it.
    if (c == '>') return EndTag(at + 1);
    if (IsBlank(c) || c == '/') {
      EndName();
    } else if (markup_.size() < 16) {
      markup_ += c;
    }
    if (meta_) markup_ += c;
    return;
  }
  if (quote_) {
    if (c == quote_) quote_ = 0;
  } else if (c == '>') {
    return EndTag(at + 1);
  } else if (after_equals_ && (c == '"' || c == '\'')) {
    quote_ = c, after_equals_ = false;
  } else if (c == '=') {
    after_equals_ = true;
  } else if (!IsBlank(c)) {
    after_equals_ = false;
  }
  // Only a <meta>'s attributes are kept; any other tag's are skipped.
  constexpr size_t kLongestTag = 4096;
  if (meta_ && markup_.size() < kLongestTag) markup_ += c;
}

// The tags the reading looks at, by their names (without "<").
TCharsetSniffer::TTag TCharsetSniffer::TagNamed(std::string_view name) {
  if (name.size() < 4 || name.size() > 8) return TTag::kOther;
  const auto is = [name](std::string_view lower) {
    if (name.size() != lower.size()) return false;
    for (size_t i = 0; i < lower.size(); ++i)
      if (Lower(name[i]) != static_cast<unsigned char>(lower[i])) return false;
    return true;
  };
  if (is("meta")) return TTag::kMeta;
  if (is("head")) return TTag::kHead;
  if (is("body")) return TTag::kBody;
  for (std::string_view head :
       {"title", "style", "script", "link", "base", "object", "noscript", "html"})
    if (is(head)) return TTag::kHeadContent;
  return TTag::kOther;
}

void TCharsetSniffer::EndName() {
  in_name_ = false;
  tag_ = TagNamed(std::string_view(markup_).substr(1));
  meta_ = tag_ == TTag::kMeta;
}

void TCharsetSniffer::EndTag(size_t end) {
  state_ = TState::kData;
  if (in_name_) EndName();
  switch (tag_) {
    case TTag::kMeta:
      if (in_head_ || markup_start_ < kPrescanBytes)
        declaration_ = MetaDeclaration(markup_, markup_start_);
      break;
    case TTag::kHead:
      if (head_end_ == std::string_view::npos) head_end_ = end;
      break;
    case TTag::kHeadContent:
      break;
    case TTag::kBody:
    case TTag::kOther:
      if (in_head_) in_head_ = false, body_start_ = markup_start_;
      break;
  }
}

TCharsetKind TCharsetSniffer::Result() const {
  if (bom_ && fed_ >= 3) return TCharsetKind::kUtf8;
  return declaration_ ? declaration_->kind : TCharsetKind::kNone;
}

std::string TCharsetSniffer::Name() const {
  if (bom_ && fed_ >= 3) return "utf-8";
  return declaration_ ? declaration_->name : std::string();
}

}  // namespace orvana
