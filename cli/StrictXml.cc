#include "cli/StrictXml.h"

#include <algorithm>
#include <set>

#include "engine/CodePage.h"

namespace orvana::cli {
namespace {

// The first fault found: where and what. Thrown inside the reader only.
struct TXmlFault {
  size_t at;
  std::string what;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsNameStart(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
}

bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

bool IsXmlChar(long c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Every byte sequence must be UTF-8 and every character one XML allows.
void CheckCharacters(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x80) {
      ++i;
      continue;
    }
    size_t length = 1;
    const long code = c < 0x80 ? c : DecodeUtf8(text.substr(i), length);
    if (code < 0) throw TXmlFault{i, "bytes that are not UTF-8"};
    if (!IsXmlChar(code)) throw TXmlFault{i, "a control character XML does not allow"};
    i += length;
  }
}

class TXmlReader {
 public:
  explicit TXmlReader(std::string_view text) : text_(text) {}

  void Read(TXmlDocument& doc) {
    CheckCharacters(text_);
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
    if (At("<?xml") && pos_ + 5 < text_.size() && IsSpace(text_[pos_ + 5])) Declaration();
    Misc();
    if (At("<") && pos_ + 1 < text_.size() && IsNameStart(text_[pos_ + 1])) {
      Element(doc);
    } else {
      throw TXmlFault{pos_, "no root element"};
    }
    Misc();
    if (pos_ < text_.size()) throw TXmlFault{pos_, "content after the root element"};
  }

 private:
  bool At(std::string_view s) const { return text_.substr(pos_, s.size()) == s; }
  void SkipSpace() {
    while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
  }
  void Expect(std::string_view s, const char* what) {
    if (!At(s)) throw TXmlFault{pos_, what};
    pos_ += s.size();
  }

  std::string_view Name() {
    const size_t start = pos_;
    if (pos_ >= text_.size() || !IsNameStart(text_[pos_])) throw TXmlFault{pos_, "a name expected"};
    while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
  }

  // "&...;" at pos_, appended decoded.
  void Reference(std::string& out) {
    const size_t start = pos_++;
    const size_t semicolon = text_.find(';', pos_);
    if (semicolon == std::string_view::npos || semicolon - pos_ > 10)
      throw TXmlFault{start, "'&' that starts no entity (write &amp;)"};
    const std::string_view body = text_.substr(pos_, semicolon - pos_);
    pos_ = semicolon + 1;
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [name, c] : kNamed)
      if (body == name) return out.push_back(c);
    long code = -1;
    if (body.size() > 1 && body[0] == '#') {
      const bool hex = body[1] == 'x';
      const std::string_view digits = body.substr(hex ? 2 : 1);
      code = digits.empty() ? -1 : 0;
      for (const char c : digits) {
        const int d = (c >= '0' && c <= '9')          ? c - '0'
                      : hex && (c >= 'a' && c <= 'f') ? c - 'a' + 10
                      : hex && (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                      : -1;
        if (d < 0 || code > 0x10FFFF) {
          code = -1;
          break;
        }
        code = code * (hex ? 16 : 10) + d;
      }
    }
    if (!IsXmlChar(code)) throw TXmlFault{start, "unknown entity &" + std::string(body) + ";"};
    AppendUtf8(out, static_cast<char32_t>(code));
  }

  // Attributes up to '>' or "/>" (or "?>" in the declaration); returns their
  // names and values.
  std::vector<std::pair<std::string, std::string>> Attributes(std::string_view end) {
    std::vector<std::pair<std::string, std::string>> attributes;
    std::set<std::string_view> seen;
    for (;;) {
      const size_t before = pos_;
      SkipSpace();
      if (At(">") || At("/>") || At(end)) return attributes;
      if (pos_ == before) throw TXmlFault{pos_, "a space expected between attributes"};
      const std::string_view name = Name();
      if (!seen.insert(name).second)
        throw TXmlFault{pos_, "attribute " + std::string(name) + " given twice"};
      SkipSpace();
      Expect("=", "'=' expected after an attribute name");
      SkipSpace();
      if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\''))
        throw TXmlFault{pos_, "attribute " + std::string(name) + " has an unquoted value"};
      const char quote = text_[pos_++];
      std::string value;
      while (pos_ < text_.size() && text_[pos_] != quote) {
        if (text_[pos_] == '<') throw TXmlFault{pos_, "'<' inside an attribute value"};
        if (text_[pos_] == '&') {
          Reference(value);
        } else {
          value += text_[pos_++];
        }
      }
      if (pos_ >= text_.size()) throw TXmlFault{pos_, "attribute value never closed"};
      ++pos_;
      attributes.emplace_back(name, std::move(value));
    }
  }

