// qrlpack, the authoring tool: builds quorl packages from JSON descriptions
// and dumps them back, makes packages from diffs and from edited trees,
// plans what a package will do to a tree, and rebases a package onto a new
// release. Everything is in RunQrlpack; this only sets up the process.
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
