// How much of the machine this process may use.
#pragma once

namespace orvana {

// The processors this process may run on (its affinity, as taskset sets
// it), at least 1.
int UsableProcessors();

}  // namespace orvana
