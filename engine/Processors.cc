#include "engine/Processors.h"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <thread>

namespace orvana {

int UsableProcessors() {
  cpu_set_t set;
  if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(CPU_COUNT(&set), 1);
  return static_cast<int>(std::max(std::thread::hardware_concurrency(), 1u));
}

namespace {

constexpr uint64_t kUnknown = std::numeric_limits<uint64_t>::max();

// The "MemAvailable:" line of /proc/meminfo, in bytes.
uint64_t SystemAvailable() {
  std::ifstream in("/proc/meminfo");
  std::string key;
  uint64_t kib = 0;
  std::string unit;
  while (in >> key >> kib) {
    std::getline(in, unit);
    if (key == "MemAvailable:") return kib * 1024;
  }
  return kUnknown;
}

// The process's mapped size (the first field of /proc/self/statm), in bytes.
uint64_t MappedNow() {
  std::ifstream in("/proc/self/statm");
  uint64_t pages = 0;
  if (!(in >> pages)) return 0;
  return pages * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

uint64_t LimitLeft(int resource, uint64_t used) {
  rlimit limit{};
  if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnknown;
  const uint64_t cap = limit.rlim_cur;
  return cap > used ? cap - used : 0;
}

// A number read from a cgroup v2 file; kUnknown for "max" or no file.
uint64_t CgroupValue(const std::string& path) {
  std::ifstream in(path);
  std::string word;
  if (!(in >> word) || word == "max") return kUnknown;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(word.c_str(), &end, 10);
  return end && *end == '\0' ? value : kUnknown;
}

// What the process's cgroup v2 memory.max leaves.
uint64_t CgroupLeft() {
  std::ifstream in("/proc/self/cgroup");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("0::", 0) != 0) continue;
    const std::string dir = "/sys/fs/cgroup" + line.substr(3);
    const uint64_t max = CgroupValue(dir + "/memory.max");
    if (max == kUnknown) return kUnknown;
    const uint64_t current = CgroupValue(dir + "/memory.current");
    if (current == kUnknown) return max;
    return max > current ? max - current : 0;
  }
  return kUnknown;
}

}  // namespace

uint64_t UsableMemory() {
  const uint64_t mapped = MappedNow();
  return std::min({SystemAvailable(), LimitLeft(RLIMIT_AS, mapped), LimitLeft(RLIMIT_DATA, mapped),
                   CgroupLeft()});
}

}  // namespace orvana
