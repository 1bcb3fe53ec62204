#include "engine/external_level.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "gtest/gtest.h"
#include "tests/driver_runs.h"
#include "tests/test_util.h"

namespace {

std::string WorkingDirectory() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

TEST(RemoveParameters, EachFormRemovesItsMatches) {
  struct Case {
    std::string options;
    LineList before;
    LineList after;
  };
  const LineList sample = {"-v", "-V", "", "--all", "a.o", "o", "x~y"};
  const std::vector<Case> cases = {
      {"REMOVEPARAMETERS =-v", sample, {"-V", "", "--all", "a.o", "o", "x~y"}},
      {"removeparameters >--", sample, {"-v", "-V", "", "a.o", "o", "x~y"}},
      {"ReMoveParameters <.o", sample, {"-v", "-V", "", "--all", "o", "x~y"}},
      {"REMOVEPARAMETERS ~~", sample, {"-v", "-V", "", "--all", "a.o", "o"}},
      // Empty values: "=" takes the empty parameters, ">" and "<" take
      // everything, "~" takes nothing.
      {"REMOVEPARAMETERS =", sample, {"-v", "-V", "--all", "a.o", "o", "x~y"}},
      {"REMOVEPARAMETERS >", sample, {}},
      {"REMOVEPARAMETERS <", sample, {}},
      {"REMOVEPARAMETERS ~", sample, sample},
      // The value is not trimmed; items apply one after the other.
      {"REMOVEPARAMETERS = a", {"a", " a"}, {"a"}},
      {"IGNOREEXITCODE,REMOVEPARAMETERS =-v,REMOVEPARAMETERS <o",
       sample,
       {"-V", "", "--all", "x~y"}},
      // Not a removal item.
      {"REMOVEPARAMETERS,REMOVEPARAMETERS!x,REMOVEPARAMETERS+-v", sample,
       sample},
  };
  for (const Case& c : cases) {
    LineList parameters = c.before;
    RemoveParameters(c.options, &parameters);
    EXPECT_EQ(parameters, c.after) << c.options;
  }
}

class ExternalLevelTest : public ::testing::Test {
 protected:
  // An External level running `executable` (a path) with the parameters,
  // from the start directory when one is given.
  static LevelSpec Tool(std::string options, std::string executable,
                        std::vector<std::string> parameters,
                        std::string start = "") {
    LevelSpec level;
    level.kind = "5";
    level.presentation = "Tool";
    level.code = {"0", std::move(options), Stored(start), Stored(executable),
                  ""};
    level.code.insert(level.code.end(), parameters.begin(), parameters.end());
    return level;
  }

  static std::string Stored(const std::string& path) {
    return path.empty() ? "" : "/" + path;
  }

