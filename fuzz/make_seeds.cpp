// Writes the seed corpus of a fuzzer into a directory: for "package", the
// sample packages of the tests (small packages of every kind) and a list
// that is not a package; for "backup", backups of those packages' targets
// and a few records of every state.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "backup/backup_records.h"
#include "tests/sample_packages.h"
#include "tests/test_util.h"

namespace {

std::vector<std::string> PackageSeeds() {
  std::vector<std::string> seeds = SamplePackages();
  seeds.push_back(Serialize({}));  // a list that is not a package
  return seeds;
}

std::vector<std::string> BackupSeeds() {
  TFASTMEMLIST records;
  AddBackupRecord(&records, PathState::kExisted, "/src/a.txt", "/src/",
                  "old a\r\n");
  AddBackupRecord(&records, PathState::kAbsent, "/src/new/deep/n.txt", "/src/",
                  "");
  AddBackupRecord(&records, PathState::kExisted, "/src/kept/", "/src/kept/",
                  "");
  AddBackupRecord(&records, PathState::kAbsent, "made/", "", "");
  AddBackupRecord(&records, PathState::kExisted, "relative.bin", "",
                  std::string("\0\xff", 2));
  TFASTMEMLIST one;
  AddBackupRecord(&one, PathState::kExisted, "f", "", "content");
  return {records.SaveToString(), one.SaveToString(), Serialize({})};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::string_view(argv[1]) != "package" &&
                    std::string_view(argv[1]) != "backup")) {
    std::fprintf(stderr, "usage: fuzz_seeds package|backup DIRECTORY\n");
    return 2;
  }
  const std::string dir = argv[2];
  ::mkdir(dir.c_str(), 0755);
  const std::vector<std::string> seeds =
      std::string_view(argv[1]) == "package" ? PackageSeeds() : BackupSeeds();
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
