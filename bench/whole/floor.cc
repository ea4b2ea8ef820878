// bench-whole-floor: the least a program can do to write a generated site.
//
//   bench-whole-floor --from SITE --to DIR [--runs N] [--flush]
//
// Reads the site that SITE holds (index.html, page1.html, ... up to the first
// missing number, then style.css) into memory once, untimed. Then, N times:
// empties DIR (untimed; with --flush dirty pages are written to disk first)
// and, timed, writes every file into DIR with the same bytes, in the same
// order as the generator: open, write, close, nothing else. This is the floor
// a whole run of the generator is compared with. The last line printed is
//   median_seconds peak_kib files bytes
// (peak: this process's ru_maxrss, about the site's size, since the whole
// site is held in memory); the lines before it give every run.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "whole_util.h"

using orvana::bench::EmptyFolder;
using orvana::bench::Median;
using orvana::bench::Now;

namespace {

bool ReadFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      ::close(fd);
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return ::close(fd) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string from, to;
  int runs = 5;
  bool flush = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--flush") flush = true;
    else if (a == "--from" && i + 1 < argc) from = argv[++i];
    else if (a == "--to" && i + 1 < argc) to = argv[++i];
    else if (a == "--runs" && i + 1 < argc) runs = std::atoi(argv[++i]);
    else from.clear(), i = argc;
  }
  if (from.empty() || to.empty() || runs < 1) {
    std::fprintf(stderr, "usage: bench-whole-floor --from SITE --to DIR [--runs N] [--flush]\n");
    return 2;
  }

  std::vector<std::pair<std::string, std::string>> files;
  uint64_t total = 0;
  for (int k = 0;; ++k) {
    const std::string name = k == 0 ? "index.html" : "page" + std::to_string(k) + ".html";
    std::string bytes;
    if (!ReadFile(from + "/" + name, bytes)) {
      if (k == 0) {
        std::fprintf(stderr, "bench-whole-floor: no %s/index.html\n", from.c_str());
        return 1;
      }
      break;
    }
    total += bytes.size();
    files.emplace_back(name, std::move(bytes));
  }
  {
    std::string css;
    if (!ReadFile(from + "/style.css", css)) {
      std::fprintf(stderr, "bench-whole-floor: no %s/style.css\n", from.c_str());
      return 1;
    }
    total += css.size();
    files.emplace_back("style.css", std::move(css));
  }

  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    if (!EmptyFolder(to, flush)) {
      std::fprintf(stderr, "bench-whole-floor: cannot empty %s\n", to.c_str());
      return 1;
    }
    const double t0 = Now();
    for (const auto& [name, bytes] : files) {
      if (!WriteFile(to + "/" + name, bytes)) {
        std::perror((to + "/" + name).c_str());
        return 1;
      }
    }
    const double t1 = Now();
    times.push_back(t1 - t0);
    std::printf("run %d: %.4f s\n", run + 1, t1 - t0);
  }
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("%.6f %ld %zu %llu\n", Median(times), usage.ru_maxrss, files.size(),
              static_cast<unsigned long long>(total));
  return 0;
}
