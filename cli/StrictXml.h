// A small strict XML reader for the files a site publishes beside its pages,
// such as sitemap.xml.
//
// It accepts well-formed XML 1.0 in UTF-8 and nothing else: one root element,
// start and end tags balanced, attribute values quoted and unique, every '&'
// starting one of the five predefined entities or a character reference to a
// character XML allows, no '<' inside a value and no DOCTYPE (a sitemap has
// none, and entities it could declare would make "valid" mean much more).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvana::cli {

struct TXmlElement {
  std::string name;  // as written, namespace prefix included
  int parent = -1;   // index of the enclosing element; -1 for the root
  // The element's own character data, entities and CDATA sections decoded;
  // the text of its child elements is not part of it.
  std::string text;
};

struct TXmlDocument {
  // Every element in document order; the root comes first. Empty, or
  // incomplete, when the text is not well-formed.
  std::vector<TXmlElement> elements;
  std::string error;      // what is wrong first; empty for a well-formed text
  size_t error_line = 0;  // the 1-based line of the fault
};

// Reads `text` (the file's bytes). A UTF-8 byte-order mark at the start is
// allowed; an XML declaration may name the encoding UTF-8 only.
TXmlDocument ReadStrictXml(std::string_view text);

// The part of an element name after its namespace prefix ("sm:loc" -> "loc").
std::string_view XmlLocalName(std::string_view name);

}  // namespace orvana::cli
