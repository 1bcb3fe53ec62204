// qrlconsole: applies, reverses, checks and backs up quorl packages.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "console/console_client.h"

int main(int argc, char** argv) {
  // A file size limit then makes a write fail with EFBIG, which is
  // reported like any write error, instead of killing the process halfway.
  std::signal(SIGXFSZ, SIG_IGN);
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv, argv + argc);
  return RunConsole(args, std::cout, std::cerr);
}
