// The project's extras: opt-in improvements of the generated site that go
// beyond the classic output. Every default gives the classic output, byte for
// byte; a project whose extras are all at their defaults stores none of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvana {

// The encoding pages and style.css are written in.
enum class TOutputEncoding { kWindows1251, kUtf8 };

// The encoding's name as the project file, the command line and the report
// spell it: "windows-1251" or "utf-8".
constexpr std::string_view OutputEncodingName(TOutputEncoding encoding) {
  return encoding == TOutputEncoding::kUtf8 ? "utf-8" : "windows-1251";
}

// The encoding a name stands for, its ASCII letters in any case; nothing for
// any other name. The one place a name becomes an encoding.
std::optional<TOutputEncoding> ParseOutputEncoding(std::string_view name);

// The value of a decimal number of digits only (no sign, no blanks) that
// fits into 64 bits; none for anything else, the empty text included.
inline std::optional<uint64_t> ParseDecimal(std::string_view text) {
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

struct TOrvanaExtras {
  // 0: the full pagination bar. K >= 1: the first and the last page's numbers
  // and those within K of the current page, each longer run of hidden numbers
  // shown as one plain "…".
  int32_t PagerWindow = 0;
  // 0: the full menu. K >= 1: index, the last page and the pages within K of
  // the current one, with a plain "…" entry for each gap.
  int32_t MenuWindow = 0;
  // The word before the number in page titles and menu entries, and the
  // first page's label (Windows-1251).
  std::string PageWord = "\xD0\xE0\xE7\xE4\xE5\xEB";  // "Раздел"
  std::string IndexLabel = "index";
  // Links only on whole words, never inside tags, attributes or links, one
  // occurrence each, each address at most once a page.
  bool SafeLinks = false;
  // Inserted links get rel="LinkRel" when not empty.
  std::string LinkRel;
  TOutputEncoding OutputEncoding = TOutputEncoding::kWindows1251;
  // When not empty, sitemap.xml lists every page under this address.
  std::string SiteUrl;
  // After a successful build, pageN.html files beyond the new page count go.
  bool PruneStale = false;
  // When not empty, the decimal seed (0 to 2^64 - 1) every build of the
  // project picks its linked words with, so that an unchanged project gives
  // the same pages byte for byte; empty: a new choice each build.
  std::string LinkSeed;
  // Where the site is published: sftp://, ftp:// (TLS before the user name)
  // or ftps:// (implicit TLS), USER@HOST[:PORT]/PATH; never a password.
  std::string PublishTo;

  // The stored link seed's value, or none when there is none or it is not
  // a decimal number in range.
  std::optional<uint64_t> StoredLinkSeed() const { return ParseLinkSeed(LinkSeed); }
  static std::optional<uint64_t> ParseLinkSeed(std::string_view text) {
    if (text.size() > 20) return std::nullopt;
    return ParseDecimal(text);
  }

  bool operator==(const TOrvanaExtras&) const = default;
  bool IsDefault() const { return *this == TOrvanaExtras{}; }
};

// The extras as properties, by name and kind, in the order the project file
// and `show --json` give them: what the reader, the writer and the JSON walk.
enum class TExtraKind { kInteger, kString, kBoolean, kEncoding };

struct TExtraProperty {
  std::string_view name;
  TExtraKind kind;
  int32_t TOrvanaExtras::*integer = nullptr;
  std::string TOrvanaExtras::*string = nullptr;
  bool TOrvanaExtras::*boolean = nullptr;
  TOutputEncoding TOrvanaExtras::*encoding = nullptr;
};

inline const TExtraProperty kExtrasProperties[] = {
    {"PagerWindow", TExtraKind::kInteger, &TOrvanaExtras::PagerWindow},
    {"MenuWindow", TExtraKind::kInteger, &TOrvanaExtras::MenuWindow},
    {"PageWord", TExtraKind::kString, nullptr, &TOrvanaExtras::PageWord},
    {"IndexLabel", TExtraKind::kString, nullptr, &TOrvanaExtras::IndexLabel},
    {"SafeLinks", TExtraKind::kBoolean, nullptr, nullptr, &TOrvanaExtras::SafeLinks},
    {"LinkRel", TExtraKind::kString, nullptr, &TOrvanaExtras::LinkRel},
    {"OutputEncoding", TExtraKind::kEncoding, nullptr, nullptr, nullptr,
     &TOrvanaExtras::OutputEncoding},
    {"SiteUrl", TExtraKind::kString, nullptr, &TOrvanaExtras::SiteUrl},
    {"PruneStale", TExtraKind::kBoolean, nullptr, nullptr, &TOrvanaExtras::PruneStale},
    {"LinkSeed", TExtraKind::kString, nullptr, &TOrvanaExtras::LinkSeed},
    {"PublishTo", TExtraKind::kString, nullptr, &TOrvanaExtras::PublishTo},
};

}  // namespace orvana
