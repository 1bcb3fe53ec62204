// End-to-end tests of APPLY and REVERSE: the real binary on a scratch tree,
// with packages built from JSON descriptions by the real qrlpack.
#include <string>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

// Greets by name in src/greeting.c and, with +LOUD, raises the volume in
// src/config.h (a level of severity 1 that fails silently without it);
// {ROOT} and {NAME} come from the command line.
const char kGreetingFixture[] = "tests/e2e/fixtures/greeting.json";

const char kGreeting[] =
    "int main(void) {\r\n"
    "    printf(\"Hello\\n\");\r\n"
    "}\r\n";
const char kConfig[] = "#define VOLUME 1\n";

class ApplyReverseEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir_.Path("tree/src/greeting.c"), kGreeting, 0640);
    WriteFile(dir_.Path("tree/src/config.h"), kConfig);
  }

  void Build(const std::string& fixture_or_json) {
    BuildPackageFromJson(fixture_or_json.starts_with("{")
                             ? fixture_or_json
                             : SourcePath(fixture_or_json),
                         dir_.Path("q.qrl"));
  }

  ProgramResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), "q.qrl");
    return RunConsole(args, dir_.path());
  }

  std::string Root() const { return "MACRO{ROOT}=" + dir_.Path("tree/"); }

  ScratchDir dir_;
};

TEST_F(ApplyReverseEndToEnd, AppliesMacrosAndSymbolsThenReversesToTheLines) {
  Build(kGreetingFixture);
  ProgramResult result = Run({"apply", Root(), "MACRO{NAME}=world"});
  EXPECT_EQ(result.out, BannerLine());
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(ReadFile(dir_.Path("tree/src/greeting.c")),
            "int main(void) {\n"
            "/* QRL LEVEL 2 */\n"
            "/* greeting */\n"
            "    printf(\"Hello, world!\\n\");\n"
            "}\n");
  EXPECT_EQ(FileMode(dir_.Path("tree/src/greeting.c")), 0640u);
  // Without SYMBOL+LOUD the guarded level did not run.
  EXPECT_EQ(ReadFile(dir_.Path("tree/src/config.h")), kConfig);

  // Reversing knows no global requirements: it looks for the volume level's
  // code too and says that it is not there.
  result = Run({"Reverse", Root(), "MACRO{NAME}=world"});
  EXPECT_EQ(result.out, BannerLine() + "FILE " +
                            dir_.Path("tree/src/config.h") +
                            " DOESN'T CONTAIN THE OBSOLETE CODE! CAN'T REVERSE "
                            "LEVEL 3 PROCESS WITH PRESENTATION: Turn the "
                            "volume up\n");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(ReadFile(dir_.Path("tree/src/greeting.c")),
            "int main(void) {\n    printf(\"Hello\\n\");\n}\n");

  result = Run({"APPLY", Root(), "MACRO{NAME}=you", "SYMBOL+LOUD"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(ReadFile(dir_.Path("tree/src/config.h")),
            "/* QRL LEVEL 3 */\n/* volume */\n#define VOLUME 3\n");
}

TEST_F(ApplyReverseEndToEnd, FailuresAreWeighedBySeverityIntoTheExitCode) {
  struct Case {
    const char* severity;
    std::string out;
    int exit_code;
  };
  const std::string line =
      "LOCAL REQUIREMENTS ARE NOT FULFILLED FOR LEVEL 1 PROCESS WITH "
      "PRESENTATION: Absent code\n";
  const std::vector<Case> cases = {
      {"0", "", 0},
      {"1", "", 0},
      {"2", "WARNING! " + line + "WARNING! " + line, 0},
      {"3", "ERROR! " + line, 3},
      {"7", "", 7},
  };
  for (const Case& c : cases) {
    // Two failing levels: an error stops the run after the first.
    const std::string level =
        R"({"number": 1, "kind": "Normal", "presentation": "Absent code",
            "severity": )" +
        std::string(c.severity) +
        R"(, "entries": [{"path": "{ROOT}src/config.h",
                          "lines": ["#define ABSENT"]}],
            "code": ["x"]})";
    Build(R"({"levels": [)" + level + "," + level + "]}");
    const ProgramResult result = Run({"apply", Root()});
    EXPECT_EQ(result.out, BannerLine() + c.out) << c.severity;
    EXPECT_EQ(result.exit_code, c.exit_code) << c.severity;
    EXPECT_EQ(ReadFile(dir_.Path("tree/src/config.h")), kConfig);
  }
}

