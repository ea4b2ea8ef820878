// What the site check reads in one HTML page: the addresses its tags point
// to and the charset it declares.
//
// The page is taken as bytes, whatever its encoding, and tokenised the way a
// browser finds tags: comments and the contents of script, style, title and
// textarea elements hold no tags, attribute values may be quoted or not, and
// names are matched in any letter case.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace orvana::cli {

struct TPageScan {
  // The charset the page declares first, lower-case and trimmed: the
  // "charset" of a <meta> tag or the charset parameter of a <meta
  // http-equiv="Content-Type" content="..."> tag; "utf-8" for a page that
  // starts with a UTF-8 byte-order mark. Empty when it declares none.
  std::string charset;
};

// Scans `html`, calling `link` with the value of every href and src
// attribute, character references such as "&amp;" decoded. The view passed
// lives only until `link` returns.
TPageScan ScanPage(std::string_view html, const std::function<void(std::string_view)>& link);

// The byte offset of the first sequence in `bytes` that is not UTF-8, or
// npos when all of it is.
size_t FirstNonUtf8(std::string_view bytes);

}  // namespace orvana::cli