  void Declaration() {
    pos_ += 5;
    const auto attributes = Attributes("?>");
    if (attributes.empty() || attributes[0].first != "version")
      throw TXmlFault{pos_, "XML declaration without its version"};
    for (const auto& [name, value] : attributes) {
      std::string lower = value;
      std::transform(lower.begin(), lower.end(), lower.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      if (name == "encoding" && lower != "utf-8" && lower != "utf8")
        throw TXmlFault{pos_, "encoding \"" + value + "\" (only UTF-8 is read)"};
    }
    Expect("?>", "XML declaration not closed by '?>'");
  }

  // What may stand between the declaration, the root and the end:
  // white space, comments and processing instructions.
  void Misc() {
    for (;;) {
      SkipSpace();
      if (At("<!--")) {
        Comment();
      } else if (At("<?")) {
        Instruction();
      } else if (At("<!")) {
        throw TXmlFault{pos_, "a DOCTYPE or other declaration (not allowed here)"};
      } else {
        return;
      }
    }
  }

  void Comment() {
    const size_t end = text_.find("--", pos_ + 4);
    if (end == std::string_view::npos) throw TXmlFault{pos_, "comment never closed"};
    if (text_.substr(end, 3) != "-->") throw TXmlFault{end, "\"--\" inside a comment"};
    pos_ = end + 3;
  }

  void Instruction() {
    pos_ += 2;
    std::string target(Name());
    std::transform(target.begin(), target.end(), target.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (target == "xml") throw TXmlFault{pos_, "XML declaration not at the start"};
    const size_t end = text_.find("?>", pos_);
    if (end == std::string_view::npos) throw TXmlFault{pos_, "processing instruction never closed"};
    pos_ = end + 2;
  }

  // The root element and everything inside it, with an explicit stack so
  // that deep nesting cannot overflow the call stack.
  void Element(TXmlDocument& doc) {
    std::vector<int> open;
    do {
      const size_t lt = pos_;
      if (At("</")) {
        pos_ += 2;
        const std::string_view name = Name();
        if (name != doc.elements[open.back()].name)
          throw TXmlFault{
              lt, "</" + std::string(name) + "> closes <" + doc.elements[open.back()].name + ">"};
        SkipSpace();
        Expect(">", "'>' expected to end the end tag");
        open.pop_back();
      } else if (At("<!--")) {
        Comment();
      } else if (At("<![CDATA[")) {
        const size_t end = text_.find("]]>", pos_);
        if (end == std::string_view::npos) throw TXmlFault{pos_, "CDATA section never closed"};
        doc.elements[open.back()].text.append(text_.substr(pos_ + 9, end - pos_ - 9));
        pos_ = end + 3;
      } else if (At("<?")) {
        Instruction();
      } else if (At("<!")) {
        throw TXmlFault{pos_, "a declaration inside an element"};
      } else if (At("<")) {
        ++pos_;
        TXmlElement element{std::string(Name()), open.empty() ? -1 : open.back(), {}};
        Attributes(">");
        doc.elements.push_back(std::move(element));
        if (At("/>")) {
          pos_ += 2;
        } else {
          Expect(">", "'>' expected to end the tag");
          open.push_back(static_cast<int>(doc.elements.size()) - 1);
        }
      } else {
        Text(doc.elements[open.back()].text);
      }
      if (!open.empty() && pos_ >= text_.size())
        throw TXmlFault{pos_, "<" + doc.elements[open.back()].name + "> never closed"};
    } while (!open.empty());
  }

  void Text(std::string& out) {
    while (pos_ < text_.size() && text_[pos_] != '<') {
      if (text_[pos_] == '&') {
        Reference(out);
      } else if (At("]]>")) {
        throw TXmlFault{pos_, "\"]]>\" in text"};
      } else {
        out += text_[pos_++];
      }
    }
  }

  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace

TXmlDocument ReadStrictXml(std::string_view text) {
  TXmlDocument doc;
  try {
    TXmlReader(text).Read(doc);
  } catch (const TXmlFault& fault) {
    doc.error = fault.what;
    const size_t at = std::min(fault.at, text.size());
    doc.error_line = 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + at, '\n'));
  }
  return doc;
}

std::string_view XmlLocalName(std::string_view name) {
  const size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

}  // namespace orvana::cli
