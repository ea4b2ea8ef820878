// The shell's compiled-in pictures (tool bar, menus, application icon).
#pragma once

namespace orvana {

// Registers the pictures; the shell is a static library, so its resources
// have to be registered by hand. Safe to call more than once.
void InitShellResources();

}  // namespace orvana
