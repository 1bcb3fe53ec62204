#include "engine/run_limits.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/driver_runs.h"

namespace {

LevelSpec Program(std::vector<std::string> lines) {
  LevelSpec level;
  level.kind = "2";
  level.presentation = "Loop";
  level.options = "IGNOREMACROS";
  level.code = {"0"};
  level.code.insert(level.code.end(), lines.begin(), lines.end());
  return level;
}

// Small bounds, one of which each case goes past.
RunLimits Small() {
  RunLimits limits;
  limits.restarts = 10;
  limits.program_lines = 1000;
  limits.output_lines = 100;
  limits.output_bytes = 1000;
  limits.macro_bytes = 10000;
  limits.buffer_bytes = 10000;
  return limits;
}

TEST(RunLimits, EachBoundEndsTheRunWithItsReason) {
  const ScopedRunLimits small(Small());
  const std::string level = "level 1 PROCESS WITH PRESENTATION: Loop: ";
  struct Case {
    std::vector<std::string> program;
    std::string what;
  };
  const std::vector<Case> cases = {
      {{"LEVELRESTART"}, "level number 1 was restarted 10 times"},
      {{"#L", "GOTO #L"}, level + "the program ran more than 1000 lines"},
      // A sub-program that runs itself twice would take 2^64 runs.
      {{"MACROFIRSTADDEMPTY", "MACROFIRSTSETNAME {M}",
        "BUFFERSET EXECUTECOMPLEXMACRO {M}", "BUFFEREPILOGUETEXTLINESEPARATOR",
        "BUFFEREPILOGUE EXECUTECOMPLEXMACRO {M}", "MACROFIRSTSETVALUE",
        "EXECUTECOMPLEXMACRO {M}"},
       level + "the program ran more than 1000 lines"},
      {{"#L", "MESSAGE x", "GOTO #L"},
       level + "the report grew past 100 lines"},
      {{"BUFFERSET " + std::string(300, 'x'), "#L", "MESSAGE", "GOTO #L"},
       level + "the report grew past 1000 bytes"},
      {{"MESSAGE x", "LEVELRESTART"}, "level number 1 was restarted 10 times"},
      {{"#L", "MACROFIRSTADDEMPTY", "GOTO #L"},
       level + "the macros grew past 10000 bytes"},
      {{"BUFFERSET x", "MACROFIRSTADDEMPTY", "#L", "MACROFIRSTSETVALUE",
        "BUFFEREPILOGUEWITHFIRSTMACROVALUE", "GOTO #L"},
       level + "the program's buffer grew past 10000 bytes"},
      // A command that never stops writing is killed.
      {{"IFEXECUTECOMMAND yes"},
       level + "the command's output grew past 10000 bytes"},
  };
  for (const Case& c : cases) {
    try {
      RunApply({Program(c.program)});
      ADD_FAILURE() << c.what;
    } catch (const RunLimitExceeded& exceeded) {
      EXPECT_EQ(exceeded.what(), c.what);
    }
  }
}

TEST(RunLimits, AToolThatNeverStopsWritingIsKilled) {
  const ScopedRunLimits small(Small());
  LevelSpec tool;
  tool.kind = "5";
  tool.presentation = "Yes";
  tool.code = {"0", "OUTPUTMACRO={Y}", "", "/yes", ""};
  try {
    RunApply({tool});
    ADD_FAILURE() << "the tool ran on";
  } catch (const RunLimitExceeded& exceeded) {
    EXPECT_STREQ(exceeded.what(),
                 "level 1 PROCESS WITH PRESENTATION: Yes: the tool's output "
                 "grew past 10000 bytes");
  }
}

TEST(RunLimits, ReplacedMacroValuesDoNotCount) {
  // Each longer value leaves the old one behind in the list until it is
  // rebuilt; only the live names and values count.
  const ScopedRunLimits small(Small());
  TFASTMEMLIST macros;
  macros.Add("{M}");
  macros.Add("");
  for (size_t length = 1; length <= 200; ++length) {
    macros.Put(1, std::string(length, 'x'));
    CheckMacroLimit(&macros);
  }
  EXPECT_LT(macros.UsedLength(), 10000u);
  EXPECT_EQ(macros.Get(1), std::string(200, 'x'));
  macros.Add("{BIG}");
  macros.Add(std::string(10000, 'x'));
  EXPECT_THROW(CheckMacroLimit(&macros), RunLimitExceeded);
}

TEST(RunLimits, ANestedPackageEndsTheWholeRun) {
  const ScopedRunLimits small(Small());
  LevelSpec nested;
  nested.kind = "6";
  nested.presentation = "Nested";
  nested.code = {"1", PackageData({Program({"LEVELRESTART"})})};
  try {
    RunApply({nested});
    ADD_FAILURE() << "the nested run went on";
  } catch (const RunLimitExceeded& exceeded) {
    EXPECT_STREQ(exceeded.what(), "level number 1 was restarted 10 times");
  }
}

}  // namespace
