#include "engine/UrlSafety.h"

#include <algorithm>

namespace orvana {

void AppendHrefAddress(std::string& out, std::string_view address) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : address) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte == 127 || c == ' ' || c == '"' || c == '\'' || c == '<' || c == '>') {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
}

bool RunsScript(std::string_view address) {
  size_t i = 0;
  while (i < address.size() && static_cast<unsigned char>(address[i]) <= ' ') ++i;
  std::string scheme;
  for (; i < address.size(); ++i) {
    char c = address[i];
    if (c == '\t' || c == '\n' || c == '\r') continue;
    if (c == ':') break;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    // The longest scheme looked for is "javascript"; anything longer, or a
    // byte no scheme may hold, settles the matter.
    if (c < 'a' || c > 'z' || scheme.size() == 10) return false;
    scheme += c;
  }
  if (i == address.size()) return false;
  return scheme == "javascript" || scheme == "vbscript" || scheme == "data";
}

std::vector<std::string> ScriptRunningAddresses(const TStringList& addresses) {
  std::vector<std::string> found;
  for (const std::string& address : addresses)
    if (RunsScript(address) && std::find(found.begin(), found.end(), address) == found.end())
      found.push_back(address);
  return found;
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
