// Child processes for the file tests: a scenario run apart, on a private
// tmpfs, or killed in the middle of a write.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvana::test {

// In a new mount namespace: keeps what is mounted on `dir` from reaching
// the namespace it came from. Makes every mount private; where "/" is no
// mount point (a chroot), makes `dir` one of its own, private.
inline bool MakeMountsPrivate(const std::string& dir) {
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0) return true;
  return ::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
         ::mount(nullptr, dir.c_str(), nullptr, MS_PRIVATE, nullptr) == 0;
}

// What a child process sent back, and how it ended (a waitpid status).
struct TChildReport {
  std::string report;
  int status = 0;

  bool ExitedWith(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
};

// Runs the scenario in a forked child and collects the text it returns
// through a pipe. The child ends with the scenario's exit code, 0 unless the
// scenario leaves early with _exit.
inline TChildReport RunInChild(const std::function<std::string()>& scenario) {
  int fds[2];
  if (::pipe(fds) != 0) return {"<no pipe>", -1};
  const pid_t pid = ::fork();
  if (pid < 0) return {"<no child>", -1};
  if (pid == 0) {
    ::close(fds[0]);
    const std::string report = scenario();
    (void)!::write(fds[1], report.data(), report.size());
    ::close(fds[1]);
    ::_exit(0);
  }
  ::close(fds[1]);
  TChildReport child;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
    child.report.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  ::waitpid(pid, &child.status, 0);
  return child;
}

// Runs the scenario in a child process that has its own mount namespace (a
// user namespace too when not root) with a tmpfs of the given options mounted
// over `dir`. Returns the scenario's report, or nothing when the machine
// cannot make the namespace.
inline std::optional<std::string> RunOnTmpfs(const std::string& dir, const char* options,
                                             const std::function<std::string()>& scenario) {
  const uid_t uid = ::geteuid();
  const gid_t gid = ::getegid();
  const TChildReport child = RunInChild([&] {
    if (::unshare(CLONE_NEWNS) != 0) {
      if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) ::_exit(77);
      auto put = [](const char* file, const std::string& text) {
        const int fd = ::open(file, O_WRONLY);
        if (fd < 0) return;
        (void)!::write(fd, text.data(), text.size());
        ::close(fd);
      };
      put("/proc/self/setgroups", "deny");
      put("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
      put("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
    }
    if (!MakeMountsPrivate(dir)) ::_exit(77);
    if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, options) != 0) ::_exit(77);
    return scenario();
  });
  if (!child.ExitedWith(0)) return std::nullopt;
  return child.report;
}

// The user and group the checks of permissions run as when the tests run as
// root, whom permissions do not stop.
constexpr uid_t kNobody = 65534;

// Runs the scenario in a child process as a user whom file permissions stop.
// Run as root, the child first gives `paths` to the user nobody, so that
// their owner's permissions are the ones checked, then leaves root's groups
// and becomes nobody; otherwise it runs as the test's own user. Returns the
// scenario's report, "<child failed ...>" when the scenario ended otherwise,
// or nothing when this machine lets root not become nobody (a user namespace
// that maps no other user).
inline std::optional<std::string> RunUnprivileged(const std::vector<std::string>& paths,
                                                  const std::function<std::string()>& scenario) {
  const bool root = ::geteuid() == 0;
  const TChildReport child = RunInChild([&] {
    if (root) {
      for (const std::string& path : paths)
        if (::lchown(path.c_str(), kNobody, kNobody) != 0) ::_exit(77);
      if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
        ::_exit(77);
    }
    if (::geteuid() == 0) ::_exit(77);
    try {
      return scenario();
    } catch (...) {
      ::_exit(70);  // never back into the test program's own run
    }
  });
  if (child.ExitedWith(77)) return std::nullopt;
  if (!child.ExitedWith(0))
    return "<child failed with status " + std::to_string(child.status) + ">";
  return child.report;
}

// Runs `work` in a child whose file-size limit is `limit` bytes and for which
// SIGXFSZ keeps its default action, so a write beyond the limit kills the
// child in the middle of writing. Returns the reaped child's pid when it was
// killed so, -1 otherwise.
inline pid_t RunKilledMidWrite(rlim_t limit, const std::function<void()>& work) {
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    struct rlimit no_core {
      0, 0
    };
    ::setrlimit(RLIMIT_CORE, &no_core);
    ::signal(SIGXFSZ, SIG_DFL);
    struct rlimit small {
      limit, limit
    };
    ::setrlimit(RLIMIT_FSIZE, &small);
    try {
      work();
    } catch (...) {
    }
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ ? pid : -1;
}

}  // namespace orvana::test
