#include "project/ExtrasText.h"

#include <algorithm>
#include <iterator>
#include <limits>

// The tree's node kinds go first: the notation's keywords of the same names
// would otherwise be shadowed by them.
#include "project/ObjectTextParser.h"

#include "engine/CodePage.h"
#include "engine/Error.h"
#include "project/ObjectText.h"
#include "project/ObjectTextScanner.h"

namespace orvana {
namespace {

namespace ot = object_text;

std::string Prefix() { return std::string(ot::kErrorReading) + std::string(ot::kExtrasObjectName); }

// The syntax error's message with its line counted from the file's start.
std::string FileLineMessage(const std::string& message, int64_t first_line) {
  constexpr std::string_view kOnLine = " on line ";
  const size_t at = message.rfind(kOnLine);
  if (at == std::string::npos) return message;
  const int64_t line = std::stoll(message.substr(at + kOnLine.size()));
  return message.substr(0, at + kOnLine.size()) + std::to_string(line + first_line - 1);
}

// The header's class name when the text starts with an object; empty when
// it does not (or the header is not readable).
std::string HeaderClass(std::string_view text) {
  std::string arena;
  try {
    ot::TScanner scan(text, arena);
    scan.Next();
    if (!scan.IsKeyword(ot::kObject)) return {};
    scan.Next();
    if (scan.kind() != ot::TTokenKind::kSymbol) return {};
    std::string name(scan.symbol());
    scan.Next();
    if (scan.IsChar(':')) {
      scan.Next();
      if (scan.kind() != ot::TTokenKind::kSymbol) return {};
      name = scan.symbol();
    }
    scan.CheckLine();
    return name;
  } catch (const EOrvanaError&) {
    return {};
  }
}

// The number of the line holding text[offset], `first_line` being text[0]'s.
int64_t LineAt(std::string_view text, size_t offset, int64_t first_line) {
  return first_line + std::count(text.begin(), text.begin() + static_cast<ptrdiff_t>(offset), '\n');
}

// Where the first byte above 32 lies from `from` on; npos when none does.
size_t FirstNonBlank(std::string_view text, size_t from) {
  while (from < text.size() && static_cast<unsigned char>(text[from]) <= 32) ++from;
  return from < text.size() ? from : std::string_view::npos;
}

bool IsExtrasHeader(std::string_view text) {
  return ot::EqualsIgnoreCase(HeaderClass(text), ot::kExtrasClassName);
}

// The warning for a trailer that starts with no object, when some later line
// starts an extras block, which is ignored as that text is; empty otherwise.
std::string BlockBehindText(std::string_view trailer, size_t text_at, int64_t first_line) {
  for (size_t lf = trailer.find('\n', text_at); lf != std::string_view::npos;
       lf = trailer.find('\n', lf + 1)) {
    const size_t at = trailer.find_first_not_of(" \t\r", lf + 1);
    if (at == std::string_view::npos) break;
    if (!ot::EqualsIgnoreCase(trailer.substr(at, ot::kObject.size()), ot::kObject) ||
        !IsExtrasHeader(trailer.substr(at)))
      continue;
    return "Ignored the extras block on line " + std::to_string(LineAt(trailer, at, first_line)) +
           ": the text on line " + std::to_string(LineAt(trailer, text_at, first_line)) +
           " stands between it and the project; the extras keep their defaults";
  }
  return {};
}

// The warning for text after the extras block that ends at `end`; empty
// when there is none.
std::string TextAfterBlock(std::string_view trailer, size_t end, int64_t first_line) {
  const size_t at = FirstNonBlank(trailer, end);
  if (at == std::string_view::npos) return {};
  const std::string line = std::to_string(LineAt(trailer, at, first_line));
  if (IsExtrasHeader(trailer.substr(at)))
    return "Ignored the second extras block on line " + line + "; only the first is read";
  return "Ignored the text on line " + line + " after the extras block";
}

// Gives the extra the value when it is of the extra's kind and in its range;
// otherwise the extra is left as it was and the reason is returned.
std::string AssignExtra(const TExtraProperty& info, const ot::TTree& tree, const ot::TNode& value,
                        TOrvanaExtras& extras) {
  switch (info.kind) {
    case TExtraKind::kInteger:
      if (value.kind == ot::TNodeKind::kInteger && !value.too_large && value.integer >= 0 &&
          value.integer <= std::numeric_limits<int32_t>::max()) {
        extras.*(info.integer) = static_cast<int32_t>(value.integer);
        return {};
      }
      break;
    case TExtraKind::kString:
      if (value.kind == ot::TNodeKind::kString) {
        std::string text(tree.Text(value));
        if (info.string == &TOrvanaExtras::LinkSeed && !TOrvanaExtras::ParseLinkSeed(text)) break;
        // A target holding a password is not taken: the password would
        // stay in the file.
        if (info.string == &TOrvanaExtras::PublishTo && PublishTargetHoldsPassword(text)) break;
        extras.*(info.string) = std::move(text);
        return {};
      }
      break;
    case TExtraKind::kBoolean:
      if (value.kind == ot::TNodeKind::kIdent) {
        const std::string_view word = tree.Text(value);
        if (ot::EqualsIgnoreCase(word, ot::kTrue) || ot::EqualsIgnoreCase(word, ot::kFalse)) {
          extras.*(info.boolean) = ot::EqualsIgnoreCase(word, ot::kTrue);
          return {};
        }
      }
      break;
    case TExtraKind::kEncoding:
      // The one place a stored name becomes an encoding: a name that is
      // neither is named in the warning, never taken for either.
      if (value.kind == ot::TNodeKind::kString) {
        const std::string_view name = tree.Text(value);
        if (const std::optional<TOutputEncoding> encoding = ParseOutputEncoding(name)) {
          extras.*(info.encoding) = *encoding;
          return {};
        }
        return "Unknown output encoding '" + std::string(name) +
               "' (expected windows-1251 or utf-8)";
      }
      break;
  }
  return std::string(ot::kInvalidPropertyValue);
}

}  // namespace

bool PublishTargetHoldsPassword(std::string_view url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return false;
  const std::string_view rest = url.substr(scheme + 3);
  const std::string_view authority = rest.substr(0, rest.find('/'));
  const size_t at = authority.rfind('@');
  return at != std::string_view::npos &&
         authority.substr(0, at).find(':') != std::string_view::npos;
}

TOrvanaExtras ReadExtrasText(std::string_view trailer, int64_t first_line,
                             std::vector<std::string>& warnings) {
  TOrvanaExtras extras;
  size_t start = 0;
  while (start < trailer.size() && static_cast<unsigned char>(trailer[start]) <= 32) ++start;
  if (start == trailer.size()) return extras;
  // Text that is no object was always ignored and still is.
  const std::string class_name = HeaderClass(trailer);
  if (class_name.empty()) {
    if (std::string warning = BlockBehindText(trailer, start, first_line); !warning.empty())
      warnings.push_back(std::move(warning));
    return extras;
  }
  if (!ot::EqualsIgnoreCase(class_name, ot::kExtrasClassName)) {
    warnings.push_back("Ignored the object of class " + class_name +
                       " after the project; the extras keep their defaults");
    return extras;
  }
  ot::TTree tree;
  size_t root = 0;
  try {
    root = ot::ParseObjectText(trailer, tree);
  } catch (const EOrvanaError& e) {
    // Errors speak UTF-8; the warnings are the engine's Windows-1251.
    warnings.push_back(Prefix() + ": " + FileLineMessage(Utf8ToCp1251(e.what()), first_line) +
                       "; the extras keep their defaults");
    return extras;
  }
  // The line each extra was first set on, by its place in the table.
  int64_t set_on[std::size(kExtrasProperties)] = {};
  for (size_t i = tree.nodes[root].first_child; i != ot::kNone; i = tree.nodes[i].next) {
    const ot::TNode& property = tree.nodes[i];
    if (property.kind != ot::TNodeKind::kProperty) {
      warnings.push_back(Prefix() + ": a nested object is not an extra; skipped");
      continue;
    }
    const std::string_view name = tree.Text(property);
    const TExtraProperty* info = nullptr;
    for (const TExtraProperty& extra : kExtrasProperties)
      if (ot::EqualsIgnoreCase(name, extra.name)) info = &extra;
    const auto skip = [&](std::string_view inner) {
      warnings.push_back(Prefix() + "." + std::string(name) + ": " + std::string(inner) +
                         "; skipped");
    };
    if (!info) {
      skip(ot::FormatMessage(ot::kPropertyDoesNotExist, {name}));
      continue;
    }
    const int64_t line = property.integer + first_line - 1;
    int64_t& first = set_on[static_cast<size_t>(info - kExtrasProperties)];
    if (first != 0)
      warnings.push_back(Prefix() + "." + std::string(name) + ": set again on line " +
                         std::to_string(line) + " (first on line " + std::to_string(first) + ")");
    else
      first = line;
    if (const std::string problem =
            AssignExtra(*info, tree, tree.nodes[property.first_child], extras);
        !problem.empty())
      skip(problem);
  }
  if (std::string warning = TextAfterBlock(trailer, tree.root_end, first_line); !warning.empty())
    warnings.push_back(std::move(warning));
  return extras;
}

}  // namespace orvana
