#include "engine/Processors.h"

#include <sched.h>

#include <algorithm>
#include <thread>

namespace orvana {

int UsableProcessors() {
  cpu_set_t set;
  if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(CPU_COUNT(&set), 1);
  return static_cast<int>(std::max(std::thread::hardware_concurrency(), 1u));
}

}  // namespace orvana
