#include "tests/package_builder.h"

#include "fastmemlist/fastmemlist.h"
#include "package/package.h"
#include "tests/test_util.h"

namespace {

std::string EntryData(const FileEntrySpec& entry) {
  const std::string content =
      entry.type == "0" ? Serialize(entry.lines) : entry.bytes;
  return Serialize({entry.separator, entry.path, entry.type, content});
}

}  // namespace

std::string LevelRecord(const LevelSpec& level) {
  std::vector<std::string> entries;
  for (const FileEntrySpec& entry : level.entries) {
    entries.push_back(EntryData(entry));
  }
  return Serialize({level.number, level.kind, level.presentation, level.label,
                    level.item4, level.severity, level.success_symbols,
                    level.failure_symbols, Serialize(level.comment_lines),
                    level.requirements, level.options, Serialize(entries),
                    Serialize(level.code)});
}

LevelSpec CreationRemovalLevel(const std::vector<std::string>& lines) {
  LevelSpec level;
  level.kind = "4";
  level.code = {"0"};
  level.code.insert(level.code.end(), lines.begin(), lines.end());
  return level;
}

TFASTMEMLIST LevelList(const std::vector<LevelSpec>& levels) {
  TFASTMEMLIST list;
  for (const LevelSpec& level : levels) {
    list.Add(LevelRecord(level));
  }
  return list;
}

LevelSpec NormalLevel(std::string number) {
  LevelSpec level;
  level.number = std::move(number);
  level.presentation = "Fix menu";
  level.entries.push_back({"/", "/src/a.txt", "0", {"old"}, ""});
  level.code = {"0", "new"};
  return level;
}

std::string MacroData(
    const std::vector<std::pair<std::string, std::string>>& macros) {
  TFASTMEMLIST list;
  for (const auto& [name, value] : macros) {
    list.Add(name);
    list.Add(value);
  }
  return list.SaveToString();
}

std::string PackageData(const std::vector<LevelSpec>& levels,
                        const TSETTINGSBLOCK& settings) {
  std::vector<std::string> records;
  for (const LevelSpec& level : levels) {
    records.push_back(LevelRecord(level));
  }
  return PackageDataFromRecords(records, SettingsToData(settings));
}

std::string PackageDataFromRecords(const std::vector<std::string>& records,
                                   const std::string& settings_item) {
  std::vector<std::string> items = records;
  items.push_back(settings_item);
  items.emplace_back(kPackageTrailer);
  return Serialize(items);
}
