// Page encoding: the bytes a page is written as, and the charset it declares.
//
// The engine builds every page in Windows-1251. A site written in that code
// page keeps its pages byte for byte; a site written in UTF-8 (the
// OutputEncoding extra) has each page converted and its charset declaration
// made to say so: a declaration that names another charset is rewritten, and
// a page that declares none gets '<meta charset="utf-8">' right after its
// "<head ...>" tag, or after a leading doctype when it has no head, or at its
// very start.
//
// A page declares its charset in the first "<meta" tag before "<body" (any
// letter case) whose text holds "charset", as both <meta charset="..."> and
// <meta http-equiv="Content-Type" content="text/html; charset=..."> do.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
};

// The page's declaration, or nothing when it declares no charset.
std::optional<TCharsetDeclaration> FindCharsetDeclaration(std::string_view html);

// The kind of the page's declaration (kNone when there is none).
TCharsetKind DeclaredCharset(std::string_view html);

// The kind a charset name stands for (any letter case, blanks around it
// ignored).
TCharsetKind CharsetKindOf(std::string_view name);

// True for the output encoding "utf-8"; every other value is Windows-1251.
bool IsUtf8Output(std::string_view output_encoding);

// The charset a site written in the output encoding is in.
inline TCharsetKind OutputCharset(std::string_view output_encoding) {
  return IsUtf8Output(output_encoding) ? TCharsetKind::kUtf8 : TCharsetKind::kWindows1251;
}

// The bytes of a page (Windows-1251) as written in the output encoding, into
// `out` (old content discarded, capacity reused): unchanged for
// Windows-1251; for UTF-8 converted, with its declaration made to name
// utf-8 (see above).
void EncodePageInto(std::string_view html, std::string_view output_encoding, std::string& out);

// The stylesheet's bytes as written: converted to UTF-8 for UTF-8 output.
std::string EncodeStylesheet(std::string_view css, std::string_view output_encoding);

// Appends the UTF-8 form of Windows-1251 text.
void AppendCp1251AsUtf8(std::string_view text, std::string& out);

// The size of text (Windows-1251) once written in the output encoding.
uint64_t EncodedSize(std::string_view text, bool utf8);

// Reads the declaration of a page that arrives in pieces, keeping only its
// head: once the bytes hold "<body", the answer no longer depends on what
// follows.
class TCharsetSniffer {
 public:
  void Feed(std::string_view bytes);
  void Feed(const std::vector<std::string_view>& pieces) {
    for (std::string_view piece : pieces) Feed(piece);
  }
  // DeclaredCharset of everything fed.
  TCharsetKind Result() const { return decided_ ? result_ : DeclaredCharset(head_); }

 private:
  std::string head_;
  bool decided_ = false;
  TCharsetKind result_ = TCharsetKind::kNone;
};

}  // namespace orvana
