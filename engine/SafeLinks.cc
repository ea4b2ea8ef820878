#include "engine/SafeLinks.h"

#include <algorithm>

#include "engine/LinkDistribution.h"
#include "engine/SiteMenu.h"
#include "engine/UrlSafety.h"

namespace orvana {
namespace {

bool IsAsciiLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

unsigned char Lower(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

bool StartsNoCase(std::string_view text, size_t at, std::string_view word) {
  if (text.size() - at < word.size()) return false;
  for (size_t j = 0; j < word.size(); ++j)
    if (Lower(static_cast<unsigned char>(text[at + j])) != static_cast<unsigned char>(word[j]))
      return false;
  return true;
}

// The elements whose content a browser reads as text up to their end tag.
constexpr std::string_view kTextElements[] = {"script", "style",   "textarea", "title",   "xmp",
                                              "iframe", "noembed", "noframes", "noscript"};

bool IsHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

// True at a paragraph break: the page shows each CR CR of its text as
// "</p><p>", whose ">" ends any tag left open across it.
bool IsParagraphBreak(std::string_view text, size_t at) {
  return text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\r';
}

// True when the tag name `name` (lower case) stands right after the "<" (or
// "</") at `at`: a browser ends a tag's name at a blank, "/" or ">" only. A
// paragraph break does not end it: the page shows it as "</p><p>", and the
// name read on is "name<".
bool IsTagNamed(std::string_view text, size_t at, std::string_view name) {
  if (!StartsNoCase(text, at, name)) return false;
  const size_t end = at + name.size();
  if (end < text.size() && IsParagraphBreak(text, end)) return false;
  return end >= text.size() || IsHtmlSpace(text[end]) || text[end] == '/' || text[end] == '>';
}

// The offset just past the comment that "<!--" at `at` opens. A browser ends
// it at "-->" or "--!>", at once for "<!-->" and "<!--->", and at the end of
// the text when neither comes.
size_t CommentEnd(std::string_view text, size_t at) {
  const size_t dash_end = text.find("-->", at + 2);
  const size_t bang_end = text.find("--!>", at + 4);
  return std::min(dash_end == std::string_view::npos ? text.size() : dash_end + 3,
                  bang_end == std::string_view::npos ? text.size() : bang_end + 4);
}

// The offset just past the tag that starts with "<" at `at`, read as a
// browser reads it: the tag's name, then attributes, each a name (which may
// begin with "="), optionally "=" and a value, quoted or not. The tag ends at
// a ">" outside a quoted value, or at a paragraph break, which the page shows
// as "</p><p>" and whose ">" ends it there; else at the end of the text.
size_t TagEnd(std::string_view text, size_t at) {
  const size_t n = text.size();
  size_t i = at + 1;
  if (i < n && text[i] == '/') ++i;
  // Each step reports the tag's end, or npos to go on.
  const auto ends_at = [&](size_t k) -> size_t {
    if (text[k] == '>') return k + 1;
    if (IsParagraphBreak(text, k)) return k + 2;
    return std::string_view::npos;
  };
  const auto skip = [&](auto&& part_of_it) -> size_t {
    for (; i < n && part_of_it(text[i]); ++i)
      if (const size_t end = ends_at(i); end != std::string_view::npos) return end;
    return std::string_view::npos;
  };
  const auto name_char = [](char c) { return !IsHtmlSpace(c) && c != '/' && c != '>' && c != '='; };
  const auto blank = [](char c) { return IsHtmlSpace(c); };
  // The tag's name: "=" and quotes belong to it.
  if (const size_t end = skip([](char c) { return !IsHtmlSpace(c) && c != '/' && c != '>'; });
      end != std::string_view::npos)
    return end;
  while (i < n) {
    if (const size_t end = skip([](char c) { return IsHtmlSpace(c) || c == '/'; });
        end != std::string_view::npos)
      return end;
    if (i >= n) break;
    if (text[i] == '>') return i + 1;
    ++i;  // an attribute's first character, "=" included
    if (size_t end = skip(name_char); end != std::string_view::npos) return end;
    if (size_t end = skip(blank); end != std::string_view::npos) return end;
    if (i >= n || text[i] != '=') continue;
    ++i;
    if (size_t end = skip(blank); end != std::string_view::npos) return end;
    if (i < n && (text[i] == '"' || text[i] == '\'')) {
      const size_t close = text.find(text[i], i + 1);
      if (close == std::string_view::npos) return n;
      i = close + 1;
    } else if (size_t end = skip([](char c) { return !IsHtmlSpace(c) && c != '>'; });
               end != std::string_view::npos) {
      return end;
    }
  }
  return n;
}

// The offset just past a "<!", "<?" or "</" that opens no comment and no end
// tag: a browser takes it for a comment that ends at the first ">" (or, in a
// page, at a paragraph break), quotes or not.
size_t BogusCommentEnd(std::string_view text, size_t at) {
  for (size_t i = at + 1; i < text.size(); ++i) {
    if (text[i] == '>') return i + 1;
    if (IsParagraphBreak(text, i)) return i + 2;
  }
  return text.size();
}

// The offset just past the closing tag "</name ...>" found from `from`, or
// the end of the text.
size_t PastClosingTag(std::string_view text, size_t from, std::string_view name) {
  for (size_t i = text.find('<', from); i != std::string_view::npos; i = text.find('<', i + 1))
    if (i + 1 < text.size() && text[i + 1] == '/' && IsTagNamed(text, i + 2, name))
      return TagEnd(text, i);
  return text.size();
}

// The length of an entity ("&name;", "&#123;", "&#x1F;") at `at`, or 0.
size_t EntityLength(std::string_view text, size_t at) {
  size_t i = at + 1;
  if (i < text.size() && text[i] == '#') ++i;
  const size_t start = i;
  while (i < text.size() && i - start < 32 &&
         (IsAsciiLetter(static_cast<unsigned char>(text[i])) || (text[i] >= '0' && text[i] <= '9')))
    ++i;
  if (i == start || i >= text.size() || text[i] != ';') return 0;
  return i + 1 - at;
}

}  // namespace

void AppendRelAttribute(std::string& out, std::string_view rel) {
  if (rel.empty()) return;
  out += " rel=\"";
  out += EscapeHtmlText(rel);
  out += '"';
}

bool IsWordByte(unsigned char c) {
  if (IsAsciiLetter(c) || (c >= '0' && c <= '9') || c >= 0xC0) return true;
  // The Cyrillic letters of 0x80-0xBF: Ђ Ѓ ѓ Љ Њ Ќ Ћ Џ ђ љ њ ќ ћ џ Ў ў Ј Ґ Ё Є
  // Ї І і ґ ё є ј Ѕ ѕ ї.
  switch (c) {
    case 0x80:
    case 0x81:
    case 0x83:
    case 0x8A:
    case 0x8C:
    case 0x8D:
    case 0x8E:
    case 0x8F:
    case 0x90:
    case 0x9A:
    case 0x9C:
    case 0x9D:
    case 0x9E:
    case 0x9F:
    case 0xA1:
    case 0xA2:
    case 0xA3:
    case 0xA5:
    case 0xA8:
    case 0xAA:
    case 0xAF:
    case 0xB2:
    case 0xB3:
    case 0xB4:
    case 0xB8:
    case 0xBA:
    case 0xBC:
    case 0xBD:
    case 0xBE:
    case 0xBF:
      return true;
    default:
      return false;
  }
}

std::vector<TWordSpan> SafeLinkCandidates(std::string_view text) {
  std::vector<TWordSpan> words;
  size_t word_start = 0;
  bool in_word = false;
  // Inside an <a> element: from its start tag to its end tag.
  bool in_link = false;
  const auto end_word = [&](size_t at) {
    if (!in_word) return;
    in_word = false;
    const size_t length = at - word_start;
    if (!in_link && length >= kShortestLinkWord && length <= kLongestLinkWord)
      words.push_back({word_start, length});
  };
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsWordByte(c)) {
      if (!in_word) {
        in_word = true;
        word_start = i;
      }
      ++i;
      continue;
    }
    end_word(i);
    if (c == '&') {
      // An entity, or what might be read as the start of one: the letters
      // right after an "&" are never a word of their own.
      const size_t entity = EntityLength(text, i);
      i += entity > 0 ? entity : 1;
      while (entity == 0 && i < text.size() && IsWordByte(static_cast<unsigned char>(text[i]))) ++i;
      continue;
    }
    if (c != '<' || i + 1 >= text.size()) {
      ++i;
      continue;
    }
    const unsigned char next = static_cast<unsigned char>(text[i + 1]);
    if (StartsNoCase(text, i, "<!--")) {
      i = CommentEnd(text, i);
    } else if (IsAsciiLetter(next)) {
      const size_t end = TagEnd(text, i);
      // The content of the elements a browser reads as plain text up to
      // their end tag (scripts, styles, text areas, titles ...) is never
      // linked, nor read as markup; a link's content is markup like any
      // other, read on, but its words are not linked.
      const size_t at_tag = i;
      if (IsTagNamed(text, at_tag + 1, "a")) in_link = true;
      i = end;
      for (std::string_view element : kTextElements)
        if (IsTagNamed(text, at_tag + 1, element)) {
          i = PastClosingTag(text, end, element);
          break;
        }
      if (IsTagNamed(text, at_tag + 1, "plaintext")) i = text.size();
    } else if (next == '/' && i + 2 < text.size() &&
               IsAsciiLetter(static_cast<unsigned char>(text[i + 2]))) {
      if (IsTagNamed(text, i + 2, "a")) in_link = false;
      i = TagEnd(text, i);  // an end tag
    } else if (next == '/' || next == '!' || next == '?') {
      i = BogusCommentEnd(text, i);
    } else {
      ++i;  // a "<" of plain text
    }
  }
  end_word(text.size());
  return words;
}

