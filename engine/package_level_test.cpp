#include "engine/package_level.h"

#include "gtest/gtest.h"
#include "tests/driver_runs.h"
#include "tests/test_util.h"

namespace {

class PackageLevelTest : public ::testing::Test {
 protected:
  static LevelSpec FromFile(const std::string& path) {
    LevelSpec level;
    level.kind = "6";
    level.presentation = "Nested";
    level.code = {"0", "/" + path};
    return level;
  }

  static LevelSpec Inline(const std::string& package) {
    LevelSpec level = FromFile("");
    level.code = {"1", package};
    return level;
  }

  static LevelSpec Export(std::string number, std::string file,
                          std::string line) {
    LevelSpec level;
    level.number = std::move(number);
    level.kind = "3";
    level.presentation = "Export";
    level.entries = {{"/", std::move(file), "0", {std::move(line)}, ""}};
    return level;
  }

  static std::string Line(const std::string& text) {
    return text + " FOR LEVEL 1 PROCESS WITH PRESENTATION: Nested";
  }

  ScratchDir dir_{ScratchDir::Enter::kYes};
};

TEST_F(PackageLevelTest, ReverseKeepsItsActionNameAndReportsRequirements) {
  // The nested run hands back ACTION_APPLY among its symbols; under
  // reverse only ACTION_REVERSE remains.
  LevelSpec make;
  make.kind = "4";
  make.code = {"0", "+/made/"};
  const LevelSpec level = Inline(PackageData({make}));
  TSETTINGSBLOCK settings;
  settings.symbols = "+S,ACTION_APPLY";
  DriverRun run = RunReverse({level}, settings);
  EXPECT_EQ(run.output, LineList{"FILE/DIRECTORY +/made/ CAN'T "
                                 "CREATED/REMOVED! CAN'T APPLY LEVEL 1 "
                                 "PROCESS WITH PRESENTATION: "});
  EXPECT_EQ(run.settings.symbols, "+S,ACTION_REVERSE");

  LevelSpec guarded = level;
  guarded.entries = {{"/", dir_.Path("missing.txt"), "0", {"x"}, ""}};
  EXPECT_EQ(RunReverse({guarded}).output,
            LineList{Line("LOCAL REQUIREMENTS ARE NOT FULFILLED")});
}

TEST_F(PackageLevelTest, NestedStatusBecomesTheLevelsSeverity) {
  WriteFile(dir_.Path("plain"), "a file");
  struct Case {
    std::string nested_severity;
    LineList output;
    uint8_t status;
  };
  const std::string nested_line =
      "DIRECTORY plain/ DOESN'T EXIST AND CAN'T BE CREATED! CAN'T APPLY LEVEL "
      "1 PROCESS WITH PRESENTATION: Export";
  const std::vector<Case> cases = {
      {"3", {"ERROR! " + nested_line, "ERROR! "}, 3},
      {"2", {"WARNING! " + nested_line, "WARNING! "}, 2},
      {"7", {}, 7},
  };
  for (const Case& c : cases) {
    LevelSpec failing = Export("1", "plain/x.txt", "x");
    failing.severity = c.nested_severity;
    const DriverRun run =
        RunApply({Inline(PackageData({failing})), Export("2", "next", "")});
    EXPECT_EQ(run.output, c.output) << c.nested_severity;
    EXPECT_EQ(run.status, c.status) << c.nested_severity;
    EXPECT_EQ(Exists(dir_.Path("next")), c.status != 3) << c.nested_severity;
  }
}

TEST_F(PackageLevelTest, DataThatIsNoPackageIsIncompatible) {
  const std::string record = LevelRecord(Export("1", "x", "x"));
  const std::string good = PackageData({Export("1", "x", "x")});
  LevelSpec type_only = Inline("");
  type_only.code = {"1"};
  const std::vector<LevelSpec> levels = {
      FromFile(dir_.Path("missing.qrl")),
      Inline(""),
      Inline(PackageDataFromRecords({}, "")),  // two items
      Inline(Serialize({record, "", "QUORLING CONTROL SYSTEM 2023"})),
      Inline(good.substr(0, good.size() - 1)),
      Inline(PackageDataFromRecords({"not a record"}, "")),
      type_only,
  };
  for (const LevelSpec& level : levels) {
    const DriverRun run = RunApply({level});
    EXPECT_EQ(run.output, LineList{"WARNING! " + Line("INCOMPATIBLE DATA")});
  }
  EXPECT_FALSE(Exists(dir_.Path("x")));
}

TEST_F(PackageLevelTest, FailureInTheNestedRunIsUnableToReadAndHandsNothing) {
  LevelSpec odd = Export("one", "x", "x");
  TSETTINGSBLOCK settings;
  settings.macros = MacroData({{"{A}", "a"}});
  const DriverRun run = RunApply({Inline(PackageData({odd}))}, settings);
  EXPECT_EQ(run.output, LineList{"WARNING! " + Line("UNABLE TO READ DATA")});
  EXPECT_EQ(run.settings.macros, settings.macros);
}

}  // namespace
