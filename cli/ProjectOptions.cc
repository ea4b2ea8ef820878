#include "cli/ProjectOptions.h"

#include <ostream>
#include <random>
#include <utility>

#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/HostName.h"
#include "engine/CodePage.h"
#include "engine/Extras.h"
#include "engine/UrlSafety.h"
#include "project/ExtrasText.h"
#include "publish/PublishTarget.h"

namespace orvana::cli {
namespace {

// Each project option once, with its explanation in the help of `new`.
const TOptionEntry kProjectOptions[] = {
    {"title", true, "T", "site title"},
    {"min", true, "N", "minimum characters per page"},
    {"max", true, "N", "maximum characters per page"},
    {"out", true, "DIR",
     "output folder stored in the project; its name must be\nspelt in Windows-1251"},
    {"text", true, "FILE", "site text; an empty line separates paragraphs"},
    {"links", true, "FILE",
     "link addresses, one per line; blanks around an address\n"
     "are trimmed and blank lines dropped"},
    {"template", true, "FILE", "page template"},
    {"ads", true, "FILE", "advertising block"},
    {"css", true, "FILE", "stylesheet"},
    {"input-encoding", true, "E",
     "the encoding of every FILE: utf-8 (the default) or\nwindows-1251"},
    {"preset", true, "modern",
     "the modern template and stylesheet (HTML5, UTF-8, readable\n"
     "on a phone), no advertising block, --pager-window 2,\n"
     "--safe-links and --output-encoding utf-8; the options\n"
     "below and --template, --ads and --css still change it"},
    {"pager-window", true, "K",
     "show in each pagination bar the first and last page and\n"
     "the pages within K of the current one, gaps as \"...\""},
    {"menu-window", true, "K", "the same for each page's menu"},
    {"page-word", true, "W", "the word before the number in page titles (\"Раздел\")"},
    {"index-label", true, "L", "the first page's title (\"index\")"},
    {"safe-links", false, nullptr, "link whole words of plain text only, one occurrence each"},
    {"link-rel", true, "R", "give every inserted link rel=\"R\""},
    {"output-encoding", true, "E",
     "write pages and style.css in E: windows-1251 (the\n"
     "default) or utf-8, which adds a charset meta to pages\n"
     "that declare none"},
    {"site-url", true, "U",
     "also write sitemap.xml, listing the pages under U, an\n"
     "absolute http or https address without blanks, query\n"
     "or fragment"},
    {"prune", false, nullptr, "after a build, remove pageN.html files beyond the new\npage count"},
    {"publish-to", true, "URL",
     "where `publish` sends the site: sftp://USER@HOST[:PORT]/PATH,\n"
     "ftp://... (TLS before the user name) or ftps://...;\n"
     "never with a password; \"\" removes it"},
    {"link-seed", true, "N",
     "pick the linked words of every build with seed N (0 to\n"
     "18446744073709551615), so that an unchanged project gives\n"
     "the same pages; \"random\" draws one, \"none\" removes it"},
};

// The stored form of --link-seed's value: the number, a drawn one for
// "random", empty for "none".
std::string LinkSeedOption(const std::string& value) {
  if (value == "none") return {};
  if (value == "random") {
    std::random_device device;
    return std::to_string(uint64_t{device()} << 32 | device());
  }
  if (!ParseUnsigned64(value))
    throw EUsageError("invalid link seed '" + value +
                      "': expected a number from 0 to 18446744073709551615, random or none");
  // Stored as the number reads, without leading zeros.
  return std::to_string(*ParseUnsigned64(value));
}

}  // namespace

TOptionEntry ProjectOption(std::string_view name) {
  for (const TOptionEntry& entry : kProjectOptions)
    if (name == entry.name) return entry;
  throw std::logic_error("no project option --" + std::string(name));
}

TInputEncoding InputEncodingOption(const TCommandArgs& args) {
  const auto v = args.Value("input-encoding");
  if (!v) return TInputEncoding::kUtf8;
  const auto parsed = ParseInputEncoding(*v);
  if (!parsed)
    throw EUsageError("invalid input encoding '" + *v + "': expected utf-8 or windows-1251");
  return *parsed;
}

void RefuseTwoStandardInputs(const TCommandArgs& args) {
  std::string stdin_option;
  for (const char* option : kFileOptions) {
    if (args.Value(option) != "-") continue;
    if (!stdin_option.empty())
      throw EUsageError("--" + stdin_option + " and --" + option +
                        " both read standard input ('-'); only one FILE option can");
    stdin_option = option;
  }
}

bool ModernPresetOption(const TCommandArgs& args) {
  const auto v = args.Value("preset");
  if (!v) return false;
  if (*v != "modern") throw EUsageError("invalid preset '" + *v + "': expected modern");
  return true;
}

TOrvanaExtras ExtrasOptions(const TCommandArgs& args, TOrvanaExtras extras) {
  for (const auto& [on, off] : kOnOffOptions)
    if (args.Flag(on) && args.Flag(off))
      throw EUsageError(std::string("--") + on + " and --" + off + " contradict each other");
  const auto window = [&](const char* option, int32_t& field) {
    if (const auto v = args.Value(option)) {
      field = IntegerOption(option, *v);
      if (field < 0)
        throw EUsageError(std::string("--") + option + ": the window cannot be negative",
                          /*hint=*/false);
    }
  };
  window("pager-window", extras.PagerWindow);
  window("menu-window", extras.MenuWindow);
  if (const auto v = args.Value("page-word")) extras.PageWord = Utf8ToCp1251(*v);
  if (const auto v = args.Value("index-label")) extras.IndexLabel = Utf8ToCp1251(*v);
  if (args.Flag("safe-links")) extras.SafeLinks = true;
  if (const auto v = args.Value("link-rel")) extras.LinkRel = Utf8ToCp1251(*v);
  if (const auto v = args.Value("output-encoding")) {
    const std::optional<TOutputEncoding> encoding = ParseOutputEncoding(*v);
    if (!encoding)
      throw EUsageError("invalid output encoding '" + *v + "': expected windows-1251 or utf-8");
    extras.OutputEncoding = *encoding;
  }
  if (const auto v = SiteUrlOption(args)) {
    extras.SiteUrl = Utf8ToCp1251(*v);
    // A '?' for a character the code page lacks would make another address.
    std::string problem = SiteUrlProblem(extras.SiteUrl);
    if (problem.empty() && CharactersOutsideCp1251(*v) != 0)
      problem = "it holds characters outside Windows-1251";
    if (!problem.empty())
      throw EUsageError("--site-url: '" + *v + "' cannot be the site's address: " + problem,
                        /*hint=*/false);
  }
  if (const auto v = args.Value("link-seed")) extras.LinkSeed = LinkSeedOption(*v);
  if (const auto v = args.Value("publish-to")) {
    extras.PublishTo.clear();
    if (!v->empty()) try {
        extras.PublishTo = Utf8ToCp1251(publish::ParsePublishTarget(*v).Url());
      } catch (const publish::EPublishUsage& e) {
        throw EUsageError("--publish-to: " + std::string(e.what()), /*hint=*/false);
      }
  }
  if (args.Flag("prune")) extras.PruneStale = true;
  if (args.Flag("no-safe-links")) extras.SafeLinks = false;
  if (args.Flag("no-prune")) extras.PruneStale = false;
  return extras;
}

void WarnOfLostCharacters(const TCommandArgs& args, std::ostream& err) {
  for (const char* option : {"title", "page-word", "index-label", "link-rel"})
    if (const auto v = args.Value(option))
      if (const size_t n = CharactersOutsideCp1251(*v))
        err << "orvana-cli: warning: --" << option << ": " << Counted(n, "character", "characters")
            << " outside Windows-1251 became '?'\n";
}

TStringList ReadFileOption(const char* option, const std::string& path, TInputEncoding encoding,
                           std::ostream& err) {
  TInputText input = ReadInputText(path, encoding, option);
  if (input.unmapped != 0)
    err << "orvana-cli: warning: " << InputName(path) << ": "
        << Counted(input.unmapped, "character", "characters")
        << " outside Windows-1251 became '?', "
        << (input.unmapped == 1 ? "on line " : "the first on line ") << input.first_unmapped_line
        << '\n';
  if (std::string_view(option) == "links") {
    // Blanks around an address would go into its href, percent-encoded,
    // and make it another address; a blank line is no address, yet words
    // would be linked to it.
    if (const size_t n = TrimAddressBlanks(input.lines))
      err << "orvana-cli: warning: " << InputName(path) << ": "
          << Counted(n, "address", "addresses") << " trimmed of the blanks around them\n";
    if (const size_t n = DropBlankLines(input.lines))
      err << "orvana-cli: warning: " << InputName(path) << ": "
          << Counted(n, "blank line", "blank lines") << " dropped\n";
  }
  return std::move(input.lines);
}

}  // namespace orvana::cli
