// The object-notation reader: ReadProjectText of ProjectFile.h, in two
// passes. The syntax pass (ObjectTextParser, reading tokens from
// ObjectTextScanner) builds the whole tree first, so a syntax error leaves the
// generator untouched; the assignment pass (ObjectTextAssigner) then gives
// the generator its properties.

#include <string>
#include <string_view>

#include "ObjectTextAssigner.h"
#include "ObjectTextParser.h"
#include "ProjectFile.h"

namespace orvana {

void ReadProjectText(std::string_view text, const std::function<void()>& release_text,
                     TSiteGenerator& generator, const TProjectReadContext& context) {
  object_text::TTree tree;
  // Decoded strings never outgrow the text they come from.
  tree.arena.reserve(text.size());
  const size_t root = object_text::ParseObjectText(text, tree);
  // The tree holds everything the assignment takes.
  if (release_text) release_text();
  object_text::AssignObjectTree(tree, root, generator, context);
}

void ReadProjectText(std::string_view text, TSiteGenerator& generator,
                     const TProjectReadContext& context) {
  ReadProjectText(text, nullptr, generator, context);
}

void ReadProjectText(std::string&& text, TSiteGenerator& generator,
                     const TProjectReadContext& context) {
  ReadProjectText(
      text, [&text] { std::string().swap(text); }, generator, context);
}

}  // namespace orvana
