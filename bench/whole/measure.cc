// bench-whole-measure: runs one command, or two alternately, as whole
// processes and reports their wall time and peak resident memory.
//
//   bench-whole-measure [--runs N] [--empty DIR]... [--copy SRC DST]...
//                       [--flush] [--log FILE] [--wait-b] -- A [ARGS...] [-- B [ARGS...]]
//
// With one command it is run N times; with two, N pairs are run in the order
// A B A B ..., so that both see the same machine at nearly the same moment.
// Before every run (untimed) everything inside each --empty DIR is removed,
// each --copy SRC is copied over DST (for a command that changes its input)
// and, with --flush, dirty pages are written to disk. Each run is started the
// same way: fork, exec, and wait4, which gives the child's ru_maxrss; the wall
// time runs from the fork to the end of wait4. The commands' output goes to
// FILE (default /dev/null). A run that fails stops the measurement with exit
// code 1.
//
// With --wait-b, B prepares before its clock starts: B is started with a
// pipe's write end as descriptor 4 and another's read end as descriptor 3;
// once B has written one byte to 4 (its preparation done), the clock starts
// and one byte is written to B's descriptor 3; the time runs to the end of
// wait4 as for A. B's peak memory then includes what it prepared.
//
// One line per run ("A 3: 0.4123 s, 31244 KiB"), then the summary line:
//   A_median_s A_min_s A_max_s A_peak_kib                      (one command)
//   A_median_s A_min_s A_max_s A_peak_kib
//     B_median_s B_min_s B_max_s B_peak_kib R_median R_min R_max      (two)
// where the peak is the largest of the runs and R is each pair's A/B time.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "bench/whole/whole_util.h"

using orvana::bench::EmptyFolder;
using orvana::bench::Median;
using orvana::bench::Now;

namespace {

struct TCommand {
  std::vector<char*> argv;  // null-terminated
  std::vector<double> times;
  long peak_kib = 0;
};

[[noreturn]] void Usage() {
  std::fprintf(stderr,
               "usage: bench-whole-measure [--runs N] [--empty DIR]... [--copy SRC DST]... "
               "[--flush] [--log FILE] [--wait-b] -- A [ARGS...] [-- B [ARGS...]]\n");
  std::exit(2);
}

struct TOptions {
  int runs = 5;
  bool flush = false, wait_b = false;
  std::string log = "/dev/null";
  std::vector<std::string> empty;
  std::vector<std::pair<std::string, std::string>> copies;
};

// The untimed set-up before a run; false (said on stderr) when it failed.
bool Prepare(const TOptions& o) {
  for (const std::string& dir : o.empty) {
    if (!EmptyFolder(dir, /*flush=*/false)) {
      std::fprintf(stderr, "bench-whole-measure: cannot empty %s\n", dir.c_str());
      return false;
    }
  }
  for (const auto& [from, to] : o.copies) {
    std::error_code ec;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
      std::fprintf(stderr, "bench-whole-measure: cannot copy %s: %s\n", from.c_str(),
                   ec.message().c_str());
      return false;
    }
  }
  if (o.flush) ::sync();
  return true;
}

// One timed run of the command, its output into `out`; with `wait`, the
// clock starts when the command says it is ready (see above). Returns the
// seconds, or a negative number when the run failed.
double TimeRun(TCommand& c, int out, bool wait, int& status, struct rusage& usage) {
  int go[2] = {-1, -1}, ready[2] = {-1, -1};
  if (wait && (::pipe2(go, O_CLOEXEC) != 0 || ::pipe2(ready, O_CLOEXEC) != 0)) {
    std::perror("pipe");
    return -1;
  }
  double t0 = Now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out, 1);
    ::dup2(out, 2);
    if (wait) {
      // Out of the way of 3 and 4 first, then onto them (without CLOEXEC).
      const int g = ::fcntl(go[0], F_DUPFD_CLOEXEC, 10);
      const int r = ::fcntl(ready[1], F_DUPFD_CLOEXEC, 10);
      ::dup2(g, 3);
      ::dup2(r, 4);
    }
    ::execvp(c.argv[0], c.argv.data());
    std::perror(c.argv[0]);
    ::_exit(127);
  }
  if (wait) {
    ::close(go[0]);
    ::close(ready[1]);
    char byte = 0;
    ssize_t n;
    while ((n = ::read(ready[0], &byte, 1)) < 0 && errno == EINTR) {
    }
    t0 = Now();
    if (n == 1) (void)!::write(go[1], &byte, 1);
    ::close(go[1]);
    ::close(ready[0]);
  }
  const pid_t waited = pid > 0 ? ::wait4(pid, &status, 0, &usage) : -1;
  const double t1 = Now();
  if (waited != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return t1 - t0;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--") break;
    if (a == "--flush")
      o.flush = true;
    else if (a == "--wait-b")
      o.wait_b = true;
    else if (a == "--runs" && i + 1 < argc)
      o.runs = std::atoi(argv[++i]);
    else if (a == "--empty" && i + 1 < argc)
      o.empty.emplace_back(argv[++i]);
    else if (a == "--copy" && i + 2 < argc) {
      o.copies.emplace_back(argv[i + 1], argv[i + 2]);
      i += 2;
    } else if (a == "--log" && i + 1 < argc)
      o.log = argv[++i];
    else
      Usage();
  }
  std::vector<TCommand> commands;
  while (i < argc && std::strcmp(argv[i], "--") == 0) {
    TCommand c;
    for (++i; i < argc && std::strcmp(argv[i], "--") != 0; ++i) c.argv.push_back(argv[i]);
    if (c.argv.empty()) Usage();
    c.argv.push_back(nullptr);
    commands.push_back(std::move(c));
  }
  if (i != argc || commands.empty() || commands.size() > 2 || o.runs < 1) Usage();

  std::vector<double> ratios;
  for (int run = 0; run < o.runs; ++run) {
    for (size_t k = 0; k < commands.size(); ++k) {
      TCommand& c = commands[k];
      if (!Prepare(o)) return 1;
      const int out = ::open(o.log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
      if (out < 0) {
        std::perror(o.log.c_str());
        return 1;
      }
      int status = 0;
      struct rusage usage {};
      const double seconds = TimeRun(c, out, o.wait_b && k == 1, status, usage);
      ::close(out);
      const char label = static_cast<char>('A' + k);
      if (seconds < 0) {
        std::fprintf(stderr, "bench-whole-measure: %c run %d (%s) failed (status %d); see %s\n",
                     label, run + 1, c.argv[0], status, o.log.c_str());
        return 1;
      }
      c.times.push_back(seconds);
      c.peak_kib = std::max(c.peak_kib, usage.ru_maxrss);
      std::printf("%c %d: %.4f s, %ld KiB\n", label, run + 1, seconds, usage.ru_maxrss);
      std::fflush(stdout);
    }
    if (commands.size() == 2) ratios.push_back(commands[0].times.back() / commands[1].times.back());
  }
  for (const TCommand& c : commands)
    std::printf("%.6f %.6f %.6f %ld ", Median(c.times),
                *std::min_element(c.times.begin(), c.times.end()),
                *std::max_element(c.times.begin(), c.times.end()), c.peak_kib);
  if (!ratios.empty())
    std::printf("%.4f %.4f %.4f", Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
  std::printf("\n");
  return 0;
}
