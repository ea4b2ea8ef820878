// Link addresses as they go into pages, the addresses that run script, and
// the site's own address.
//
// The addresses of SiteUrlsToLink are kept as the user typed them; only the
// copy written into a page's href is made safe for the attribute.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/StringList.h"

namespace orvana {

// Appends the address to `out` as it stands in a double-quoted href: every
// byte that can never stand raw in an address (the double quote, the
// apostrophe, "<", ">", the blank, bytes below 32 and byte 127) as "%" and two
// uppercase hexadecimal digits ("%22"), every other byte, "%" included, as it
// is, but for an "&" that a browser would read as the start of a character
// reference RunsScript does not read ("&copy;", "&not/"), which becomes
// "&amp;": so the browser reads the href as RunsScript read the address,
// references and all. An ordinary address is appended unchanged.
void AppendHrefAddress(std::string& out, std::string_view address);

// True when a browser would run the address, read out of an href, as script:
// with its character references decoded (numeric ones, "&colon;", "&Tab;",
// "&NewLine;" and the escapes "&amp;", "&lt;", "&gt;", "&quot;", "&apos;"),
// the blanks and controls in front of it dropped and tabs, CRs and line
// feeds inside it ignored, its scheme is "javascript", "vbscript" or "data"
// in any letter case.
bool RunsScript(std::string_view address);

// The addresses of the list that run script (RunsScript), in list order,
// each once.
std::vector<std::string> ScriptRunningAddresses(const TStringList& addresses);

// Trims the blanks around each address: the bytes up to 32 (the blank,
// tabs, line ends and other controls) and the no-break space (160), which
// would otherwise be written percent-encoded into the href and make it
// another, relative address. Returns how many addresses that are not blank
// through and through lost any.
size_t TrimAddressBlanks(TStringList& addresses);

// How many addresses TrimAddressBlanks would trim.
size_t PaddedAddressCount(const TStringList& addresses);

// What keeps `url` (Windows-1251) from being the site's address, the base
// of every page's address in sitemap.xml: empty when it is an absolute http
// or https address (the scheme in any letter case, a host after "//") with
// no blank, no control byte, no query and no fragment, and for the empty
// url (no site address given); otherwise a short English reason, such as
// "it holds a blank".
std::string SiteUrlProblem(std::string_view url);

}  // namespace orvana
