#include "project/ObjectTextParser.h"

#include <algorithm>

#include "project/HugePages.h"
#include "project/ObjectText.h"
#include "project/ObjectTextScanner.h"

namespace orvana::object_text {
namespace {

class TParser {
 public:
  TParser(std::string_view text, TTree& tree)
      : tree_(tree), scan_(text, tree.arena), text_size_(text.size()) {}

  size_t ParseRoot() {
    scan_.Next();
    if (!IsObjectKeyword()) FailExpected(kObject);
    scan_.Next();
    const size_t root = ParseHeader();
    stack_.push_back({TFrame::kObjectBody, root, false});

    while (!stack_.empty()) {
      const TFrame frame = stack_.back();
      switch (frame.kind) {
        case TFrame::kObjectBody:
          if (scan_.IsKeyword(kEnd)) {
            stack_.pop_back();
            if (!stack_.empty()) {
              scan_.Next();
            } else {
              scan_.CheckLine();
              tree_.root_end = scan_.token_end();
            }
          } else if (IsObjectKeyword()) {
            stack_.back().nested_seen = true;
            scan_.Next();
            const size_t child = ParseHeader();
            Append(frame.node, child);
            stack_.push_back({TFrame::kObjectBody, child, false});
          } else if (frame.nested_seen) {
            FailExpected(kObject);
          } else {
            ParseProperty(frame.node);
          }
          break;
        case TFrame::kItemBody:
          if (scan_.IsKeyword(kEnd)) {
            stack_.pop_back();
            scan_.Next();
          } else {
            ParseProperty(frame.node);
          }
          break;
        case TFrame::kList:
          if (scan_.IsChar(')')) {
            stack_.pop_back();
            UseArena(frame.outer_arena);
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
            if (!scan_.IsKeyword(kItem)) FailExpected(kItem);
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
    bool nested_seen;          // an object body after its first nested object
    uint32_t outer_arena = 0;  // a list's: the arena to go back to after it
  };

  // Where the scanner decodes the strings that follow: 0 the tree's arena, k
  // the k-th list's, whose strings are each followed by CR.
  void UseArena(uint32_t id) {
    arena_ = id;
    scan_.SetArena(id == 0 ? tree_.arena : tree_.lists[id - 1], id != 0);
  }

  // Upper-case keywords in messages, as "OBJECT expected".
  [[noreturn]] void FailExpected(std::string_view word) {
    std::string upper(word);
    if (word == kObject)
      for (char& c : upper) c = static_cast<char>(c - 32);
    scan_.Fail(FormatMessage(kExpected, {upper}));
  }
  [[noreturn]] void FailChar(char c) {
    scan_.Fail(FormatMessage(kCharExpected, {std::string_view(&c, 1)}));
  }

  bool IsObjectKeyword() const {
    return scan_.IsKeyword(kObject) || scan_.IsKeyword(kInherited) || scan_.IsKeyword(kInline);
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
    if (scan_.kind() != TTokenKind::kSymbol) scan_.Fail(kIdentifierExpected);
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
    if (scan_.kind() != TTokenKind::kInteger) scan_.Fail(kNumberExpected);
    scan_.Next();
    if (!scan_.IsChar(']')) FailChar(']');
    scan_.Next();
  }

  // NAME {"." NAME} "=" VALUE
  void ParseProperty(size_t parent) {
    ExpectSymbol();
    const size_t node = NewNode(TNodeKind::kProperty);
    const int64_t line = scan_.line();
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
    n.integer = line;
    Append(parent, node);
    if (!scan_.IsChar('=')) FailChar('=');
    scan_.Next();
    ParseValue(node);
  }

  // One value, appended to the parent. A list or a collection is opened on
  // the parser's stack and filled by the main loop.
  void ParseValue(size_t parent) {
    switch (scan_.kind()) {
      case TTokenKind::kString:
        return ParseString(parent);
      case TTokenKind::kInteger:
        return ParseInteger(parent);
      case TTokenKind::kFloat:
        Append(parent, NewNode(TNodeKind::kFloat));
        scan_.Next();
        return;
      case TTokenKind::kSymbol:
        return ParseIdent(parent);
      case TTokenKind::kChar:
        break;
      case TTokenKind::kEof:
        scan_.Fail(kInvalidPropertyValue);
    }
    switch (scan_.ch()) {
      case '[':
        return ParseSet(parent);
      case '{':
        scan_.SkipBinary();
        Append(parent, NewNode(TNodeKind::kBinary));
        return;
      case '(':
        return Open(parent, TNodeKind::kList, TFrame::kList);
      case '<':
        return Open(parent, TNodeKind::kCollection, TFrame::kCollection);
      default:
        scan_.Fail(kInvalidPropertyValue);
    }
  }

  // Strings joined with "+". Joined pieces are decoded into the arena right
  // after the first one ("+" writes nothing there). The token after the value
  // may be a string of its own, already decoded, so the value ends where its
  // last piece ended.
  void ParseString(size_t parent) {
    const size_t node = NewNode(TNodeKind::kString);
    const size_t begin = scan_.string_begin();
    // The pieces of a long string, joined line after line, are taken by the
    // scanner in one go; what it leaves ("+" and no string) fails below.
    scan_.JoinStringPieces();
    size_t end = scan_.string_end();
    scan_.Next();
    while (scan_.IsChar('+')) {
      scan_.Next();
      if (scan_.kind() != TTokenKind::kString) scan_.Fail(kStringExpected);
      end = scan_.string_end();
      scan_.Next();
    }
    TNode& n = tree_.nodes[node];
    n.arena = arena_;
    n.text_begin = begin;
    n.text_length = end - begin;
    Append(parent, node);
  }

  void ParseInteger(size_t parent) {
    const size_t node = NewNode(TNodeKind::kInteger);
    tree_.nodes[node].integer = scan_.integer();
    tree_.nodes[node].too_large = scan_.too_large();
    Append(parent, node);
    scan_.Next();
  }

  // An identifier, possibly dotted.
  void ParseIdent(size_t parent) {
    const size_t node = NewNode(TNodeKind::kIdent);
    Append(parent, node);
    // The identifier's first part is kept, as a boolean's value is read.
    TNode& n = tree_.nodes[node];
    n.text_begin = tree_.arena.size();
    n.text_length = scan_.symbol().size();
    tree_.arena.append(scan_.symbol());
    scan_.Next();
    while (scan_.IsChar('.')) {
      scan_.Next();
      ExpectSymbol();
      scan_.Next();
    }
  }

  // "[" [element {"," element}] "]", each element an identifier or an integer.
  void ParseSet(size_t parent) {
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
  }

  // A list or a collection, after its opening sign: its node, and a frame
  // that the main loop fills up to the closing sign. A list's strings go
  // into an arena of its own from its first element on. The first few lists (a project has two) get
  // room for as many bytes as the rest of the text holds, never touched beyond what they take, so a
  // long text is never copied as its arena grows; further lists grow as
  // strings do, so that many lists cannot reserve the text many times over.
  void Open(size_t parent, TNodeKind kind, TFrame::Kind frame) {
    const size_t node = NewNode(kind);
    Append(parent, node);
    stack_.push_back({frame, node, false, arena_});
    if (kind == TNodeKind::kList) {
      std::string& arena = tree_.lists.emplace_back();
      if (tree_.lists.size() <= kListsWithRoom) {
        arena.reserve(text_size_ - std::min(text_size_, scan_.token_end()));
        AdviseHugePages(arena.data(), arena.capacity());
      }
      UseArena(static_cast<uint32_t>(tree_.lists.size()));
    }
    scan_.Next();
  }
  static constexpr size_t kListsWithRoom = 4;

  TTree& tree_;
  TScanner scan_;
  size_t text_size_;
  uint32_t arena_ = 0;
  std::vector<TFrame> stack_;
};

}  // namespace

size_t ParseObjectText(std::string_view text, TTree& tree) {
  return TParser(text, tree).ParseRoot();
}

}  // namespace orvana::object_text
