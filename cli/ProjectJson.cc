#include "cli/ProjectJson.h"

#include <cstdio>

#include "engine/CodePage.h"

namespace orvana::cli {
namespace {

void AppendString(std::string& out, std::string_view cp1251) {
  out += JsonQuote(Cp1251ToUtf8(cp1251));
}

void AppendPages(std::string& out, const TSitePages& pages);

// Walks the class's published table, so a property added to the engine shows
// up here without a change.
template <class T>
void AppendObject(std::string& out, const TClassInfo<T>& info, const T& object) {
  out += '{';
  bool first = true;
  for (const TPropInfo<T>& prop : info.properties) {
    if (!first) out += ',';
    first = false;
    out += JsonQuote(prop.name);
    out += ':';
    switch (prop.kind) {
      case TPropKind::String:
        if (prop.platform_text)
          out += JsonQuote(prop.GetString(object));
        else
          AppendString(out, prop.GetString(object));
        break;
      case TPropKind::Integer:
        out += std::to_string(prop.GetInteger(object));
        break;
      case TPropKind::StringList: {
        out += '[';
        const TStringList& lines = prop.GetList(object);
        for (size_t i = 0; i < lines.size(); ++i) {
          if (i > 0) out += ',';
          AppendString(out, lines[i]);
        }
        out += ']';
        break;
      }
      case TPropKind::Collection:
        AppendPages(out, prop.GetConstPages(object));
        break;
    }
  }
  out += '}';
}

void AppendPages(std::string& out, const TSitePages& pages) {
  out += '[';
  for (int i = 0; i < pages.Count(); ++i) {
    if (i > 0) out += ',';
    AppendObject(out, SitePageClass(), pages[i]);
  }
  out += ']';
}

}  // namespace

std::string JsonQuote(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + 2);
  out += '"';
  for (const char c : utf8) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
          out += escape;
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::string ExtrasToJson(const TOrvanaExtras& e) {
  std::string out;
  char separator = '{';
  for (const TExtraProperty& p : kExtrasProperties) {
    // The stored seed and publish target are listed only when set, so that
    // a project without them is shown as before they existed.
    const bool listed_when_set =
        p.string == &TOrvanaExtras::LinkSeed || p.string == &TOrvanaExtras::PublishTo;
    if (listed_when_set && (e.*p.string).empty()) continue;
    out += separator;
    separator = ',';
    out += '"';
    out += p.name;
    out += "\":";
    switch (p.kind) {
      case TExtraKind::kInteger:
        out += std::to_string(e.*p.integer);
        break;
      case TExtraKind::kString:
        AppendString(out, e.*p.string);
        break;
      case TExtraKind::kBoolean:
        out += e.*p.boolean ? "true" : "false";
        break;
      case TExtraKind::kEncoding:
        AppendString(out, std::string(OutputEncodingName(e.*p.encoding)));
        break;
    }
  }
  return out + "}";
}

std::string GeneratorToJson(const TSiteGenerator& generator) {
  std::string out;
  AppendObject(out, SiteGeneratorClass(), generator);
  const TOrvanaExtras& e = generator.Extras();
  if (e.IsDefault()) return out;
  // The extras, only when some differs from its default: every one of them,
  // under its property name.
  out.pop_back();
  out += ",\"Extras\":" + ExtrasToJson(e) + "}";
  return out;
}

}  // namespace orvana::cli
