// The object-notation reader's syntax pass: the whole text as one flat tree,
// built before anything is assigned, so that a syntax error leaves the
// generator untouched.
//
// Nodes live in one vector and are linked by index; decoded strings and
// names live in one arena, but for the strings of each list, which live in an
// arena of their own, each followed by one CR: a list of lines there already
// is the text those lines make, and can be taken whole. The parser keeps its
// own stack of open lists, collections, items and objects: no input nests the
// machine's stack, and freeing the tree never recurses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace orvana::object_text {

inline constexpr size_t kNone = std::numeric_limits<size_t>::max();

enum class TNodeKind : uint8_t {
  kObject,    // text: the header's name (may be empty); children: properties, objects
  kProperty,  // text: the dotted name; integer: its line; first_child: the value
  kItem,      // children: properties
  kString,    // text: the decoded Windows-1251 bytes
  kInteger,   // integer, too_large
  kFloat,
  kIdent,       // text: the identifier's first part
  kList,        // children: values
  kCollection,  // children: items
  kSet,
  kBinary,
};

struct TNode {
  TNodeKind kind;
  bool too_large = false;
  uint32_t arena = 0;  // 0: TTree::arena; k: TTree::lists[k - 1]
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
  // The arenas of the lists, in the order the lists open (a deque: the
  // scanner holds the address of the one it decodes into).
  std::deque<std::string> lists;
  // The offset just past the root object's final "end" in the parsed text.
  size_t root_end = 0;

  const std::string& ArenaOf(const TNode& node) const {
    return node.arena == 0 ? arena : lists[node.arena - 1];
  }
  std::string_view Text(const TNode& node) const {
    return std::string_view(ArenaOf(node)).substr(node.text_begin, node.text_length);
  }
};

// Parses the whole object into `tree`; returns the root node's index. Text
// after the root's "end" is not read. A syntax error throws EOrvanaError
// "<inner text> on line <n>".
size_t ParseObjectText(std::string_view text, TTree& tree);

}  // namespace orvana::object_text
