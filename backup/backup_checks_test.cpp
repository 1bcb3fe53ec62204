#include "backup/backup_checks.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/package_builder.h"
#include "tests/test_util.h"

namespace {

// A level of that kind and code; a check when `check` says so.
LevelSpec Level(std::string kind, std::vector<std::string> code, bool check) {
  LevelSpec level;
  level.kind = std::move(kind);
  level.presentation = "check";
  level.severity = "3";
  level.options = check ? "backupcheck" : "";
  level.code = std::move(code);
  return level;
}

// Only the levels with the option run, as apply runs them, and they change
// nothing and start no tool.
TEST(PassesBackupChecks, RunsTheCheckLevelsOnAViewThatKeepsEverything) {
  ScratchDir dir;
  const std::string made = dir.Path("made/");
  LevelSpec missing = Level("1", {}, true);
  missing.entries = {{"/", dir.Path("missing.txt"), "1", {}, ""}};
  LevelSpec present = missing;
  WriteFile(dir.Path("there.txt"), "x");
  present.entries[0].path = dir.Path("there.txt");
  struct Case {
    std::vector<LevelSpec> levels;
    bool passes;
    std::string line;  // printed when it does not pass
  };
  const std::vector<Case> cases = {
      {{Level("4", {"0", "+/" + made}, false), missing},
       false,
       "ERROR! LOCAL REQUIREMENTS ARE NOT FULFILLED FOR LEVEL 1 PROCESS WITH "
       "PRESENTATION: check"},
      {{present, Level("4", {"0", "+/" + made}, true)}, true, ""},
      {{Level("5", {"0", "", "", "//bin/true", ""}, true)},
       false,
       "ERROR! EXTERNAL TOOL CAN'T BE EXECUTED! LEVEL 1 PROCESS WITH "
       "PRESENTATION: check"},
  };
  for (const Case& c : cases) {
    LineList output;
    EXPECT_EQ(
        PassesBackupChecks(LevelList(c.levels), TSETTINGSBLOCK(), &output),
        c.passes);
    if (!c.line.empty()) {
      EXPECT_EQ(std::vector<std::string>(output.begin(), output.end()),
                std::vector<std::string>{c.line});
    }
    EXPECT_FALSE(Exists(made));
  }
  // Without any check level the levels are not run at all.
  LineList output;
  LevelSpec failing = missing;
  failing.options.clear();
  EXPECT_TRUE(
      PassesBackupChecks(LevelList({failing}), TSETTINGSBLOCK(), &output));
  EXPECT_TRUE(output.Empty());
}

}  // namespace
