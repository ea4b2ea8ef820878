// A hint for large buffers that are filled once, front to back.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

namespace orvana {

// Asks the system to back the whole 2 MiB pages inside [data, data + size)
// with huge pages as they are first touched, so that filling a buffer of
// megabytes costs a few page faults rather than one per 4 KiB. Only a hint:
// where huge pages are not to be had, nothing changes.
inline void AdviseHugePages(const void* data, size_t size) {
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  const uintptr_t at = reinterpret_cast<uintptr_t>(data);
  const uintptr_t begin = (at + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (at + size) & ~(kHugePage - 1);
  if (end > begin) (void)::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace orvana
