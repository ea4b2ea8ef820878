#include "engine/UrlSafety.h"

#include <algorithm>
#include <cstdint>

namespace orvana {

namespace {

bool IsAsciiAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The named references an address is read with (a browser decodes them
// alike in an href), with their characters: those that make up a scheme,
// and the common escapes of pasted HTML.
constexpr struct {
  std::string_view name;
  char value;
} kReadNames[] = {{"colon;", ':'}, {"Tab;", '\t'}, {"NewLine;", '\n'}, {"amp;", '&'},
                  {"lt;", '<'},    {"gt;", '>'},   {"quot;", '"'},     {"apos;", '\''}};

// The names a browser also decodes without a ";" (in an attribute, unless
// "=" or a letter or digit follows).
constexpr std::string_view kLegacyNames =
    " AElig AMP Aacute Acirc Agrave Aring Atilde Auml COPY Ccedil ETH Eacute Ecirc Egrave Euml GT"
    " Iacute Icirc Igrave Iuml LT Ntilde Oacute Ocirc Ograve Oslash Otilde Ouml QUOT REG THORN"
    " Uacute Ucirc Ugrave Uuml Yacute aacute acirc acute aelig agrave amp aring atilde auml brvbar"
    " ccedil cedil cent copy curren deg divide eacute ecirc egrave eth euml frac12 frac14 frac34"
    " gt iacute icirc iexcl igrave iquest iuml laquo lt macr micro middot nbsp not ntilde oacute"
    " ocirc ograve ordf ordm oslash otilde ouml para plusmn pound quot raquo reg sect shy sup1"
    " sup2 sup3 szlig thorn times uacute ucirc ugrave uml uuml yacute yen yuml ";

// The character reference at `at` (an "&") as a browser reads it in an
// attribute: its length, and its character in `code` (any code point at or
// above 128 counts as 128, none of them ever part of a scheme). 0 for an "&"
// read as itself, or for a named reference outside kReadNames.
size_t ReadReference(std::string_view text, size_t at, uint32_t& code) {
  size_t i = at + 1;
  if (i < text.size() && text[i] == '#') {
    const bool hex = i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X');
    i += hex ? 2 : 1;
    const size_t digits = i;
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
      const char c = text[i];
      const char l = static_cast<char>(c | 0x20);
      int digit = c >= '0' && c <= '9' ? c - '0' : hex && l >= 'a' && l <= 'f' ? l - 'a' + 10 : -1;
      if (digit < 0) break;
      value = std::min<uint64_t>(value * (hex ? 16 : 10) + static_cast<uint64_t>(digit), 1u << 24);
    }
    if (i == digits) return 0;
    if (i < text.size() && text[i] == ';') ++i;
    // "&#0;" reads as U+FFFD, not as a control.
    code = value == 0 || value >= 128 ? 128 : static_cast<uint32_t>(value);
    return i - at;
  }
  for (const auto& named : kReadNames)
    if (text.substr(i, named.name.size()) == named.name) {
      code = static_cast<unsigned char>(named.value);
      return 1 + named.name.size();
    }
  return 0;
}

// True for an "&" at `at` that a browser would read as a reference
// ReadReference leaves unread: a name with its ";", or one of the names read
// without it.
bool StartsUnreadReference(std::string_view text, size_t at) {
  uint32_t code;
  if (ReadReference(text, at, code) > 0) return false;
  size_t end = at + 1;
  while (end < text.size() && IsAsciiAlnum(text[end])) ++end;
  if (end == at + 1) return false;
  if (end < text.size() && text[end] == ';') return true;
  const std::string name = " " + std::string(text.substr(at + 1, end - at - 1)) + " ";
  return (end == text.size() || text[end] != '=') && kLegacyNames.find(name) != std::string::npos;
}

}  // namespace

void AppendHrefAddress(std::string& out, std::string_view address) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (size_t i = 0; i < address.size(); ++i) {
    const char c = address[i];
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte == 127 || c == ' ' || c == '"' || c == '\'' || c == '<' || c == '>') {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else if (c == '&' && StartsUnreadReference(address, i)) {
      out += "&amp;";
    } else {
      out += c;
    }
  }
}

bool RunsScript(std::string_view address) {
  // The characters a browser reads, references decoded; blanks and controls
  // in front dropped, tabs and line ends anywhere.
  std::string scheme;
  bool started = false;
  for (size_t i = 0; i < address.size();) {
    uint32_t c = static_cast<unsigned char>(address[i]);
    const size_t reference = c == '&' ? ReadReference(address, i, c) : 0;
    i += reference > 0 ? reference : 1;
    if ((!started && c <= ' ') || c == '\t' || c == '\n' || c == '\r') continue;
    started = true;
    if (c == ':') return scheme == "javascript" || scheme == "vbscript" || scheme == "data";
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    // The longest scheme looked for is "javascript"; anything longer, or a
    // character no scheme may hold, settles the matter.
    if (c < 'a' || c > 'z' || scheme.size() == 10) return false;
    scheme += static_cast<char>(c);
  }
  return false;
}

std::vector<std::string> ScriptRunningAddresses(const TStringList& addresses) {
  std::vector<std::string> found;
  for (const std::string& address : addresses)
    if (RunsScript(address) && std::find(found.begin(), found.end(), address) == found.end())
      found.push_back(address);
  return found;
}

namespace {

bool IsAddressBlank(char c) { return static_cast<unsigned char>(c) <= ' ' || c == '\xA0'; }

// The address without the blanks around it.
std::string_view Trimmed(std::string_view address) {
  while (!address.empty() && IsAddressBlank(address.front())) address.remove_prefix(1);
  while (!address.empty() && IsAddressBlank(address.back())) address.remove_suffix(1);
  return address;
}

}  // namespace

size_t TrimAddressBlanks(TStringList& addresses) {
  size_t trimmed = 0;
  for (std::string& address : addresses) {
    const std::string_view kept = Trimmed(address);
    if (kept.size() == address.size()) continue;
    if (!kept.empty()) ++trimmed;
    address = std::string(kept);
  }
  return trimmed;
}

size_t PaddedAddressCount(const TStringList& addresses) {
  return static_cast<size_t>(std::count_if(addresses.begin(), addresses.end(), [](auto& a) {
    const size_t kept = Trimmed(a).size();
    return kept > 0 && kept < a.size();
  }));
}

std::string SiteUrlProblem(std::string_view url) {
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    // Byte 160 is the no-break space of Windows-1251.
    if (c == ' ' || byte == 160) return "it holds a blank";
    if (byte < 32 || byte == 127) return "it holds a control character";
  }
  if (url.empty()) return {};
  const auto starts_with = [url](std::string_view prefix) {
    if (url.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
      char c = url[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c != prefix[i]) return false;
    }
    return true;
  };
  const size_t scheme = starts_with("https://") ? 8 : starts_with("http://") ? 7 : 0;
  if (scheme == 0) return "it is not an absolute http or https address";
  if (url.size() == scheme || url.find_first_of("/?#", scheme) == scheme) return "it names no host";
  if (url.find('?') != std::string_view::npos) return "it holds a query (\"?\")";
  if (url.find('#') != std::string_view::npos) return "it holds a fragment (\"#\")";
  return {};
}

}  // namespace orvana
