#include "engine/reverse.h"

#include "gtest/gtest.h"
#include "services/failure.h"
#include "tests/driver_runs.h"
#include "tests/test_util.h"

namespace {

// A Normal level on a file that does not exist: reversing it reports the
// file, which shows the order in which levels are visited.
LevelSpec Missing(std::string number, std::string name) {
  LevelSpec level;
  level.number = std::move(number);
  level.presentation = "P";
  level.severity = "3";  // never read when reversing
  level.entries = {{"/", "/nonexistent/" + name, "0", {"x"}, ""}};
  level.code = {"0", "y"};
  return level;
}

std::string MissingLine(const std::string& number, const std::string& name) {
  return "FILE /nonexistent/" + name + " DOESN'T EXIST! CAN'T REVERSE LEVEL " +
         number + " PROCESS WITH PRESENTATION: P";
}

TEST(ReverseLevels, VisitsNumbersDescendingAndGoesOnAfterFailures) {
  LevelSpec apply_only = Missing("2", "apply-only");
  apply_only.requirements = "ACTION_APPLY";
  LevelSpec reverse_only = Missing("2", "reverse-only");
  reverse_only.requirements = "ACTION_REVERSE,+ABSENT";
  LevelSpec exported = Missing("3", "exported");
  exported.kind = "3";
  LevelSpec requirement = Missing("3", "requirement");
  requirement.kind = "1";
  const DriverRun run = RunReverse({Missing("1", "a"), Missing("3", "b"),
                                    apply_only, Missing("2", "c"), reverse_only,
                                    exported, requirement, Missing("3", "d")});
  EXPECT_EQ(run.output,
            (LineList{MissingLine("3", "b"), MissingLine("3", "d"),
                      MissingLine("2", "c"), MissingLine("2", "reverse-only"),
                      MissingLine("1", "a")}));
  EXPECT_EQ(run.settings.symbols, "ACTION_REVERSE");
}

TEST(ReverseLevels, KeepsActionNameAndWritesStateBack) {
  TSETTINGSBLOCK settings;
  settings.symbols = "ACTION_APPLY,+X";
  settings.macros = MacroData({{"{A}", "1"}});
  const DriverRun run = RunReverse({}, settings);
  EXPECT_EQ(run.settings.symbols, "+X,ACTION_REVERSE");
  EXPECT_EQ(run.settings.macros, MacroData({{"{A}", "1"}}));
}

TEST(ReverseLevels, NonIntegerNumberRaisesButSeverityIsNeverRead) {
  LevelSpec odd_severity = Missing("1", "a");
  odd_severity.severity = "not a number";
  EXPECT_EQ(RunReverse({odd_severity}).output.Count(), 1u);
  EXPECT_THROW(RunReverse({Missing("one", "a")}), Failure);
}

}  // namespace
