#include "tests/package_builder.h"

#include "fastmemlist/fastmemlist.h"
#include "package/level_view.h"
#include "package/package.h"
#include "tests/test_util.h"

std::string LevelRecord(const LevelSpec& level) {
  LevelView view;
  view.number = level.number;
  view.kind_code = level.kind;
  view.presentation = level.presentation;
  view.label = level.label;
  view.item4 = level.item4;
  view.severity = level.severity;
  view.success_symbols = level.success_symbols;
  view.failure_symbols = level.failure_symbols;
  view.comment_lines.assign(level.comment_lines.begin(),
                            level.comment_lines.end());
  view.requirements = level.requirements;
  view.options = level.options;
  std::vector<std::string> contents;  // the text entries' serialized lines
  contents.reserve(level.entries.size());
  for (const FileEntrySpec& entry : level.entries) {
    contents.push_back(entry.type == "0" ? Serialize(entry.lines) : "");
  }
  for (size_t i = 0; i < level.entries.size(); ++i) {
    const FileEntrySpec& entry = level.entries[i];
    view.entries.push_back({entry.separator,
                            entry.path,
                            entry.type,
                            entry.type == "0" ? std::string_view(contents[i])
                                              : std::string_view(entry.bytes),
                            {},
                            false,
                            true});
  }
  view.code.assign(level.code.begin(), level.code.end());
  return EncodeLevel(view);
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
