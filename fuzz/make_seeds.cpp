// Writes the seed corpus of the fuzzers: the sample packages of the tests
// (small packages of every kind) and a list that is not a package.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/sample_packages.h"
#include "tests/test_util.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: package_fuzz_seeds DIRECTORY\n");
    return 2;
  }
  const std::string dir = argv[1];
  ::mkdir(dir.c_str(), 0755);

  std::vector<std::string> seeds = SamplePackages();
  seeds.push_back(Serialize({}));  // a list that is not a package
  for (size_t i = 0; i < seeds.size(); ++i) {
    const std::string path = dir + "/seed-" + std::to_string(i);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr ||
        std::fwrite(seeds[i].data(), 1, seeds[i].size(), file) !=
            seeds[i].size() ||
        std::fclose(file) != 0) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
