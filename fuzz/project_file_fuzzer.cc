// Feeds arbitrary bytes to the project-file reader. Besides the sanitizers'
// checks, whatever state the reader leaves in the generator (after success or
// after an error half-way through the assignments) must be written as text
// that the reader takes back without error and that writes again to the same
// bytes.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/Error.h"
#include "engine/SiteGenerator.h"
#include "project/DefaultContent.h"
#include "project/ObjectText.h"
#include "project/ObjectTextScanner.h"
#include "project/ProjectFile.h"

namespace {

using namespace orvana;

[[noreturn]] void Die(const char* what, const std::string& detail) {
  std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
  std::abort();
}

// Everything the scanner makes of a text, its error included: the quick
// string steps (and the wide ones where the processor has them) must give
// what the plain steps give.
std::string Tokens(std::string_view text, bool fast) {
  using namespace object_text;
  std::string arena, out;
  try {
    TScanner scan(text, arena, fast);
    for (scan.Next(); scan.kind() != TTokenKind::kEof; scan.Next()) {
      out += std::to_string(static_cast<int>(scan.kind())) + ":" +
             std::to_string(scan.token_end()) + ":";
      if (scan.kind() == TTokenKind::kString) {
        scan.JoinStringPieces();
        out += arena.substr(scan.string_begin(), scan.string_end() - scan.string_begin());
      }
      out += '|';
    }
  } catch (const EOrvanaError& e) {
    out += std::string("error:") + e.what();
  }
  return out + "#" + arena;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (Tokens(text, true) != Tokens(text, false)) Die("quick and plain scans differ", "");
  TSiteGenerator generator;
  // Half the inputs go into a new project's generator, half into an empty one.
  if (size % 2 == 0) ApplyNewProjectContent(generator);

  TProjectReadContext context;
  // Windows named W, W_1 and W_2 exist; the window's components include Memo1.
  context.window_name_exists = [](const std::string& name) {
    return name == "W" || name == "W_1" || name == "W_2";
  };
  context.component_name_exists = [](const std::string& name) { return name == "Memo1"; };
  try {
    ReadProjectText(text, generator, context);
  } catch (const EOrvanaError& e) {
    if (std::string_view(e.what()).empty()) Die("empty message", "");
  }

  // A header line holding a name of nearly a whole line cannot be read back:
  // the writer adds ": TSiteGenerator" to it.
  if (generator.Name().size() + 32 >= object_text::kMaxLineBytes) return 0;

  const std::string written = WriteProjectText(generator);
  TSiteGenerator again;
  try {
    ReadProjectText(written, again);
  } catch (const EOrvanaError& e) {
    Die("written text not readable", e.what());
  }
  if (WriteProjectText(again) != written) Die("round trip changed the text", written);
  return 0;
}
