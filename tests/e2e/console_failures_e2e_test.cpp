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

TEST_F(ConsoleFailuresEndToEnd, ReverseSaysHowManyLevelsItCouldNotUndo) {
  BuildPackageFromJson(R"({"levels": [
      {"number": 1, "kind": "Normal", "presentation": "A",
       "entries": [{"path": "a.txt", "lines": ["a"]}], "code": ["aa"]},
      {"number": 2, "kind": "Normal", "presentation": "B",
       "entries": [{"path": "b.txt", "lines": ["b"]}], "code": ["bb"]},
      {"number": 3, "kind": "Package", "presentation": "Nested",
       "code": {"package": {"levels": [
         {"number": 1, "kind": "Normal", "presentation": "C",
          "entries": [{"path": "c.txt", "lines": ["c"]}], "code": ["cc"]}]}}}]})",
                       dir_.Path("q.qrl"));
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
    WriteFile(dir_.Path(name), std::string(1, name[0]) + "\n");
  }
  ASSERT_EQ(RunConsole({"q.qrl", "apply"}, dir_.path()).exit_code, 0);
  // Someone put b and c back by hand: their levels cannot be undone.
  WriteFile(dir_.Path("b.txt"), "b\n");
  WriteFile(dir_.Path("c.txt"), "c\n");
  const ProgramResult partly = RunConsole({"q.qrl", "reverse"}, dir_.path());
  EXPECT_EQ(partly.out,
            BannerLine() +
                "FILE c.txt DOESN'T CONTAIN THE OBSOLETE CODE! CAN'T REVERSE "
                "LEVEL 1 PROCESS WITH PRESENTATION: C\n"
                "FILE b.txt DOESN'T CONTAIN THE OBSOLETE CODE! CAN'T REVERSE "
                "LEVEL 2 PROCESS WITH PRESENTATION: B\n");
  EXPECT_EQ(partly.err,
            "qrlconsole: reverse: 2 of 4 levels could not be reversed; see "
            "the report\n");
  EXPECT_EQ(partly.exit_code, 0);  // unapplied levels are no error
  EXPECT_EQ(ReadFile(dir_.Path("a.txt")), "a\n");

  // A reverse that undoes everything says nothing.
  ASSERT_EQ(RunConsole({"q.qrl", "apply"}, dir_.path()).exit_code, 0);
  const ProgramResult whole = RunConsole({"q.qrl", "reverse"}, dir_.path());
  EXPECT_EQ(whole.out, BannerLine());
  EXPECT_EQ(whole.err, "");
  EXPECT_EQ(whole.exit_code, 0);
}

TEST_F(ConsoleFailuresEndToEnd, FileThatIsNotAPackageIsNamedSoWithAHint) {
  const std::string build =
      " is not a package: it holds a JSON description; build the package "
      "first: qrlpack build ";
  const std::string from_diff =
      " is not a package: it holds a unified diff; make the package first: "
      "qrlpack from-diff --tree DIR -o PACKAGE ";
  struct Case {
    std::string file;
    std::string content;
    std::string err;  // after "qrlconsole: "
  };
  // The content decides, whatever the name.
  const std::vector<Case> cases = {
      {"d.json", "{\"levels\": [{\"kind\": \"Normal\"}]}\n",
       "'d.json'" + build + "d.json -o PACKAGE"},
      {"menu.qrl", "\n  {}", "'menu.qrl'" + build + "menu.qrl -o PACKAGE"},
      {"my change.qrl",
       "diff -ruN a/x b/x\n--- a/x\t2024-01-01\n+++ b/x\t2024-01-02\n"
       "@@ -1 +1 @@\n-a\n+b\n",
       "'my change.qrl'" + from_diff + "'my change.qrl'"},
      {"-p.patch", "Subject: x\n\ndiff --git a/x b/x\nnew file mode 100644\n",
       "'-p.patch'" + from_diff + "./-p.patch"},
      {"empty.qrl", "", "'empty.qrl' is not a package: it is empty"},
      {"notes.txt", "--- a note\nhello\n",
       "'notes.txt' is not a package (qrlpack makes packages: qrlpack "
       "--help)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    WriteFile(dir_.Path(c.file), c.content);
    const ProgramResult result = RunConsole({c.file, "apply"}, dir_.path());
    EXPECT_EQ(result.out, BannerLine());
    EXPECT_EQ(result.err, "qrlconsole: " + c.err + "\n");
    EXPECT_EQ(result.exit_code, 3);
    // plan names it the same way.
    const ProgramResult plan = RunPack({"plan", c.file, "apply"}, dir_.path());
    EXPECT_EQ(plan.err, "qrlpack: " + c.err + "\n");
    EXPECT_EQ(plan.exit_code, 3);
  }
}

TEST_F(ConsoleFailuresEndToEnd, CreateBackupKeepsTheEarlierBackups) {
  BuildPackageFromJson(std::string(kCountByThree), dir_.Path("q.qrl"));
  // Tree A, then tree B, backed up with the same package.
  WriteFile(dir_.Path("a/src/main.c"), kMain);
  WriteFile(dir_.Path("b/src/main.c"), "int b;\n");
  const ProgramResult first =
      RunConsole({"q.qrl", "createbackup", "MACRO{ROOT}=a/"}, dir_.path());
  EXPECT_EQ(first.out, BannerLine() + "\n");
  EXPECT_EQ(first.err, "");
  const ProgramResult second =
      RunConsole({"q.qrl", "createbackup", "MACRO{ROOT}=b/"}, dir_.path());
  EXPECT_EQ(second.out, BannerLine() + "\n");
  EXPECT_EQ(second.err,
            "qrlconsole: createbackup: the earlier backup is kept as "
            "q.qrl.backup.1\n");
  EXPECT_EQ(second.exit_code, 0);

  // Tree A can still be restored, from the earlier backup.
  WriteFile(dir_.Path("a/src/main.c"), "changed\n");
  WriteFile(dir_.Path("b/src/main.c"), "changed\n");
  const ProgramResult restored =
      RunConsole({"q.qrl.backup.1", "restorebackup"}, dir_.path());
  EXPECT_EQ(restored.out, BannerLine() + "\n");
  EXPECT_EQ(restored.exit_code, 0);
  EXPECT_EQ(ReadFile(dir_.Path("a/src/main.c")), kMain);
  EXPECT_EQ(ReadFile(dir_.Path("b/src/main.c")), "changed\n");
  ASSERT_EQ(
      RunConsole({"q.qrl.backup", "restorebackup"}, dir_.path()).exit_code, 0);
  EXPECT_EQ(ReadFile(dir_.Path("b/src/main.c")), "int b;\n");

  // A backup that fails moves none of them.
  const std::string backup = ReadFile(dir_.Path("q.qrl.backup"));
  // A pipe cannot be backed up: reading it would wait for a writer.
  ASSERT_EQ(RunProgram({"/bin/mkdir", "-p", "c/src"}, dir_.path()).exit_code,
            0);
  ASSERT_EQ(
      RunProgram({"/usr/bin/mkfifo", "c/src/main.c"}, dir_.path()).exit_code,
      0);
  const ProgramResult failed =
      RunConsole({"q.qrl", "createbackup", "MACRO{ROOT}=c/"}, dir_.path());
  EXPECT_EQ(failed.exit_code, 3);
  EXPECT_EQ(ReadFile(dir_.Path("q.qrl.backup")), backup);
  EXPECT_FALSE(Exists(dir_.Path("q.qrl.backup.2")));
}