TEST_F(ApplyReverseEndToEnd, UnfulfilledRequirementOfSeverityThreeIsAnError) {
  Build(R"({"levels": [
    {"number": 1, "kind": "Requirement", "presentation": "Needs LOUD",
     "severity": 3, "requirements": "+LOUD"},
    {"number": 2, "kind": "Normal", "presentation": "Never runs",
     "entries": [{"path": "{ROOT}src/config.h",
                  "lines": ["#define VOLUME 1"]}],
     "code": ["changed"]}]})");
  const ProgramResult result = Run({"apply", Root()});
  EXPECT_EQ(result.out, BannerLine() +
                            "ERROR! LOCAL REQUIREMENTS ARE NOT FULFILLED FOR "
                            "LEVEL 1 PROCESS WITH PRESENTATION: Needs LOUD\n");
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_EQ(ReadFile(dir_.Path("tree/src/config.h")), kConfig);
}

TEST_F(ApplyReverseEndToEnd, BrokenLevelEndsTheActionWithTheLinesSoFar) {
  Build(R"({"levels": [
    {"number": 1, "kind": "Normal", "presentation": "Warns", "severity": 2,
     "entries": [{"path": "{ROOT}src/none.c", "lines": ["x"]}],
     "code": ["y"]},
    {"number": 2, "kind": "Normal", "presentation": "Broken",
     "severity": "high"}]})");
  ProgramResult result = Run({"apply", Root()});
  EXPECT_EQ(result.out, BannerLine() +
                            "WARNING! LOCAL REQUIREMENTS ARE NOT FULFILLED "
                            "FOR LEVEL 1 PROCESS WITH PRESENTATION: Warns\n");
  EXPECT_EQ(result.err,
            "qrlconsole: APPLY: level record 2: the severity \"high\" is not "
            "an integer\n");
  EXPECT_EQ(result.exit_code, 3);

  Build(R"({"levels": [{"number": "two", "kind": "Normal"}]})");
  result = Run({"reverse"});
  EXPECT_EQ(result.out, BannerLine());
  EXPECT_EQ(result.err,
            "qrlconsole: REVERSE: level record 1: the level number \"two\" is "
            "not an integer\n");
  EXPECT_EQ(result.exit_code, 3);
}

TEST_F(ApplyReverseEndToEnd, ReverseReportsEveryFailureAndExitsWithZero) {
  Build(R"({"levels": [
    {"number": 1, "kind": "Normal", "presentation": "Missing",
     "entries": [{"path": "{ROOT}src/none.c", "lines": ["x"]}],
     "code": ["y"]},
    {"number": 2, "kind": "Normal", "presentation": "Never applied",
     "entries": [{"path": "{ROOT}src/config.h", "lines": ["x"]}],
     "code": ["y"]}]})");
  const ProgramResult result = Run({"reverse", Root()});
  EXPECT_EQ(result.out,
            BannerLine() + "FILE " + dir_.Path("tree/src/config.h") +
                " DOESN'T CONTAIN THE OBSOLETE CODE! CAN'T REVERSE LEVEL 2 "
                "PROCESS WITH PRESENTATION: Never applied\n"
                "FILE " +
                dir_.Path("tree/src/none.c") +
                " DOESN'T EXIST! CAN'T REVERSE LEVEL 1 PROCESS WITH "
                "PRESENTATION: Missing\n");
  EXPECT_EQ(result.exit_code, 0);
}

}  // namespace
