// What each byte of an HTML page is, as a browser's tokenizer reads it: text,
// part of a tag (its name and attributes, quoted values included), a comment
// (or a "<!...>", "<?...>" or "</ ...>" read as one), the content of <script>
// or <style>, or the content of another element whose content is not markup
// (<title>, <textarea>, <xmp>, <iframe>, <noembed>, <noframes>, <noscript>,
// <plaintext>); and whether it stands inside an <a> element. The states and
// their transitions follow the HTML tokenizer for start and end tags,
// attributes, comments and raw text, character references left out (they
// never end a tag) and carriage returns counted as the blanks they become.
// Only the fuzzer uses it: it is the independent judge of where the links the
// engine inserts have landed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvana::fuzz {

enum class THtmlRegion : uint8_t { kText, kTag, kComment, kScript, kRawText };

struct THtmlByte {
  THtmlRegion region = THtmlRegion::kText;
  // The byte is the "<" that starts a tag or comment, read in text.
  bool opens = false;
  bool in_link = false;
};

class THtmlRegions {
 public:
  explicit THtmlRegions(std::string_view html) : h_(html), bytes_(html.size()) { Scan(); }

  const THtmlByte& At(size_t offset) const { return bytes_[offset]; }

 private:
  static bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
  static bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
  }
  static char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

  void Mark(size_t from, size_t to, THtmlRegion region) {
    for (size_t i = from; i < to && i < bytes_.size(); ++i) bytes_[i] = {region, false, in_link_};
  }

  // The offset just past the first `what` at or after `from`, or the end.
  size_t PastFirst(size_t from, std::string_view what) const {
    const size_t at = h_.find(what, from);
    return at == std::string_view::npos ? h_.size() : at + what.size();
  }

  // The comment that "<!--" at `at` opens: it ends with "-->" or "--!>", or
  // at once with "<!-->" or "<!--->".
  size_t CommentEnd(size_t at) const {
    const size_t k = at + 4;
    if (h_.substr(k, 1) == ">") return k + 1;
    if (h_.substr(k, 2) == "->") return k + 2;
    return std::min(PastFirst(k, "-->"), PastFirst(k, "--!>"));
  }

  // The offset of the end tag "</NAME" (NAME `raw_`, any letter case)
  // followed by a blank, "/" or ">", from `from`; the end when there is none.
  size_t RawTextEnd(size_t from) const {
    for (size_t i = h_.find("</", from); i != std::string_view::npos; i = h_.find("</", i + 1)) {
      const size_t end = i + 2 + raw_.size();
      if (end >= h_.size()) break;
      bool same = true;
      for (size_t j = 0; j < raw_.size() && same; ++j) same = Lower(h_[i + 2 + j]) == raw_[j];
      if (same && (IsBlank(h_[end]) || h_[end] == '/' || h_[end] == '>')) return i;
    }
    return h_.size();
  }

  // The tag whose name starts at `at`: its name (lower case) into `name`;
  // returns the offset past its ">" (or the end of the page).
  size_t TagEnd(size_t at, std::string& name) const {
    enum { kName, kBeforeAttr, kAttr, kAfterAttr, kBeforeValue, kDq, kSq, kUnq, kAfterDq, kSlash };
    int s = kName;
    name.clear();
    for (size_t j = at; j < h_.size(); ++j) {
      const char c = h_[j];
      const bool blank = IsBlank(c);
      switch (s) {
        case kName:
          if (blank)
            s = kBeforeAttr;
          else if (c == '/')
            s = kSlash;
          else if (c == '>')
            return j + 1;
          else
            name += Lower(c);
          break;
        case kBeforeAttr:
          if (blank) break;
          if (c == '/' || c == '>') {
            s = kAfterAttr;
            --j;
          } else
            s = kAttr;  // "=" starts a name too
          break;
        case kAttr:
          if (blank || c == '/' || c == '>') {
            s = kAfterAttr;
            --j;
          } else if (c == '=')
            s = kBeforeValue;
          break;
        case kAfterAttr:
          if (blank) break;
          if (c == '/')
            s = kSlash;
          else if (c == '=')
            s = kBeforeValue;
          else if (c == '>')
            return j + 1;
          else
            s = kAttr;
          break;
        case kBeforeValue:
          if (blank) break;
          if (c == '"')
            s = kDq;
          else if (c == '\'')
            s = kSq;
          else if (c == '>')
            return j + 1;
          else
            s = kUnq;
          break;
        case kDq:
        case kSq:
          if (c == (s == kDq ? '"' : '\'')) s = kAfterDq;
          break;
        case kUnq:
          if (blank)
            s = kBeforeAttr;
          else if (c == '>')
            return j + 1;
          break;
        case kAfterDq:
          if (c == '/')
            s = kSlash;
          else if (c == '>')
            return j + 1;
          else if (blank)
            s = kBeforeAttr;
          else {
            s = kBeforeAttr;
            --j;
          }
          break;
        case kSlash:
          if (c == '>') return j + 1;
          s = kBeforeAttr;
          --j;
          break;
      }
    }
    return h_.size();
  }

  // A start or end tag at `i` ("<" then `name_at` the name's first byte):
  // marks it and follows what it opens or closes.
  size_t OnTag(size_t i, size_t name_at, bool end_tag) {
    std::string name;
    const size_t end = TagEnd(name_at, name);
    Mark(i, end, THtmlRegion::kTag);
    bytes_[i].opens = true;
    if (name == "a") in_link_ = !end_tag;
    if (end_tag || end >= h_.size()) return end;
    if (name == "script" || name == "style" || name == "title" || name == "textarea" ||
        name == "xmp" || name == "iframe" || name == "noembed" || name == "noframes" ||
        name == "noscript" || name == "plaintext") {
      raw_ = name;
      const size_t raw_end = name == "plaintext" ? h_.size() : RawTextEnd(end);
      const bool script = name == "script" || name == "style";
      Mark(end, raw_end, script ? THtmlRegion::kScript : THtmlRegion::kRawText);
      return raw_end;
    }
    return end;
  }

  void Scan() {
    size_t i = 0;
    while (i < h_.size()) {
      const size_t next = h_.find('<', i);
      const size_t lt = next == std::string_view::npos ? h_.size() : next;
      Mark(i, lt, THtmlRegion::kText);
      if (lt + 1 >= h_.size()) {
        Mark(lt, h_.size(), THtmlRegion::kText);
        return;
      }
      const char c = h_[lt + 1];
      const char c2 = lt + 2 < h_.size() ? h_[lt + 2] : '\0';
      if (IsAlpha(c)) {
        i = OnTag(lt, lt + 1, false);
      } else if (c == '/' && IsAlpha(c2)) {
        i = OnTag(lt, lt + 2, true);
      } else if (c == '/' && c2 == '>') {
        Mark(lt, lt + 3, THtmlRegion::kTag);
        bytes_[lt].opens = true;
        i = lt + 3;
      } else if (c == '/' && lt + 2 >= h_.size()) {
        Mark(lt, h_.size(), THtmlRegion::kText);
        return;
      } else if (c == '!' && h_.substr(lt, 4) == "<!--") {
        i = CommentEnd(lt);
        Mark(lt, i, THtmlRegion::kComment);
        bytes_[lt].opens = true;
      } else if (c == '!' || c == '?' || c == '/') {
        i = PastFirst(lt, ">");
        Mark(lt, i, THtmlRegion::kComment);
        bytes_[lt].opens = true;
      } else {
        Mark(lt, lt + 1, THtmlRegion::kText);
        i = lt + 1;
      }
    }
  }

  std::string_view h_;
  std::vector<THtmlByte> bytes_;
  bool in_link_ = false;
  std::string raw_;
};

}  // namespace orvana::fuzz
