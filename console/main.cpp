// qrlconsole: applies, reverses, checks and backs up quorl packages.
#include <unistd.h>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "console/console_client.h"
#include "services/memory_reuse.h"

int main(int argc, char** argv) {
  // A file size limit then makes a write fail with EFBIG, which is
  // reported like any write error, instead of killing the process halfway.
  std::signal(SIGXFSZ, SIG_IGN);
  KeepFreedMemoryForReuse();
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv, argv + argc);
  // Progress is shown only to a person at a terminal.
  const int progress_fd = ::isatty(STDERR_FILENO) ? STDERR_FILENO : -1;
  return RunConsole(args, std::cout, std::cerr, progress_fd);
}
