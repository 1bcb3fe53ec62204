#include "complex/program_level.h"

#include <string>
#include <vector>

#include "engine/apply.h"
#include "engine/complex_level.h"
#include "gtest/gtest.h"
#include "services/failure.h"
#include "tests/driver_runs.h"

namespace {

LevelSpec ProgramLevel(std::string number, std::vector<std::string> program) {
  LevelSpec level;
  level.number = std::move(number);
  level.kind = "2";
  level.presentation = "Program";
  level.code = {"0"};
  level.code.insert(level.code.end(), program.begin(), program.end());
  return level;
}

TEST(ProgramLevel, DriversRunTheProgramAndWeighItsSuccessBit) {
  const DriverRun applied =
      RunApply({ProgramLevel("1", {"MESSAGE one", "SYMBOLSAPPLY +RAN"}),
                ProgramLevel("2", {"MESSAGE two", "RETURN FALSE"})});
  EXPECT_EQ(applied.status, 2);
  EXPECT_EQ(applied.output.Text(),
            "one\ntwo\n"
            "WARNING! COMPLEX ACTIONS FAILED FOR LEVEL 2 PROCESS WITH "
            "PRESENTATION: Program\n");
  EXPECT_EQ(applied.settings.symbols, "ACTION_APPLY,+RAN");

  const DriverRun reversed = RunReverse(
      {ProgramLevel("1", {"MESSAGE one"}), ProgramLevel("2", {"MESSAGE two"})});
  EXPECT_EQ(reversed.output.Text(), "two\none\n");
}

TEST(ProgramLevel, WithoutAnInstalledInterpreterTheDriverRaises) {
  SetComplexLevelHandler(nullptr);
  TSETTINGSBLOCK settings;
  LineList output;
  EXPECT_THROW(ApplyLevels(LevelList({ProgramLevel("1", {"MESSAGE x"})}),
                           &settings, &output, /*convert=*/true),
               Failure);
  EXPECT_TRUE(output.Empty());
  InstallProgramLevel();
}

}  // namespace
