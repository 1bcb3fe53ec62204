// qrlconsole: applies, reverses, checks and backs up quorl packages.
#include <iostream>
#include <string>
#include <vector>

#include "console/console_client.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv, argv + argc);
  return RunConsole(args, std::cout, std::cerr);
}
