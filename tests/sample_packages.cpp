#include "tests/sample_packages.h"

#include "tests/package_builder.h"
#include "tests/test_util.h"

namespace {

using namespace std::string_literals;

// One level of every kind, each with text and binary file entries.
std::vector<LevelSpec> LevelsOfEveryKind() {
  std::vector<LevelSpec> levels;
  for (int kind = 0; kind <= 6; ++kind) {
    LevelSpec level;
    level.number = std::to_string(kind);
    level.kind = std::to_string(kind);
    level.presentation = "seed";
    level.comment_lines = {"c"};
    level.entries.push_back({"/", "/a/b.txt", "0", {"x"}, ""});
    level.entries.push_back({"\\", "\\c", "1", {}, "\0\1"s});
    level.code = {"0", "line"};
    levels.push_back(level);
  }
  return levels;
}

}  // namespace

std::vector<std::string> SamplePackages() {
  const std::vector<LevelSpec> every_kind = LevelsOfEveryKind();
  TSETTINGSBLOCK seed_settings;
  seed_settings.level_marker = {"// LEVEL ", "", kMarkerBefore};
  seed_settings.macros = MacroData({{"{A}", "1"}});
  seed_settings.symbols = "+S";

  TSETTINGSBLOCK package_settings;
  package_settings.user_information = "Read me first";
  package_settings.symbols = "+P";
  package_settings.macros = MacroData({{"{A}", "1"}});

  TSETTINGSBLOCK marker_settings;
  marker_settings.level_marker = {"// LEVEL ", " ", kMarkerBefore};

  // A settings item whose first position item holds two bytes.
  const std::string long_position = Serialize(
      {"// L ", " end", "\x01\x09"s, "<", ">", "\x00"s, "/*", "*/", "\x02"s,
       "user info\nline two", "text ten", Serialize({"{A}", "1"}), " +P ,-Q"});

  LevelSpec entries_level;
  entries_level.entries.push_back({"\\", "\\dir\\a.txt", "0", {"x", "y"}, ""});
  entries_level.entries.push_back({"/", "/b.bin", "1", {}, "\0\1"s});

  return {
      PackageData(every_kind, seed_settings),
      PackageData({every_kind[0]}),
      PackageDataFromRecords({LevelRecord(every_kind[6])}, ""),
      PackageData({NormalLevel("1"), NormalLevel("2")}, package_settings),
      PackageDataFromRecords({LevelRecord(NormalLevel("1"))}, ""),
      PackageData({NormalLevel("1"), NormalLevel("2")}, marker_settings),
      PackageDataFromRecords({LevelRecord(entries_level)}, long_position),
  };
}
