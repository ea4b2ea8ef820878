// The object-notation reader's assignment pass: a parsed tree's properties
// into the generator, by name, through its published property tables.
#pragma once

#include <cstddef>

#include "engine/SiteGenerator.h"
#include "project/ObjectTextParser.h"
#include "project/ProjectFile.h"

namespace orvana::object_text {

// Gives the generator the root object's name (with the rules of `context`)
// and then each of its properties in file order. An assignment error throws
// its message ("Error reading TSiteGenerator.Foo: ...") and leaves what was
// assigned before it. Nested objects are skipped. A list's arena may be
// handed to the generator whole (the tree keeps it emptied).
void AssignObjectTree(TTree& tree, size_t root, TSiteGenerator& generator,
                      const TProjectReadContext& context);

}  // namespace orvana::object_text
