#include "shell/Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares the registration function in the enclosing
// namespace, so it has to be used from the global one.
static void registerShellResources() { Q_INIT_RESOURCE(orvana); }

namespace orvana {

void InitShellResources() {
  static const bool registered = [] {
    registerShellResources();
    return true;
  }();
  (void)registered;
}

}  // namespace orvana
