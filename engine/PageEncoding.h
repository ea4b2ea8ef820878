// Page encoding: the bytes a page is written as, and the charset it declares.
//
// The engine builds every page in Windows-1251. A site written in that code
// page keeps its pages byte for byte; a site written in UTF-8 (the
// OutputEncoding extra) has each page converted and its charset declaration
// made to say so: a declaration that names another charset is rewritten, and
// a page that declares none gets '<meta charset="utf-8">' right after its
// "<head ...>" tag when that lies in the page's first 1024 bytes (where
// browsers look for it before they parse), else after a leading doctype, or
// at its very start.
//
// A page's declaration is read as a browser reads it: markup inside a
// comment ("<!--" to "-->" or "--!>") is no markup, a tag's quoted attribute
// values hold no tags, and the declaration is the first <meta> tag with a
// charset attribute, or with http-equiv="Content-Type" and a content whose
// charset parameter names one, that browsers take: one in the head section
// wherever it stands, or one that starts in the page's first 1024 bytes,
// in the body too (the bytes browsers look through before they parse). The
// head section ends at <body> or at the first tag that cannot stand in a
// head. A page that starts with a UTF-8 byte-order mark is UTF-8 whatever it
// declares.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Extras.h"

namespace orvana {

// What a page's declaration names.
enum class TCharsetKind {
  kNone,         // no declaration
  kWindows1251,  // "windows-1251", "cp1251" or "x-cp1251"
  kUtf8,         // "utf-8", "utf8" and the other labels browsers take for it
  kOther,        // anything else
};

// Where a page's declared charset name stands in it.
struct TCharsetDeclaration {
  size_t offset = 0;  // of the name
  size_t length = 0;
  TCharsetKind kind = TCharsetKind::kNone;
  std::string name;  // lower case, without blanks around it
};

// The page's declaration, or nothing when it declares no charset.
std::optional<TCharsetDeclaration> FindCharsetDeclaration(std::string_view html);

// The kind of the page's declaration (kNone when there is none); kUtf8 for
// a page that starts with a byte-order mark.
TCharsetKind DeclaredCharset(std::string_view html);

// The kind a charset name stands for (any letter case, blanks around it
// ignored).
TCharsetKind CharsetKindOf(std::string_view name);

// The charset a site written in the output encoding is in.
inline TCharsetKind OutputCharset(TOutputEncoding encoding) {
  return encoding == TOutputEncoding::kUtf8 ? TCharsetKind::kUtf8 : TCharsetKind::kWindows1251;
}

// The bytes of a page (Windows-1251) as written in the output encoding, into
// `out` (old content discarded, capacity reused): unchanged for
// Windows-1251; for UTF-8 converted, with its declaration made to name
// utf-8 (see above).
void EncodePageInto(std::string_view html, TOutputEncoding encoding, std::string& out);

// The stylesheet's bytes as written: converted to UTF-8 for UTF-8 output.
std::string EncodeStylesheet(std::string_view css, TOutputEncoding encoding);

// Appends the UTF-8 form of Windows-1251 text.
void AppendCp1251AsUtf8(std::string_view text, std::string& out);

// The size of text (Windows-1251) once written in the output encoding.
uint64_t EncodedSize(std::string_view text, bool utf8);

// Reads the declaration of a page that arrives in pieces, as a browser
// reads it (see above), keeping no more of it than the markup it is inside:
// the answer is the one FindCharsetDeclaration gives for everything fed, and
// once a declaration is found, nothing that follows changes it.
class TCharsetSniffer {
 public:
  void Feed(std::string_view bytes);
  void Feed(const std::vector<std::string_view>& pieces) {
    for (std::string_view piece : pieces) Feed(piece);
  }
  // DeclaredCharset of everything fed.
  TCharsetKind Result() const;
  // The charset name a browser takes from everything fed: "utf-8" after a
  // byte-order mark, else the declaration's name; empty when there is none.
  std::string Name() const;
  // The declaration found so far (offsets from the first byte fed).
  const std::optional<TCharsetDeclaration>& Declaration() const { return declaration_; }
  // Where the first <head> tag ends and where the head section ends (at the
  // <body> tag or the first tag that cannot stand in a head), outside
  // comments; npos while there is none.
  size_t HeadEnd() const { return head_end_; }
  size_t BodyStart() const { return body_start_; }

 private:
  enum class TState { kData, kMarkup, kComment, kBogus, kTag };
  // kHeadContent: a tag that may stand in the head (title, style, script,
  // link, base, object, noscript, html); every other tag ends the head.
  enum class TTag { kOther, kMeta, kHead, kBody, kHeadContent };
  static TTag TagNamed(std::string_view name);
  // Takes the byte at offset `at` of markup (or of a comment).
  void Take(char c, size_t at);
  void TakeTag(char c, size_t at);
  size_t TakeTagName(std::string_view bytes, size_t i);
  // Passes over the attributes of a tag that is no <meta> from bytes[i] on,
  // up to its end; returns where it stopped.
  size_t SkipAttributes(std::string_view bytes, size_t i);
  void EndName();
  void EndTag(size_t end);

  TState state_ = TState::kData;
  bool in_head_ = true;         // no tag has ended the head yet
  bool done_ = false;           // nothing that follows can declare
  uint64_t fed_ = 0;            // bytes fed so far
  bool bom_ = false;            // the first three bytes are a byte-order mark
  std::string markup_;          // the tag (or "<!", "<!-") being read, from its "<"
  size_t markup_start_ = 0;     // its offset
  bool in_name_ = false;        // reading the tag's name
  TTag tag_ = TTag::kOther;     // the tag being read
  bool meta_ = false;           // the tag is a <meta>
  bool comment_start_ = false;  // right after a comment's "<!--"
  bool after_equals_ = false;   // an attribute value may begin
  char quote_ = 0;              // inside a quoted attribute value
  int dashes_ = 0;              // a comment's "-" just read (at most 2)
  bool bang_ = false;           // a comment's "--!" just read
  std::optional<TCharsetDeclaration> declaration_;
  size_t head_end_ = std::string_view::npos;
  size_t body_start_ = std::string_view::npos;
};

}  // namespace orvana
