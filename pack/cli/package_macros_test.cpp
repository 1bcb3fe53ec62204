#include "pack/cli/package_macros.h"

#include <gtest/gtest.h>

#include "tests/package_builder.h"

namespace {

TEST(PackageMacroNames, StoredNamesAndTheNamesOfPathsEachOnceAndPlain) {
  LevelSpec level;
  level.entries.push_back({"/", "{ROOT}a/{SUB}/b", "0", {"x"}, ""});
  level.entries.push_back({"/", "{ROOT}c{not one}{}{X", "0", {"x"}, ""});
  TSETTINGSBLOCK settings;
  settings.macros = MacroData({{"{NAME}", "1"},
                               {"{ROOT}", "/t/"},
                               {"PLAIN", ""},
                               {"{$(run it)}", ""},
                               {"{A B}", ""}});
  EXPECT_EQ(PackageMacroNames(LevelList({level}), settings),
            (std::vector<std::string>{"PLAIN", "{NAME}", "{ROOT}", "{SUB}"}));
  EXPECT_TRUE(PackageMacroNames(LevelList({}), TSETTINGSBLOCK{}).empty());
}

}  // namespace
