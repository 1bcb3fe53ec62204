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
  // An External level running `executable` (a path) with the parameters;
  // directories empty unless given.
  static LevelSpec Tool(std::string options, std::string executable,
                        std::vector<std::string> parameters,
                        std::string start = "", std::string process = "") {
    LevelSpec level;
    level.kind = "5";
    level.presentation = "Tool";
    level.code = {"0", std::move(options), Stored(start), Stored(executable),
                  Stored(process)};
    level.code.insert(level.code.end(), parameters.begin(), parameters.end());
    return level;
  }

  static std::string Stored(const std::string& path) {
    return path.empty() ? "" : "/" + path;
  }

  ScratchDir dir_{ScratchDir::Enter::kYes};
};

TEST_F(ExternalLevelTest, CapturedOutputBecomesAMacroForLaterLevels) {
  LevelSpec version = Tool("IGNOREEXITCODE,OUTPUTMACRO={VERSION}", "/bin/sh",
                           {"-c", "printf '1.2\\n'; exit 1"});
  LevelSpec use = Tool("", "/bin/sh", {"-c", "printf %s '{VERSION}' >got"});
  use.number = "2";
  TSETTINGSBLOCK settings;
  settings.macros = MacroData({{"{A}", "a"}, {"{VERSION}", "old"}});
  const DriverRun run = RunApply({version, use}, settings);
  EXPECT_TRUE(run.output.Empty());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(ReadFile(dir_.Path("got")), "1.2\n");
  EXPECT_EQ(run.settings.macros,
            MacroData({{"{A}", "a"}, {"{VERSION}", "1.2\n"}}));

  // A name that is not there, or an empty one, adds a pair.
  for (const char* item :
       {"OUTPUTMACRO={NEW}", "outputmacro=", "OUTPUTMACRO"}) {
    const DriverRun added =
        RunApply({Tool(item, "/bin/sh", {"-c", "printf x"})}, settings);
    const std::string name = std::string(item).size() > 12 ? "{NEW}" : "";
    EXPECT_EQ(added.settings.macros,
              MacroData({{"{A}", "a"}, {"{VERSION}", "old"}, {name, "x"}}))
        << item;
  }
}

TEST_F(ExternalLevelTest, FailuresSayWhetherTheToolRanAndCwdComesBack) {
  const std::string cwd = WorkingDirectory();
  struct Case {
    LevelSpec level;
    std::string line;
  };
  const std::string ran_with_error =
      "WARNING! EXTERNAL TOOL RETURNED AN ERROR! LEVEL 1 PROCESS WITH "
      "PRESENTATION: Tool";
  const std::string not_run =
      "WARNING! EXTERNAL TOOL CAN'T BE EXECUTED! LEVEL 1 PROCESS WITH "
      "PRESENTATION: Tool";
  const std::vector<Case> cases = {
      {Tool("", "/bin/false", {}), ran_with_error},
      {Tool("OUTPUTMACRO=", "/bin/sh", {"-c", "exit 4"}), ran_with_error},
      {Tool("IGNOREEXITCODE", "/bin/false", {}), ""},
      // The running directory is missing: the child ends with 127.
      {Tool("", "/bin/true", {}, "", dir_.Path("missing")), ran_with_error},
      // The tool is missing, also after entering a start directory.
      {Tool("", "qrl-no-such-tool", {}), not_run},
      {Tool("", "qrl-no-such-tool", {}, dir_.path()), not_run},
      {Tool("IGNOREEXITCODE,OUTPUTMACRO={X}", "missing/tool", {}), not_run},
  };
  for (const Case& c : cases) {
    const DriverRun run = RunApply({c.level});
    EXPECT_EQ(run.output.Text(), c.line.empty() ? "" : c.line + "\n")
        << c.level.code[3];
    EXPECT_EQ(WorkingDirectory(), cwd);
  }
}

TEST_F(ExternalLevelTest, StartAndRunningDirectoriesExtensionAndPermissions) {
  // tool.sh, not executable yet, in the start directory; the tool runs in
  // a directory relative to the start directory.
  WriteFile(dir_.Path("start/tool.sh"), "#!/bin/sh\npwd\n", 0644);
  WriteFile(dir_.Path("start/work/keep"), "");
  const std::string cwd = WorkingDirectory();
  LevelSpec level = Tool(
      "TRYTOASSUREEXECUTEPERMISSIONS,APPENDDEFAULTEXECUTABLEEXTENSION,"
      "APPENDDEFAULTSCRIPTEXTENSION,OUTPUTMACRO={PWD}",
      "tool", {}, "start", "work");
  DriverRun run = RunApply({level});
  EXPECT_TRUE(run.output.Empty());
  EXPECT_EQ(run.settings.macros,
            MacroData({{"{PWD}", dir_.Path("start/work") + "\n"}}));
  EXPECT_EQ(FileMode(dir_.Path("start/tool.sh")) & 0111, 0111u);
  EXPECT_EQ(WorkingDirectory(), cwd);

  // A start directory that does not exist is not entered; the tool still
  // runs, here in the program's own directory.
  level = Tool("OUTPUTMACRO={PWD}", "/bin/pwd", {}, "absent");
  run = RunApply({level});
  EXPECT_TRUE(run.output.Empty());
  EXPECT_EQ(run.settings.macros, MacroData({{"{PWD}", cwd + "\n"}}));
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
