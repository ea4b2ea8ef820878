#include "cli/HostName.h"

#include <algorithm>
#include <cstdint>

#include "engine/CodePage.h"

namespace orvana::cli {
namespace {

// RFC 3492's parameters for Punycode.
constexpr uint32_t kBase = 36, kTMin = 1, kTMax = 26, kSkew = 38, kDamp = 700;
constexpr uint32_t kInitialBias = 72, kInitialN = 128;

uint32_t Adapt(uint32_t delta, uint32_t points, bool first) {
  delta = first ? delta / kDamp : delta / 2;
  delta += delta / points;
  uint32_t k = 0;
  for (; delta > ((kBase - kTMin) * kTMax) / 2; k += kBase) delta /= kBase - kTMin;
  return k + (kBase - kTMin + 1) * delta / (delta + kSkew);
}

char Digit(uint32_t d) { return static_cast<char>(d < 26 ? 'a' + d : '0' + (d - 26)); }

// Lower case for the letters a host name commonly holds: Latin, Latin-1,
// Greek and Cyrillic capitals.
char32_t Lower(char32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
      (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F))
    return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

bool IsLabelDot(char32_t c) { return c == '.' || c == 0x3002 || c == 0xFF0E || c == 0xFF61; }

// The host (UTF-8) with its labels made ASCII; nullopt when it is not UTF-8.
std::optional<std::string> AsciiHost(std::string_view host) {
  std::string out;
  std::u32string label;
  bool wide = false;
  const auto flush = [&]() -> bool {
    if (!wide) {
      for (const char32_t c : label) out += static_cast<char>(c);
    } else {
      std::transform(label.begin(), label.end(), label.begin(), Lower);
      const std::optional<std::string> code = Punycode(label);
      if (!code) return false;
      out += "xn--" + *code;
    }
    label.clear();
    wide = false;
    return true;
  };
  for (size_t i = 0; i < host.size();) {
    size_t length = 1;
    const long c = DecodeUtf8(host.substr(i), length);
    if (c < 0) return std::nullopt;
    i += length;
    if (IsLabelDot(static_cast<char32_t>(c))) {
      if (!flush()) return std::nullopt;
      out += '.';
      continue;
    }
    label += static_cast<char32_t>(c);
    wide = wide || c >= 0x80;
  }
  if (!flush()) return std::nullopt;
  return out;
}

}  // namespace

std::optional<std::string> Punycode(std::u32string_view label) {
  std::string out;
  for (const char32_t c : label)
    if (c < 0x80) out += static_cast<char>(c);
  const auto basic = static_cast<uint32_t>(out.size());
  if (basic > 0) out += '-';
  uint64_t n = kInitialN, delta = 0, bias = kInitialBias;
  for (uint32_t handled = basic; handled < label.size(); ++delta, ++n) {
    char32_t next = 0x10FFFF + 1;
    for (const char32_t c : label)
      if (c >= n && c < next) next = c;
    delta += (next - n) * (handled + 1);
    n = next;
    for (const char32_t c : label) {
      if (c < n) ++delta;
      if (c != n) continue;
      uint64_t q = delta;
      for (uint64_t k = kBase;; k += kBase) {
        const uint64_t t = k <= bias ? kTMin : k >= bias + kTMax ? kTMax : k - bias;
        if (q < t) break;
        out += Digit(static_cast<uint32_t>(t + (q - t) % (kBase - t)));
        q = (q - t) / (kBase - t);
      }
      out += Digit(static_cast<uint32_t>(q));
      if (delta > UINT32_MAX) return std::nullopt;
      bias = Adapt(static_cast<uint32_t>(delta), handled + 1, handled == basic);
      delta = 0;
      ++handled;
    }
  }
  return out;
}

std::string UrlWithAsciiHost(std::string_view url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return std::string(url);
  const size_t start = scheme + 3;
  const size_t end = std::min(url.find_first_of("/?#", start), url.size());
  std::string_view authority = url.substr(start, end - start);
  // User information and the port stay as they are.
  const size_t at = authority.rfind('@');
  const size_t host_start = at == std::string_view::npos ? 0 : at + 1;
  size_t host_end = authority.size();
  // An IPv6 address in brackets is ASCII already.
  if (authority.substr(host_start).starts_with('[')) return std::string(url);
  if (const size_t colon = authority.rfind(':');
      colon != std::string_view::npos && colon >= host_start)
    host_end = colon;
  const std::optional<std::string> host =
      AsciiHost(authority.substr(host_start, host_end - host_start));
  if (!host) return std::string(url);
  return std::string(url.substr(0, start + host_start)) + *host +
         std::string(url.substr(start + host_end));
}

std::optional<std::string> SiteUrlOption(const TCommandArgs& args) {
  std::optional<std::string> url = args.Value("site-url");
  if (url) *url = UrlWithAsciiHost(*url);
  return url;
}

}  // namespace orvana::cli