  ScratchDir dir_{ScratchDir::Enter::kYes};
};

TEST_F(ExternalLevelTest, OutputMacroIsReplacedOrAddedAndCwdComesBack) {
  TSETTINGSBLOCK settings;
  settings.macros = MacroData({{"{A}", "a"}, {"{VERSION}", "old"}});
  const DriverRun run = RunApply({Tool("IGNOREEXITCODE,OUTPUTMACRO={VERSION}",
                                       "/bin/sh", {"-c", "echo 1.2; exit 1"})},
                                 settings);
  EXPECT_TRUE(run.output.Empty());
  EXPECT_EQ(run.settings.macros,
            MacroData({{"{A}", "a"}, {"{VERSION}", "1.2\n"}}));

  // A name that is not there, or an empty one, adds a pair. The program
  // returns from the start directory also when the tool is not found, and
  // a tool that cannot be started leaves empty output under the name.
  WriteFile(dir_.Path("start/keep"), "");
  const std::string cwd = WorkingDirectory();
  for (const char* item :
       {"OUTPUTMACRO={NEW}", "outputmacro=", "OUTPUTMACRO"}) {
    const DriverRun added =
        RunApply({Tool(item, "/bin/sh", {"-c", "printf x"}, dir_.Path("start")),
                  Tool(item, "qrl-no-such-tool", {}, dir_.path())},
                 settings);
    EXPECT_EQ(WorkingDirectory(), cwd);
    const std::string macros =
        std::string(item).size() > 12
            ? MacroData({{"{A}", "a"}, {"{VERSION}", "old"}, {"{NEW}", ""}})
            : MacroData(
                  {{"{A}", "a"}, {"{VERSION}", "old"}, {"", "x"}, {"", ""}});
    EXPECT_EQ(added.settings.macros, macros) << item;
    EXPECT_EQ(added.output.Count(), 1u) << item;
  }
}

TEST_F(ExternalLevelTest, PathsWithANulByteAreNotRun) {
  // The system would run /bin/sh, in the scratch directory.
  using namespace std::string_literals;
  LevelSpec in_nul_directory = Tool("", "/bin/sh", {"-c", "echo ran >log"});
  in_nul_directory.code[4] = "/" + dir_.path() + "\0x"s;
  const DriverRun run = RunApply(
      {Tool("", "/bin/sh\0x"s, {"-c", "echo ran >log"}), in_nul_directory});
  EXPECT_EQ(run.output,
            (LineList{"WARNING! EXTERNAL TOOL CAN'T BE EXECUTED! LEVEL 1 "
                      "PROCESS WITH PRESENTATION: Tool",
                      "WARNING! EXTERNAL TOOL CAN'T BE EXECUTED! LEVEL 1 "
                      "PROCESS WITH PRESENTATION: Tool"}));
  EXPECT_FALSE(Exists(dir_.Path("log")));
}

TEST_F(ExternalLevelTest, ToolThatCannotStartEmptiesItsOutputMacro) {
  // A later level must not go on with the value from before the tool.
  TSETTINGSBLOCK settings;
  settings.macros = MacroData({{"{NAME}", "kappa"}});
  LevelSpec tool = Tool("OUTPUTMACRO={NAME}", "qrl-no-such-tool", {});
  tool.severity = "1";
  LevelSpec report;
  report.kind = "2";
  report.code = {"0", "MESSAGE {NAME}.txt"};
  const DriverRun run = RunApply({tool, report}, settings);
  EXPECT_EQ(run.output, (LineList{".txt"}));
  EXPECT_EQ(run.settings.macros, MacroData({{"{NAME}", ""}}));
}

TEST_F(ExternalLevelTest, ParametersEnvironmentAndSeparators) {
  ASSERT_EQ(::setenv("QRL_EXTERNAL_LEVEL_TEST", "from env", 1), 0);
  const LevelSpec level = Tool(
      "USEENVIRONMENTVARIABLES,REPLACEDIRECTORYSEPARATORSWITHINPARAMETERS,"
      "REMOVEPARAMETERS =,OUTPUTMACRO={OUT}",
      "/bin/sh",
      {"/-c", "/printf '%s|' \"$QRL_EXTERNAL_LEVEL_TEST\" \"$@\"", "/x",
       "\\a\\b", "/", "", "*"});
  const DriverRun run = RunApply({level});
  ::unsetenv("QRL_EXTERNAL_LEVEL_TEST");
  // "/x" is $0; "/" and "" become empty and are removed; "*" becomes empty
  // as well (its first character is taken as the separator).
  EXPECT_EQ(run.settings.macros, MacroData({{"{OUT}", "from env|a/b|"}}));
}

TEST_F(ExternalLevelTest, ReverseRunsTheToolOnlyWhenLocalRequirementsHold) {
  LevelSpec level = Tool("", "/bin/sh", {"-c", "echo ran >>log; exit 2"});
  level.entries = {{"/", dir_.Path("needed.txt"), "0", {"yes"}, ""}};
  DriverRun run = RunReverse({level});
  EXPECT_TRUE(run.output.Empty());
  EXPECT_FALSE(Exists(dir_.Path("log")));

  WriteFile(dir_.Path("needed.txt"), "yes\n");
  run = RunReverse({level});
  EXPECT_EQ(run.output, (LineList{"EXTERNAL TOOL RETURNED AN ERROR! LEVEL 1 "
                                  "PROCESS WITH PRESENTATION: Tool"}));
  EXPECT_EQ(ReadFile(dir_.Path("log")), "ran\n");
}

}  // namespace
