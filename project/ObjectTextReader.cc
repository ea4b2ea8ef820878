// The object-notation reader: ReadProjectText of ProjectFile.h, in two
// passes. The syntax pass (ObjectTextParser, reading tokens from
// ObjectTextScanner) builds the whole tree first, so a syntax error leaves the
// generator untouched; the assignment pass (ObjectTextAssigner) then gives
// the generator its properties.

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "project/ExtrasText.h"
#include "project/HugePages.h"
#include "project/ObjectTextAssigner.h"
#include "project/ObjectTextParser.h"
#include "project/ProjectFile.h"

namespace orvana {
namespace {

// The text after the root object and the number of the line it starts on;
// the lines are counted only when there is something there to read.
struct TTrailer {
  std::string_view text;
  int64_t first_line = 1;
};

TTrailer TrailerOf(std::string_view whole, size_t root_end) {
  TTrailer trailer{whole.substr(std::min(root_end, whole.size())), 1};
  const bool blank = std::all_of(trailer.text.begin(), trailer.text.end(),
                                 [](char c) { return static_cast<unsigned char>(c) <= 32; });
  if (blank) return {{}, 1};
  trailer.first_line += std::count(
      whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(trailer.text.size()), '\n');
  return trailer;
}

// The assignment copies the decoded strings into the generator's own, block
// after block of the heap. Where the heap has to grow for them, each 4 KiB
// it hands out costs a page fault as it is first written; room taken from
// the heap first in blocks advised to use huge pages, then given back to
// it, makes those copies land in huge pages: a few faults for a project of
// hundreds of megabytes instead of tens of thousands. Without huge pages,
// or where the blocks are mapped and unmapped rather than kept in the heap,
// nothing changes.
void PrepareHeapFor(size_t bytes) {
  constexpr size_t kBlock = size_t{16} << 20;
  if (bytes < kBlock) return;
  std::vector<void*> blocks;
  for (size_t room = 0; room < bytes; room += kBlock) {
    void* block = std::malloc(kBlock);
    if (!block) break;
    AdviseHugePages(block, kBlock);
    blocks.push_back(block);
  }
  for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) std::free(*it);
}

void GiveExtras(const TTrailer& trailer, TSiteGenerator& generator,
                const TProjectReadContext& context) {
  std::vector<std::string> warnings;
  generator.SetExtras(ReadExtrasText(trailer.text, trailer.first_line, warnings));
  if (context.warning)
    for (const std::string& warning : warnings) context.warning(warning);
}

}  // namespace

void ReadProjectText(std::string_view text, const std::function<void()>& release_text,
                     TSiteGenerator& generator, const TProjectReadContext& context) {
  object_text::TTree tree;
  // Decoded strings never outgrow the text they come from. Nodes take at
  // least a few bytes of text each; room for one per 128 bytes is taken up
  // front (memory never touched costs nothing), so a long text's list grows
  // without being copied over and over.
  tree.arena.reserve(text.size());
  tree.nodes.reserve(text.size() / 128 + 16);
  AdviseHugePages(tree.arena.data(), tree.arena.capacity());
  AdviseHugePages(tree.nodes.data(), tree.nodes.capacity() * sizeof(tree.nodes[0]));
  const size_t root = object_text::ParseObjectText(text, tree);
  // The tree holds everything the assignment takes but the few lines after
  // the root, which the extras come from: those are kept before the text goes.
  TTrailer trailer = TrailerOf(text, tree.root_end);
  std::string kept;
  if (release_text) {
    kept.assign(trailer.text);
    trailer.text = kept;
    release_text();
  }
  size_t decoded = tree.arena.size();
  for (const std::string& list : tree.lists) decoded += list.size();
  PrepareHeapFor(decoded);
  object_text::AssignObjectTree(tree, root, generator, context);
  GiveExtras(trailer, generator, context);
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
