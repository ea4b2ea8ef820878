// The object notation of project files: the keywords, signs, layout numbers
// and messages that the writer (ObjectTextWriter.cc) and the reader
// (ObjectTextReader.cc with its scanner, parser and assigner) share.
//
// A file is one object:
//
//   object [NAME:] CLASS ["[" integer "]"]
//     PROPERTY = VALUE          (PROPERTY: identifiers joined by dots)
//     ...
//     [nested objects]
//   end
//
// Values are integers (decimal, or hexadecimal after "$"), strings (quoted
// runs and "#" codes, joined with "+"), identifiers, lists "( ... )",
// collections "< item ... end ... >", sets "[a, b]", raw data "{hex}" and
// floating-point numbers. The writer produces only the first five; the reader
// accepts all of them. How the reader settles what the notation leaves open:
//
// - Tokens are separated by any bytes up to 32; lines are counted at each LF,
//   from 1. Keywords (object, inherited, inline, end, item) and property
//   names are matched without regard to ASCII letter case; an error message
//   quotes a property name as the file spells it.
// - A line that the reader reaches and that holds kMaxLineBytes bytes or more
//   before its LF (or before the end of the text) fails with "Line too long":
//   the reader's buffer holds one line and its LF. Text after the final "end"
//   is never looked at, long lines included. The writer's lines stay far
//   below the limit.
// - Bytes above 127 inside a quoted run are Windows-1251 characters and are
//   kept as they stand. A quoted run ends with an error at CR, LF, byte 0 or
//   the end of the text. "#" takes decimal digits or "$" and hexadecimal
//   digits; a code without digits or above 65535 is an "Invalid string
//   constant". Codes go through UTF-16 to Windows-1251: a character the code
//   page lacks becomes '?', a surrogate pair one '?'.
// - Integers of any length are read; one beyond 64 bits is kept as "too
//   large", and an integer property takes only values in the signed 32-bit
//   range. "$" digits are an unsigned magnitude, so $FFFFFFFF is 4294967295
//   (too large), never -1. A "-" or "$" without digits is "Number expected".
// - Floating-point numbers (digits followed by ".", "e" or "E"), sets,
//   identifiers and raw data are checked for syntax and, given to a property,
//   are values of the wrong kind ("Invalid property value").
// - Nested objects after the properties are checked for syntax and ignored;
//   after the first one, only further objects or "end" may follow ("OBJECT
//   expected"). Nesting of lists, collections and objects has no depth limit:
//   the reader keeps its own stack, never the machine's.
// - A header without a name leaves the generator's name as it was.
// - "SiteText.Strings" and "SiteUrlsToLink.Strings" take a list of strings;
//   a list element of another kind makes the whole value invalid and the list
//   keeps its old lines. A page collection is filled item by item in file
//   order, so a bad page property leaves the pages read before it in place.
// - In a dotted name, the message names the first part that does not resolve:
//   "SiteTemplate.X" and "SiteText.Foo" report X and Foo.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace orvana::object_text {

// --- Keywords (matched without regard to case when read) -------------------
inline constexpr std::string_view kObject = "object";
inline constexpr std::string_view kInherited = "inherited";
inline constexpr std::string_view kInline = "inline";
inline constexpr std::string_view kEnd = "end";
inline constexpr std::string_view kItem = "item";
// A string list property is written under its name followed by this.
inline constexpr std::string_view kListSuffix = "Strings";

// --- The extras ----------------------------------------------------------
// The extras follow the root object's final "end" as a second object,
// "object OrvanaExtras: TOrvanaExtras", which readers that stop at that
// "end" never see. Booleans are the identifiers True and False.
inline constexpr std::string_view kExtrasObjectName = "OrvanaExtras";
inline constexpr std::string_view kExtrasClassName = "TOrvanaExtras";
inline constexpr std::string_view kTrue = "True";
inline constexpr std::string_view kFalse = "False";

// --- Layout ---------------------------------------------------------------
inline constexpr std::string_view kLineEnd = "\r\n";
// Blanks per nesting level.
inline constexpr int kIndentWidth = 2;
// Characters of one string on one output line; longer strings start on a
// line of their own and are cut with kStringJoin.
inline constexpr size_t kMaxStringCharsPerLine = 64;
inline constexpr std::string_view kStringJoin = " +";
// The reader's line buffer: a line and its LF must fit.
inline constexpr size_t kMaxLineBytes = 4096;

// --- Messages ---------------------------------------------------------------
// Syntax errors: the inner text, then kSyntaxErrorFormat.
inline constexpr std::string_view kSyntaxErrorFormat = "%s on line %d";
inline constexpr std::string_view kExpected = "%s expected";          // OBJECT, item
inline constexpr std::string_view kCharExpected = "''%s'' expected";  // =, ], ), ...
inline constexpr std::string_view kIdentifierExpected = "Identifier expected";
inline constexpr std::string_view kStringExpected = "String expected";
inline constexpr std::string_view kNumberExpected = "Number expected";
inline constexpr std::string_view kInvalidString = "Invalid string constant";
inline constexpr std::string_view kInvalidPropertyValue = "Invalid property value";
inline constexpr std::string_view kInvalidBinary = "Invalid binary value";
inline constexpr std::string_view kLineTooLong = "Line too long";
// Assignment errors: "Error reading " OBJECT "." PROPERTY ": " INNER.
inline constexpr std::string_view kErrorReading = "Error reading ";
inline constexpr std::string_view kPropertyDoesNotExist = "Property %s does not exist";
inline constexpr std::string_view kComponentExists = "A component named %s already exists";
// File errors.
inline constexpr std::string_view kCannotCreateFile = "Cannot create file \"%s\". %s";
inline constexpr std::string_view kStreamWriteError = "Stream write error";
inline constexpr std::string_view kCannotOpenFile = "Cannot open file \"%s\". %s";

// Names and keywords compare equal when they differ only in the letter case
// of ASCII letters.
inline bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// The format with each "%s" or "%d" replaced, in order, by the next argument
// (numbers are passed already in decimal).
inline std::string FormatMessage(std::string_view format,
                                 std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(format.size() + 64);
  auto arg = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() &&
        (format[i + 1] == 's' || format[i + 1] == 'd') && arg != args.end()) {
      out += *arg++;
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

}  // namespace orvana::object_text
