// Host names of addresses typed on the command line, in the ASCII form that
// a sitemap and the project's Windows-1251 fields can hold: a label with
// letters beyond ASCII is written in Punycode (RFC 3492) after "xn--", as
// browsers send it ("例子.cn" is "xn--fsqu00a.cn").
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "cli/CommandLine.h"

namespace orvana::cli {

// The Punycode of a label's code points (RFC 3492, without "xn--"); nullopt
// when it would overflow, which no label of a host name comes near.
std::optional<std::string> Punycode(std::u32string_view label);

// The address (UTF-8) with every label of its host that holds letters
// beyond ASCII in Punycode, those letters in lower case first; the ideographic
// full stops separate labels as "." does. The scheme, port, path, query and
// fragment stay as typed; an address without "://", or whose host is not
// UTF-8, comes back unchanged.
std::string UrlWithAsciiHost(std::string_view url);

// The value of --site-url, its host made ASCII (UrlWithAsciiHost).
std::optional<std::string> SiteUrlOption(const TCommandArgs& args);

}  // namespace orvana::cli
