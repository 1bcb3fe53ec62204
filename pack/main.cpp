// qrlpack: builds quorl packages from JSON descriptions and describes
// packages as JSON.
#include <iostream>
#include <string>
#include <vector>

#include "pack/pack_client.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv, argv + argc);
  return RunQrlpack(args, std::cout, std::cerr);
}
