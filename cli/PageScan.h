// What the site check reads in one HTML page: the addresses its tags point
// to and the charset it declares.
//
// The page is taken as bytes, whatever its encoding, and tokenised the way a
// browser finds tags: comments and the contents of script, style, title and
// textarea elements hold no tags, attribute values may be quoted or not, and
// names are matched in any letter case.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace orvana::cli {

struct TPageScan {
  // The charset the page declares first, lower-case and trimmed: the
  // "charset" of a <meta> tag or the charset parameter of a <meta
  // http-equiv="Content-Type" content="..."> tag; "utf-8" for a page that
  // starts with a UTF-8 byte-order mark. Empty when it declares none.
  std::string charset;
  // A tag longer than TPageScanner::kMaxTagBytes: the scan stopped there,
  // as nothing after it can be told from the tag's inside.
  bool oversized_tag = false;
};

// Scans a page handed over in pieces of any size, holding only what a cut
// construct needs: the tag the piece ends in, or the last bytes of a comment
// or a script that its end could begin with. The result, and the links
// reported, are those of ScanPage over the whole page.
class TPageScanner {
 public:
  // The most a tag may hold before the page is given up as too large to
  // judge: 8 MiB.
  static constexpr size_t kMaxTagBytes = size_t{8} << 20;

  explicit TPageScanner(std::function<void(std::string_view)> link);
  ~TPageScanner();
  TPageScanner(const TPageScanner&) = delete;
  TPageScanner& operator=(const TPageScanner&) = delete;

  // The next piece of the page; links found are reported before it returns.
  void Feed(std::string_view piece);
  // The end of the page: what an unfinished construct holds is taken as it
  // stands.
  TPageScan Finish();

 private:
  class TImpl;
  std::unique_ptr<TImpl> impl_;
};

// Scans `html`, calling `link` with the value of every href and src
// attribute, character references such as "&amp;" decoded. The view passed
// lives only until `link` returns.
TPageScan ScanPage(std::string_view html, const std::function<void(std::string_view)>& link);

// The byte offset of the first sequence in `bytes` that is not UTF-8, or
// npos when all of it is.
size_t FirstNonUtf8(std::string_view bytes);

}  // namespace orvana::cli
