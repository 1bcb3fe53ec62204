// End-to-end tests of what the console says when something fails: standard
// output stays the report it always was, while standard error says why, in
// words a person can act on, and the exit code tells a script the truth.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

constexpr std::string_view kMain =
    "int main(void) {\n"
    "  int count = 0;\n"
    "  count += 2;\n"
    "  return count;\n"
    "}\n";

// One change to src/main.c, severity 3.
constexpr std::string_view kCountByThree = R"({"levels": [
    {"number": 1001, "kind": "Normal", "presentation": "Count by three",
     "entries": [{"path": "{ROOT}src/main.c",
                  "lines": ["  int count = 0;", "  count += 2;"]}],
     "code": ["  int count = 0;", "  count += 3;"]}]})";

class ConsoleFailuresEndToEnd : public ::testing::Test {
 protected:
  ScratchDir dir_;
};

TEST_F(ConsoleFailuresEndToEnd, StoppedApplySaysWhyOnStandardError) {
  BuildPackageFromJson(std::string(kCountByThree), dir_.Path("q.qrl"));
  const std::string stopped =
      "ERROR! LOCAL REQUIREMENTS ARE NOT FULFILLED FOR LEVEL 1001 PROCESS "
      "WITH PRESENTATION: Count by three";
  struct Case {
    std::string what;
    std::string main_c;  // the tree's src/main.c
    std::vector<std::string> macros;
    std::string why;
  };
  const std::string applied =
      "int main(void) {\n  int count = 0;\n  count += 3;\n}\n";
  const std::vector<Case> cases = {
      {"the release reworded a line",
       "int main(void) {\n  int count = 0;\n  count = count + 2;\n}\n",
       {"MACRO{ROOT}=tree/"},
       "tree/src/main.c: obsolete code line 2 \"  count += 2;\" is not "
       "found; its first line stands at line 2, followed by \"  count = "
       "count + 2;\""},
      {"the package was applied before",
       applied,
       {"MACRO{ROOT}=tree/"},
       "tree/src/main.c: the obsolete code is gone and the new code stands "
       "at line 2"},
      {"a wrong path",
       std::string(kMain),
       {"MACRO{ROOT}=tree/src/"},
       "the file tree/src/src/main.c does not exist"},
      {"no {ROOT}",
       std::string(kMain),
       {},
       "the file {ROOT}src/main.c does not exist"},
      {"a file of another tree",
       "print('hello')\n",
       {"MACRO{ROOT}=tree/"},
       "tree/src/main.c: obsolete code line 1 \"  int count = 0;\" is not "
       "found; no line of the file resembles it"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(dir_.Path("tree/src/main.c"), c.main_c);
    std::vector<std::string> args = {"q.qrl", "apply"};
    args.insert(args.end(), c.macros.begin(), c.macros.end());
    const ProgramResult result = RunConsole(args, dir_.path());
    EXPECT_EQ(result.out, BannerLine() + stopped + "\n");
    EXPECT_EQ(result.exit_code, 3);
    const std::string err = "qrlconsole: apply stopped: " + stopped.substr(7) +
                            "\nqrlconsole: why: " + c.why + "\n";
    EXPECT_EQ(result.err, err);
    EXPECT_EQ(ReadFile(dir_.Path("tree/src/main.c")), c.main_c);
    // The plan says the same, from the same code.
    args.insert(args.begin(), "plan");
    const ProgramResult plan = RunPack(args, dir_.path());
    EXPECT_NE(plan.out.find("and on standard error:\n    qrlconsole: apply "
                            "stopped: " +
                            stopped.substr(7) +
                            "\n    qrlconsole: why: " + c.why + "\n"),
              std::string::npos)
        << plan.out;
  }
}

}  // namespace
