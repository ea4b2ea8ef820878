// How much of the machine this process may use.
#pragma once

#include <cstdint>

namespace orvana {

// The processors this process may run on (its affinity, as taskset sets
// it), at least 1.
int UsableProcessors();

// The bytes of memory this process may still take: the least of the
// memory the system says is available, what the address-space and data
// limits (ulimit -v, -d) leave beside what the process already maps, and
// what its control group's memory.max leaves beside its memory.current.
// UINT64_MAX when none of them can be told.
uint64_t UsableMemory();

}  // namespace orvana
