// bench-whole-measure: runs a command several times and reports its wall time
// and peak resident memory.
//
//   bench-whole-measure --runs N --empty DIR [--flush] [--log FILE] -- CMD [ARGS...]
//
// Before each run (untimed) everything inside DIR is removed and, with
// --flush, dirty pages are written to disk. The wall time runs from the fork
// to the child's exit; the peak memory is the child's ru_maxrss from wait4.
// The command's output goes to FILE (default /dev/null). A run that fails
// stops the measurement with exit code 1. The last line printed is
//   median_seconds peak_kib
// (peak: the largest of the runs); the lines before it give every run.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "whole_util.h"

using orvana::bench::EmptyFolder;
using orvana::bench::Median;
using orvana::bench::Now;

int main(int argc, char** argv) {
  int runs = 5;
  bool flush = false;
  std::string empty, log = "/dev/null";
  int i = 1;
  for (; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--") {
      ++i;
      break;
    }
    if (a == "--flush") flush = true;
    else if (a == "--runs" && i + 1 < argc) runs = std::atoi(argv[++i]);
    else if (a == "--empty" && i + 1 < argc) empty = argv[++i];
    else if (a == "--log" && i + 1 < argc) log = argv[++i];
    else break;
  }
  if (i >= argc || runs < 1 || empty.empty()) {
    std::fprintf(stderr,
                 "usage: bench-whole-measure --runs N --empty DIR [--flush] [--log FILE] -- CMD [ARGS...]\n");
    return 2;
  }
  char** command = argv + i;

  std::vector<double> times;
  long peak_kib = 0;
  for (int run = 0; run < runs; ++run) {
    if (!EmptyFolder(empty, flush)) {
      std::fprintf(stderr, "bench-whole-measure: cannot empty %s\n", empty.c_str());
      return 1;
    }
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (out < 0) {
      std::perror(log.c_str());
      return 1;
    }
    const double t0 = Now();
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(out, 1);
      ::dup2(out, 2);
      ::execvp(command[0], command);
      std::perror(command[0]);
      ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    const pid_t waited = pid > 0 ? ::wait4(pid, &status, 0, &usage) : -1;
    const double t1 = Now();
    ::close(out);
    if (waited != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "bench-whole-measure: run %d of %s failed (status %d); see %s\n", run + 1,
                   command[0], status, log.c_str());
      return 1;
    }
    times.push_back(t1 - t0);
    peak_kib = std::max(peak_kib, usage.ru_maxrss);
    std::printf("run %d: %.4f s, %ld KiB\n", run + 1, t1 - t0, usage.ru_maxrss);
  }
  std::printf("%.6f %ld\n", Median(times), peak_kib);
  return 0;
}
