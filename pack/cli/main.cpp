// qrlpack: builds quorl packages from JSON descriptions and describes
// packages as JSON.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "pack/cli/pack_client.h"
#include "services/memory_reuse.h"

int main(int argc, char** argv) {
  // A file size limit then makes a write fail with EFBIG, which is
  // reported like any write error, instead of killing the process halfway.
  std::signal(SIGXFSZ, SIG_IGN);
  KeepFreedMemoryForReuse();
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv, argv + argc);
  return RunQrlpack(args, std::cout, std::cerr);
}
