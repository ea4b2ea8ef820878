// The object-notation reader: ReadProjectText of ProjectFile.h.
//
// The syntax pass turns the whole text into a flat tree (nodes in one vector,
// linked by index, decoded strings in one arena) before anything is assigned,
// so a syntax error leaves the generator untouched. The parser keeps its own
// stack of open lists, collections, items and objects: no input nests the
// machine's stack, and freeing the tree never recurses.

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "CodePage.h"
#include "Error.h"
#include "ObjectText.h"
#include "ProjectFile.h"
#include "SiteGenerator.h"

namespace orvana {
namespace {

namespace ot = object_text;

constexpr size_t kNone = std::numeric_limits<size_t>::max();

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
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

bool IsIdentStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(unsigned char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// --- Syntax tree ---------------------------------------------------------------

enum class TNodeKind : uint8_t {
  kObject,    // text: the header's name (may be empty); children: properties, objects
  kProperty,  // text: the dotted name; first_child: the value
  kItem,      // children: properties
  kString,    // text: the decoded Windows-1251 bytes
  kInteger,   // integer, too_large
  kFloat,
  kIdent,
  kList,        // children: values
  kCollection,  // children: items
  kSet,
  kBinary,
};

struct TNode {
  TNodeKind kind;
  bool too_large = false;
  int64_t integer = 0;
  size_t text_begin = 0;  // into the arena
  size_t text_length = 0;
  size_t first_child = kNone;
  size_t last_child = kNone;
  size_t next = kNone;
};

struct TTree {
  std::vector<TNode> nodes;
  std::string arena;

  std::string_view Text(const TNode& node) const {
    return std::string_view(arena).substr(node.text_begin, node.text_length);
  }
};

// --- Scanner -------------------------------------------------------------------

enum class TTokenKind : uint8_t { kEof, kSymbol, kString, kInteger, kFloat, kChar };

class TScanner {
 public:
  TScanner(std::string_view text, std::string& arena) : text_(text), arena_(arena) { EnterLine(0); }

  TTokenKind kind() const { return kind_; }
  char ch() const { return ch_; }
  // The symbol's bytes (kSymbol).
  std::string_view symbol() const { return text_.substr(token_begin_, token_end_ - token_begin_); }
  // The decoded string in the arena (kString).
  size_t string_begin() const { return string_begin_; }
  size_t string_end() const { return string_end_; }
  int64_t integer() const { return integer_; }
  bool too_large() const { return too_large_; }

  bool IsChar(char c) const { return kind_ == TTokenKind::kChar && ch_ == c; }
  bool IsKeyword(std::string_view word) const {
    return kind_ == TTokenKind::kSymbol && EqualsIgnoreCase(symbol(), word);
  }

  [[noreturn]] void Fail(std::string_view inner) const {
    throw EOrvanaError(ot::FormatMessage(ot::kSyntaxErrorFormat, {inner, std::to_string(line_)}));
  }

  void Next() {
    SkipBlanks();
    token_begin_ = pos_;
    if (pos_ >= text_.size()) {
      kind_ = TTokenKind::kEof;
      return;
    }
    const unsigned char c = At(pos_);
    if (IsIdentStart(c)) {
      ++pos_;
      while (pos_ < text_.size() && IsIdentChar(At(pos_))) ++pos_;
      token_end_ = pos_;
      kind_ = TTokenKind::kSymbol;
    } else if (c == '\'' || c == '#') {
      ScanString();
    } else if (c == '$') {
      ++pos_;
      ScanHex();
    } else if (c == '-' || IsDigit(c)) {
      ScanNumber();
    } else {
      ++pos_;
      ch_ = static_cast<char>(c);
      kind_ = TTokenKind::kChar;
    }
  }

  // Raw data after the current "{" token: pairs of hexadecimal digits with
  // blanks allowed between pairs, up to "}". Leaves the scanner on the token
  // after "}".
  void SkipBinary() {
    for (;;) {
      SkipBlanks();
      if (pos_ < text_.size() && At(pos_) == '}') break;
      if (pos_ + 1 >= text_.size() || HexValue(At(pos_)) < 0 || HexValue(At(pos_ + 1)) < 0)
        Fail(ot::kInvalidBinary);
      pos_ += 2;
    }
    ++pos_;
    Next();
  }

 private:
  unsigned char At(size_t i) const { return static_cast<unsigned char>(text_[i]); }

  // The reader sees the text one line at a time; a line that fills its buffer
  // without an LF cannot be read.
  void EnterLine(size_t start) {
    if (start >= text_.size()) return;
    const void* lf = std::memchr(text_.data() + start, '\n', text_.size() - start);
    const size_t end =
        lf ? static_cast<size_t>(static_cast<const char*>(lf) - text_.data()) : text_.size();
    if (end - start >= ot::kMaxLineBytes) Fail(ot::kLineTooLong);
  }

  void SkipBlanks() {
    while (pos_ < text_.size() && At(pos_) <= 32) {
      if (At(pos_) == '\n') {
        ++line_;
        EnterLine(pos_ + 1);
      }
      ++pos_;
    }
  }

  // Adjacent quoted runs and "#" codes, decoded into the arena. Codes are
  // UTF-16 units; a pair of surrogates is one character the code page lacks.
  void ScanString() {
    kind_ = TTokenKind::kString;
    string_begin_ = arena_.size();
    bool pending_high = false;
    for (;;) {
      if (pos_ >= text_.size()) break;
      const unsigned char c = At(pos_);
      if (c == '#') {
        ++pos_;
        // Most codes in a file are Cyrillic letters, "#" and four decimal
        // digits; they skip the general loop and the code-page search.
        if (pos_ + 4 < text_.size() && IsDigit(At(pos_)) && IsDigit(At(pos_ + 1)) &&
            IsDigit(At(pos_ + 2)) && IsDigit(At(pos_ + 3)) && !IsDigit(At(pos_ + 4)) &&
            !pending_high) {
          const uint32_t code = (At(pos_) - '0') * 1000u + (At(pos_ + 1) - '0') * 100u +
                                (At(pos_ + 2) - '0') * 10u + (At(pos_ + 3) - '0');
          if (code >= 0x410 && code <= 0x44F) {
            arena_ += static_cast<char>(code - 0x410 + 0xC0);
            pos_ += 4;
            continue;
          }
        }
        uint32_t code = 0;
        size_t digits = 0;
        if (pos_ < text_.size() && At(pos_) == '$') {
          ++pos_;
          int h;
          while (pos_ < text_.size() && (h = HexValue(At(pos_))) >= 0) {
            code = code * 16 + static_cast<uint32_t>(h);
            if (code > 0xFFFF) Fail(ot::kInvalidString);
            ++pos_;
            ++digits;
          }
        } else {
          while (pos_ < text_.size() && IsDigit(At(pos_))) {
            code = code * 10 + (At(pos_) - '0');
            if (code > 0xFFFF) Fail(ot::kInvalidString);
            ++pos_;
            ++digits;
          }
        }
        if (digits == 0) Fail(ot::kInvalidString);
        const bool high = code >= 0xD800 && code <= 0xDBFF;
        const bool low = code >= 0xDC00 && code <= 0xDFFF;
        if (pending_high) {
          arena_ += '?';
          pending_high = false;
          if (low) continue;  // the pair was one character
        }
        if (high) {
          pending_high = true;
        } else if (code < 0x80) {
          arena_ += static_cast<char>(code);
        } else {
          const int b = UnicodeToCp1251(static_cast<char32_t>(code));
          arena_ += b < 0 ? '?' : static_cast<char>(b);
        }
      } else if (c == '\'') {
        if (pending_high) {
          arena_ += '?';
          pending_high = false;
        }
        ++pos_;
        for (;;) {
          const size_t run = pos_;
          while (pos_ < text_.size() && !kStringStop[At(pos_)]) ++pos_;
          arena_.append(text_.data() + run, pos_ - run);
          if (pos_ >= text_.size() || At(pos_) != '\'') Fail(ot::kInvalidString);
          ++pos_;
          if (pos_ < text_.size() && At(pos_) == '\'') {
            arena_ += '\'';
            ++pos_;
            continue;
          }
          break;
        }
      } else {
        break;
      }
    }
    if (pending_high) arena_ += '?';
    string_end_ = arena_.size();
    token_end_ = pos_;
  }

  // Hexadecimal digits after "$": an unsigned magnitude.
  void ScanHex() {
    kind_ = TTokenKind::kInteger;
    uint64_t value = 0;
    bool too_large = false;
    size_t digits = 0;
    int h;
    while (pos_ < text_.size() && (h = HexValue(At(pos_))) >= 0) {
      if (value > (std::numeric_limits<uint64_t>::max() >> 4)) too_large = true;
      value = (value << 4) | static_cast<uint64_t>(h);
      ++pos_;
      ++digits;
    }
    if (digits == 0) Fail(ot::kNumberExpected);
    if (value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) too_large = true;
    integer_ = too_large ? 0 : static_cast<int64_t>(value);
    too_large_ = too_large;
    token_end_ = pos_;
  }

  // An optional minus sign and decimal digits; then, after ".", "e" or "E",
  // the rest of a floating-point number and an optional type letter.
  void ScanNumber() {
    const size_t start = pos_;
    const bool negative = At(pos_) == '-';
    if (negative) ++pos_;
    uint64_t value = 0;
    bool too_large = false;
    const size_t digits_start = pos_;
    while (pos_ < text_.size() && IsDigit(At(pos_))) {
      const unsigned d = At(pos_) - '0';
      if (value > (std::numeric_limits<uint64_t>::max() - d) / 10)
        too_large = true;
      else
        value = value * 10 + d;
      ++pos_;
    }
    if (pos_ == digits_start) Fail(ot::kNumberExpected);
    if (pos_ < text_.size() && (At(pos_) == '.' || At(pos_) == 'e' || At(pos_) == 'E')) {
      while (pos_ < text_.size()) {
        const unsigned char c = At(pos_);
        if (!IsDigit(c) && c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-') break;
        ++pos_;
      }
      double parsed;
      const char* first = text_.data() + start;
      const char* last = text_.data() + pos_;
      const auto [end, ec] = std::from_chars(first, last, parsed);
      if (ec == std::errc::invalid_argument || end != last) Fail(ot::kInvalidPropertyValue);
      if (pos_ < text_.size() && At(pos_) != 0 && std::strchr("cCdDsS", At(pos_))) ++pos_;
      kind_ = TTokenKind::kFloat;
      token_end_ = pos_;
      return;
    }
    const uint64_t limit =
        negative ? uint64_t{1} << 63 : static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (value > limit) too_large = true;
    if (too_large)
      integer_ = 0;
    else if (negative)
      integer_ = value == (uint64_t{1} << 63) ? std::numeric_limits<int64_t>::min()
                                              : -static_cast<int64_t>(value);
    else
      integer_ = static_cast<int64_t>(value);
    too_large_ = too_large;
    kind_ = TTokenKind::kInteger;
    token_end_ = pos_;
  }

  // Bytes that end a quoted run: the apostrophe, and those that a quoted run
  // may not hold.
  static constexpr auto kStringStop = [] {
    std::array<bool, 256> stop{};
    stop['\''] = stop['\r'] = stop['\n'] = stop[0] = true;
    return stop;
  }();

  std::string_view text_;
  std::string& arena_;
  size_t pos_ = 0;
  int64_t line_ = 1;

  TTokenKind kind_ = TTokenKind::kEof;
  char ch_ = 0;
  size_t token_begin_ = 0;
  size_t token_end_ = 0;
  size_t string_begin_ = 0;
  size_t string_end_ = 0;
  int64_t integer_ = 0;
  bool too_large_ = false;
};

// --- Syntax pass -----------------------------------------------------------------

class TParser {
 public:
  TParser(std::string_view text, TTree& tree) : tree_(tree), scan_(text, tree.arena) {}

  // Parses the whole object; returns the root node's index. Text after the
  // root's "end" is not read.
  size_t ParseRoot() {
    scan_.Next();
    if (!IsObjectKeyword()) FailExpected(ot::kObject);
    scan_.Next();
    const size_t root = ParseHeader();
    stack_.push_back({TFrame::kObjectBody, root, false});

    while (!stack_.empty()) {
      const TFrame frame = stack_.back();
      switch (frame.kind) {
        case TFrame::kObjectBody:
          if (scan_.IsKeyword(ot::kEnd)) {
            stack_.pop_back();
            if (!stack_.empty()) scan_.Next();
          } else if (IsObjectKeyword()) {
            stack_.back().nested_seen = true;
            scan_.Next();
            const size_t child = ParseHeader();
            Append(frame.node, child);
            stack_.push_back({TFrame::kObjectBody, child, false});
          } else if (frame.nested_seen) {
            FailExpected(ot::kObject);
          } else {
            ParseProperty(frame.node);
          }
          break;
        case TFrame::kItemBody:
          if (scan_.IsKeyword(ot::kEnd)) {
            stack_.pop_back();
            scan_.Next();
          } else {
            ParseProperty(frame.node);
          }
          break;
        case TFrame::kList:
          if (scan_.IsChar(')')) {
            stack_.pop_back();
            scan_.Next();
          } else {
            ParseValue(frame.node);
          }
          break;
        case TFrame::kCollection:
          if (scan_.IsChar('>')) {
            stack_.pop_back();
            scan_.Next();
          } else {
            if (!scan_.IsKeyword(ot::kItem)) FailExpected(ot::kItem);
            scan_.Next();
            SkipOrderModifier();
            const size_t item = NewNode(TNodeKind::kItem);
            Append(frame.node, item);
            stack_.push_back({TFrame::kItemBody, item, false});
          }
          break;
      }
    }
    return root;
  }

 private:
  struct TFrame {
    enum Kind { kObjectBody, kItemBody, kList, kCollection } kind;
    size_t node;
    bool nested_seen;  // an object body after its first nested object
  };

  // Upper-case keywords in messages, as "OBJECT expected".
  [[noreturn]] void FailExpected(std::string_view word) {
    std::string upper(word);
    if (word == ot::kObject)
      for (char& c : upper) c = static_cast<char>(c - 32);
    scan_.Fail(ot::FormatMessage(ot::kExpected, {upper}));
  }
  [[noreturn]] void FailChar(char c) {
    scan_.Fail(ot::FormatMessage(ot::kCharExpected, {std::string_view(&c, 1)}));
  }

  bool IsObjectKeyword() const {
    return scan_.IsKeyword(ot::kObject) || scan_.IsKeyword(ot::kInherited) ||
           scan_.IsKeyword(ot::kInline);
  }

  size_t NewNode(TNodeKind kind) {
    tree_.nodes.push_back(TNode{kind});
    return tree_.nodes.size() - 1;
  }

  void Append(size_t parent, size_t child) {
    TNode& p = tree_.nodes[parent];
    if (p.last_child == kNone)
      p.first_child = child;
    else
      tree_.nodes[p.last_child].next = child;
    p.last_child = child;
  }

  void ExpectSymbol() {
    if (scan_.kind() != TTokenKind::kSymbol) scan_.Fail(ot::kIdentifierExpected);
  }

  // After the object keyword: [NAME ":"] CLASS ["[" integer "]"].
  size_t ParseHeader() {
    ExpectSymbol();
    const size_t node = NewNode(TNodeKind::kObject);
    const std::string_view first = scan_.symbol();
    scan_.Next();
    if (scan_.IsChar(':')) {
      scan_.Next();
      ExpectSymbol();
      TNode& n = tree_.nodes[node];
      n.text_begin = tree_.arena.size();
      n.text_length = first.size();
      tree_.arena.append(first);
      scan_.Next();
    }
    SkipOrderModifier();
    return node;
  }

  void SkipOrderModifier() {
    if (!scan_.IsChar('[')) return;
    scan_.Next();
    if (scan_.kind() != TTokenKind::kInteger) scan_.Fail(ot::kNumberExpected);
    scan_.Next();
    if (!scan_.IsChar(']')) FailChar(']');
    scan_.Next();
  }

  // NAME {"." NAME} "=" VALUE
  void ParseProperty(size_t parent) {
    ExpectSymbol();
    const size_t node = NewNode(TNodeKind::kProperty);
    const size_t begin = tree_.arena.size();
    tree_.arena.append(scan_.symbol());
    scan_.Next();
    while (scan_.IsChar('.')) {
      scan_.Next();
      ExpectSymbol();
      tree_.arena += '.';
      tree_.arena.append(scan_.symbol());
      scan_.Next();
    }
    TNode& n = tree_.nodes[node];
    n.text_begin = begin;
    n.text_length = tree_.arena.size() - begin;
    Append(parent, node);
    if (!scan_.IsChar('=')) FailChar('=');
    scan_.Next();
    ParseValue(node);
  }

  // One value, appended to the parent. A list or a collection is opened on
  // the parser's stack and filled by the main loop.
  void ParseValue(size_t parent) {
    switch (scan_.kind()) {
      case TTokenKind::kString: {
        // Joined pieces are decoded into the arena right after the first one
        // ("+" writes nothing there). The token after the value may be a
        // string of its own, already decoded, so the value ends where its
        // last piece ended.
        const size_t node = NewNode(TNodeKind::kString);
        const size_t begin = scan_.string_begin();
        size_t end = scan_.string_end();
        scan_.Next();
        while (scan_.IsChar('+')) {
          scan_.Next();
          if (scan_.kind() != TTokenKind::kString) scan_.Fail(ot::kStringExpected);
          end = scan_.string_end();
          scan_.Next();
        }
        TNode& n = tree_.nodes[node];
        n.text_begin = begin;
        n.text_length = end - begin;
        Append(parent, node);
        return;
      }
      case TTokenKind::kInteger: {
        const size_t node = NewNode(TNodeKind::kInteger);
        tree_.nodes[node].integer = scan_.integer();
        tree_.nodes[node].too_large = scan_.too_large();
        Append(parent, node);
        scan_.Next();
        return;
      }
      case TTokenKind::kFloat:
        Append(parent, NewNode(TNodeKind::kFloat));
        scan_.Next();
        return;
      case TTokenKind::kSymbol:
        Append(parent, NewNode(TNodeKind::kIdent));
        scan_.Next();
        while (scan_.IsChar('.')) {
          scan_.Next();
          ExpectSymbol();
          scan_.Next();
        }
        return;
      case TTokenKind::kChar:
        break;
      case TTokenKind::kEof:
        scan_.Fail(ot::kInvalidPropertyValue);
    }
    switch (scan_.ch()) {
      case '[':
        scan_.Next();
        if (!scan_.IsChar(']')) {
          for (;;) {
            if (scan_.kind() != TTokenKind::kInteger) ExpectSymbol();
            scan_.Next();
            if (scan_.IsChar(']')) break;
            if (!scan_.IsChar(',')) FailChar(',');
            scan_.Next();
          }
        }
        scan_.Next();
        Append(parent, NewNode(TNodeKind::kSet));
        return;
      case '{':
        scan_.SkipBinary();
        Append(parent, NewNode(TNodeKind::kBinary));
        return;
      case '(': {
        const size_t node = NewNode(TNodeKind::kList);
        Append(parent, node);
        scan_.Next();
        stack_.push_back({TFrame::kList, node, false});
        return;
      }
      case '<': {
        const size_t node = NewNode(TNodeKind::kCollection);
        Append(parent, node);
        scan_.Next();
        stack_.push_back({TFrame::kCollection, node, false});
        return;
      }
      default:
        scan_.Fail(ot::kInvalidPropertyValue);
    }
  }

  TTree& tree_;
  TScanner scan_;
  std::vector<TFrame> stack_;
};

// --- Assignment pass -------------------------------------------------------------

class TAssigner {
 public:
  TAssigner(const TTree& tree, TSiteGenerator& generator, const TProjectReadContext& context)
      : tree_(tree), generator_(generator), context_(context) {}

  void Run(size_t root) {
    const TNode& object = tree_.nodes[root];
    if (object.text_length > 0) AssignName(std::string(tree_.Text(object)));
    for (size_t i = object.first_child; i != kNone; i = tree_.nodes[i].next) {
      // Nested objects are not the generator's: they are skipped.
      if (tree_.nodes[i].kind != TNodeKind::kProperty) continue;
      const std::string object_name =
          generator_.Name().empty() ? SiteGeneratorClass().class_name : generator_.Name();
      AssignProperty(generator_, SiteGeneratorClass(), tree_.nodes[i], object_name);
    }
  }

 private:
  // A window of the application bearing the name makes the generator take
  // the first free "NAME_1", "NAME_2", ...; a component of the project window
  // bearing the result is an error.
  void AssignName(const std::string& header_name) {
    std::string name = header_name;
    if (context_.window_name_exists) {
      for (uint64_t n = 1; context_.window_name_exists(name); ++n)
        name = header_name + "_" + std::to_string(n);
    }
    if (!EqualsIgnoreCase(name, generator_.Name()) && context_.component_name_exists &&
        context_.component_name_exists(name))
      throw EOrvanaError(ot::FormatMessage(ot::kComponentExists, {name}));
    generator_.SetName(std::move(name));
  }

  [[noreturn]] static void Fail(std::string_view object_name, std::string_view property,
                                std::string_view inner) {
    std::string message(ot::kErrorReading);
    message.append(object_name);
    message += '.';
    message.append(property);
    message.append(": ");
    message.append(inner);
    throw EOrvanaError(message);
  }

  template <class T>
  static const TPropInfo<T>* FindProperty(const TClassInfo<T>& info, std::string_view name) {
    for (const TPropInfo<T>& prop : info.properties)
      if (EqualsIgnoreCase(name, prop.name)) return &prop;
    return nullptr;
  }

  template <class T>
  void AssignProperty(T& object, const TClassInfo<T>& info, const TNode& property,
                      std::string_view object_name) {
    const std::string_view name = tree_.Text(property);
    const size_t dot = name.find('.');
    const std::string_view head = name.substr(0, dot);
    const TPropInfo<T>* prop = FindProperty(info, head);
    if (!prop) Fail(object_name, name, ot::FormatMessage(ot::kPropertyDoesNotExist, {head}));
    const TNode& value = tree_.nodes[property.first_child];

    if (dot != std::string_view::npos) {
      // Only a string list has a part of its own, its lines.
      const std::string_view rest = name.substr(dot + 1);
      if (prop->kind == TPropKind::StringList && EqualsIgnoreCase(rest, ot::kListSuffix)) {
        AssignList(object, *prop, value, object_name, name);
        return;
      }
      const std::string_view part = rest.substr(0, rest.find('.'));
      Fail(object_name, name, ot::FormatMessage(ot::kPropertyDoesNotExist, {part}));
    }

    switch (prop->kind) {
      case TPropKind::String:
        if (value.kind != TNodeKind::kString) break;
        prop->SetString(object, std::string(tree_.Text(value)));
        return;
      case TPropKind::Integer:
        if (value.kind != TNodeKind::kInteger || value.too_large ||
            value.integer < std::numeric_limits<int32_t>::min() ||
            value.integer > std::numeric_limits<int32_t>::max())
          break;
        prop->SetInteger(object, static_cast<int32_t>(value.integer));
        return;
      case TPropKind::StringList:
        break;
      case TPropKind::Collection:
        if (value.kind != TNodeKind::kCollection) break;
        AssignPages(prop->GetPages(object), value);
        return;
    }
    Fail(object_name, name, ot::kInvalidPropertyValue);
  }

  template <class T>
  void AssignList(T& object, const TPropInfo<T>& prop, const TNode& value,
                  std::string_view object_name, std::string_view name) {
    if (value.kind != TNodeKind::kList) Fail(object_name, name, ot::kInvalidPropertyValue);
    TStringList lines;
    for (size_t i = value.first_child; i != kNone; i = tree_.nodes[i].next) {
      const TNode& line = tree_.nodes[i];
      if (line.kind != TNodeKind::kString) Fail(object_name, name, ot::kInvalidPropertyValue);
      lines.emplace_back(tree_.Text(line));
    }
    prop.SetList(object, std::move(lines));
  }

  // "<>" leaves the pages as they are; any item replaces them all.
  void AssignPages(TSitePages& pages, const TNode& collection) {
    if (collection.first_child == kNone) return;
    pages.Clear();
    const TClassInfo<TSitePage>& info = SitePageClass();
    for (size_t i = collection.first_child; i != kNone; i = tree_.nodes[i].next) {
      TSitePage& page = pages.Add();
      const TNode& item = tree_.nodes[i];
      for (size_t p = item.first_child; p != kNone; p = tree_.nodes[p].next)
        AssignProperty(page, info, tree_.nodes[p], info.class_name);
    }
  }

  const TTree& tree_;
  TSiteGenerator& generator_;
  const TProjectReadContext& context_;
};

}  // namespace

void ReadProjectText(std::string_view text, TSiteGenerator& generator,
                     const TProjectReadContext& context) {
  TTree tree;
  // Decoded strings never outgrow the text they come from.
  tree.arena.reserve(text.size());
  const size_t root = TParser(text, tree).ParseRoot();
  TAssigner(tree, generator, context).Run(root);
}

}  // namespace orvana
