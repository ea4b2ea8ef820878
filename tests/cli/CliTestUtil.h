// Helpers of the command-line tool's tests: running the tool in-process or as
// the real program. The scratch folder and whole files come from the shared
// test support.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/Cli.h"
#include "tests/support/TestUtil.h"

namespace orvana::cli::testing {

using ::orvana::test::ExpectThrowsMessage;
using ::orvana::test::FileExists;
using ::orvana::test::ReadWholeFile;
using ::orvana::test::TempDir;
using ::orvana::test::WriteWholeFile;

struct RunResult {
  int code;
  std::string out;
  std::string err;
};

// RunCli with captured streams.
inline RunResult RunTool(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  const int code = RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

#ifdef ORVANA_CLI_PATH
// The real orvana-cli program, its output captured through files; with
// `stdout_path`, standard output goes there instead and is not captured; with
// `stdin_path`, standard input comes from that file (otherwise it is empty).
// A run that has not ended after 20 seconds is killed by SIGALRM, so a tool
// that blocks fails its test instead of hanging the suite.
inline RunResult RunProgram(const std::vector<std::string>& args,
                            const std::string& stdout_path = "",
                            const std::string& stdin_path = "/dev/null") {
  TempDir capture;
  const std::string out_path = stdout_path.empty() ? capture / "out" : stdout_path;
  const std::string err_path = capture / "err";
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out_fd =
        ::open(out_path.c_str(), O_WRONLY | O_CREAT | (stdout_path.empty() ? O_TRUNC : 0), 0600);
    const int err_fd = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in_fd = ::open(stdin_path.c_str(), O_RDONLY);
    ::dup2(in_fd, 0);
    ::dup2(out_fd, 1);
    ::dup2(err_fd, 2);
    ::alarm(20);  // kept across execv
    std::vector<char*> argv;
    std::string program = ORVANA_CLI_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return {code, stdout_path.empty() ? ReadWholeFile(out_path) : std::string(),
          ReadWholeFile(err_path)};
}
#endif

}  // namespace orvana::cli::testing
