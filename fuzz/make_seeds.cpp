// Writes the seed corpus of the package fuzzer: a few small packages of
// every kind, built with the test package builder.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/package_builder.h"
#include "tests/test_util.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: package_fuzz_seeds DIRECTORY\n");
    return 2;
  }
  const std::string dir = argv[1];
  ::mkdir(dir.c_str(), 0755);

  TSETTINGSBLOCK settings;
  settings.level_marker = {"// LEVEL ", "", kMarkerBefore};
  settings.macros = MacroData({{"{A}", "1"}});
  settings.symbols = "+S";
  std::vector<LevelSpec> levels;
  for (int kind = 0; kind <= 6; ++kind) {
    LevelSpec level;
    level.number = std::to_string(kind);
    level.kind = std::to_string(kind);
    level.presentation = "seed";
    level.comment_lines = {"c"};
    level.entries.push_back({"/", "/a/b.txt", "0", {"x"}, ""});
    level.entries.push_back({"\\", "\\c", "1", {}, std::string("\0\1", 2)});
    level.code = {"0", "line"};
    levels.push_back(level);
  }
  const std::vector<std::string> seeds = {
      PackageData(levels, settings),
      PackageData({levels[0]}),
      PackageDataFromRecords({LevelRecord(levels[6])}, ""),
      Serialize({}),
  };
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
