// The progress line: only on a terminal, only for a run that takes a
// while, never on standard output.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

// Runs qrlconsole with standard error on a new terminal; gives what the
// terminal received and what standard output got.
ProgramResult RunOnTerminal(const std::vector<std::string>& args) {
  ProgramResult result;
  const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
  EXPECT_GE(terminal, 0);
  EXPECT_EQ(::grantpt(terminal), 0);
  EXPECT_EQ(::unlockpt(terminal), 0);
  const std::string side = ::ptsname(terminal);
  int out[2];
  EXPECT_EQ(::pipe(out), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int err = ::open(side.c_str(), O_RDWR | O_NOCTTY);
    ::dup2(out[1], 1);
    ::dup2(err, 2);
    std::vector<char*> argv = {const_cast<char*>(QRLCONSOLE_BIN)};
    for (const std::string& arg : args) {
      argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  // Both are read as they come, so that neither fills up.
  struct pollfd fds[2] = {{out[0], POLLIN, 0}, {terminal, POLLIN, 0}};
  std::string* into[2] = {&result.out, &result.err};
  int open_streams = 2;
  while (open_streams > 0 && ::poll(fds, 2, 5000) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) {
        continue;
      }
      char chunk[4096];
      const ssize_t n = ::read(fds[i].fd, chunk, sizeof chunk);
      if (n <= 0) {
        fds[i].fd = -1;  // a terminal whose side closed reads EIO
        --open_streams;
      } else {
        into[i]->append(chunk, static_cast<size_t>(n));
      }
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  ::close(out[0]);
  ::close(terminal);
  return result;
}

TEST(ProgressEndToEnd, ALongRunShowsItsProgressOnTheTerminalOnly) {
  ScratchDir dir;
  WriteFile(dir.Path("tree/a.txt"), "old a\n");
  WriteFile(dir.Path("tree/b.txt"), "old b\n");
  const std::string package = dir.Path("slow.qrl");
  BuildPackageFromJson(R"({"levels": [
    {"kind": "External", "number": 1, "severity": 2,
     "code": {"executable": "//bin/sleep", "parameters": ["1.3"]}},
    {"kind": "Normal", "number": 2, "severity": 2,
     "entries": [{"path": "{ROOT}a.txt", "lines": ["old a"]}],
     "code": ["new a"]},
    {"kind": "Normal", "number": 3, "severity": 2,
     "entries": [{"path": "{ROOT}b.txt", "lines": ["old b"]}],
     "code": ["new b"]}]})",
                       package);
  const std::vector<std::string> args = {package, "apply",
                                         "MACRO{ROOT}=" + dir.Path("tree/")};
  const ProgramResult shown = RunOnTerminal(args);
  EXPECT_EQ(shown.exit_code, 0);
  EXPECT_EQ(shown.out, BannerLine());
  EXPECT_NE(shown.err.find("\rqrlconsole: 1 of 3 levels done, " +
                           dir.Path("tree/a.txt")),
            std::string::npos)
      << shown.err;
  // The line is wiped at the end, and nothing else was written.
  ASSERT_GE(shown.err.size(), 4u);
  EXPECT_EQ(shown.err.substr(shown.err.size() - 4), "\r\x1b[K");
  EXPECT_EQ(ReadFile(dir.Path("tree/b.txt")), "new b\n");

  // The same run with standard error not a terminal says nothing there.
  WriteFile(dir.Path("tree/a.txt"), "old a\n");
  WriteFile(dir.Path("tree/b.txt"), "old b\n");
  const ProgramResult quiet = RunConsole(args);
  EXPECT_EQ(quiet.exit_code, 0);
  EXPECT_EQ(quiet.out, BannerLine());
  EXPECT_EQ(quiet.err, "");
}

}  // namespace
