// Builds level records and whole packages for tests from plain fields.
#ifndef QRL_TESTS_PACKAGE_BUILDER_H_
#define QRL_TESTS_PACKAGE_BUILDER_H_

#include <string>
#include <utility>
#include <vector>

#include "fastmemlist/fastmemlist.h"
#include "package/settings_block.h"

struct FileEntrySpec {
  std::string separator = "/";
  std::string path;
  std::string type = "0";          // "0" text, "1" binary
  std::vector<std::string> lines;  // the content of a text entry
  std::string bytes;               // the content of a binary entry
};

struct LevelSpec {
  std::string number = "1";
  std::string kind = "0";
  std::string presentation;
  std::string label;
  std::string item4;
  std::string severity = "2";
  std::string success_symbols;
  std::string failure_symbols;
  std::vector<std::string> comment_lines;
  std::string requirements;
  std::string options;
  std::vector<FileEntrySpec> entries;
  std::vector<std::string> code;  // every item of the code list, type first
};

// The serialized 13-item record of `level`.
std::string LevelRecord(const LevelSpec& level);

// A FileDirectoryCreationRemoval level with these text code lines.
LevelSpec CreationRemovalLevel(const std::vector<std::string>& lines);

// The level list of a loaded package: one serialized record per level.
TFASTMEMLIST LevelList(const std::vector<LevelSpec>& levels);

// A Normal level "Fix menu" that replaces "old" by "new" in /src/a.txt.
LevelSpec NormalLevel(std::string number);

// A serialized macro list: name, value, name, value ...
std::string MacroData(
    const std::vector<std::pair<std::string, std::string>>& macros);

// A whole package: the records, the settings, the trailer.
std::string PackageData(const std::vector<LevelSpec>& levels,
                        const TSETTINGSBLOCK& settings = {});
std::string PackageDataFromRecords(const std::vector<std::string>& records,
                                   const std::string& settings_item);

#endif  // QRL_TESTS_PACKAGE_BUILDER_H_