TSafeLinkDistributor::TSafeLinkDistributor(const TStringList& addresses, int64_t page_count,
                                           TRandomSource& random, std::string rel)
    : TLinkPlacer(addresses, page_count, random, std::move(rel)) {}

void TSafeLinkDistributor::LinkPage(std::string_view text, std::string& out) {
  const int page = BeginPage();
  linked_here_.clear();
  out.clear();
  if (!Placing()) {
    out.assign(text);
    return;
  }
  const std::vector<TWordSpan> words = SafeLinkCandidates(text);
  // The same uniform choice of at most the quota of the candidates as the
  // classic distribution makes, in text order.
  const size_t n = words.size();
  out.reserve(text.size() + Choose(n) * 64);
  size_t copied = 0;
  for (size_t i = 0; i < n && Placing(); ++i) {
    if (!Chosen(i)) continue;
    const std::string_view address = NextAddress();
    if (std::find(linked_here_.begin(), linked_here_.end(), address) != linked_here_.end()) {
      UseAddress(page, 0);
      continue;
    }
    linked_here_.push_back(address);
    const TWordSpan w = words[i];
    out.append(text.substr(copied, w.offset - copied));
    AppendLink(out, address, text.substr(w.offset, w.length));
    copied = w.offset + w.length;
    UseAddress(page, 1);
  }
  out.append(text.substr(copied));
}

}  // namespace orvana
