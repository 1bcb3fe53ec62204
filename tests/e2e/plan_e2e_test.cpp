// End-to-end tests of qrlpack plan: a package written for one release of a
// tree, planned against the next release where the user's changes drifted.
// The plan names each drift in words, warns where qrlconsole would go wrong
// without a word, leaves the tree exactly as it was, and its diff applies
// with patch to give what qrlconsole gives.
#include <map>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

// The release the package was written for, as C source.
const FileTree kRelease = {
    {"src/main.c",
     "#include <stdio.h>\n"
     "\n"
     "int main(void) {\n"
     "  int count = 0;\n"
     "  count += 2;\n"
     "  printf(\"%d\\n\", count);\n"
     "  return 0;\n"
     "}\n"},
    {"src/util.c",
     "static int twice(int x) {\n"
     "  return 2 * x;\n"
     "}\n"
     "\n"
     "static int Limit = 10;\n"
     "static int thrice(int x) {\n"
     "  return 3 * x;\n"
     "}\n"},
    {"src/menu.c",
     "void menu(void) {\n"
     "  add(\"File\");\n"
     "  add(\"Edit\");\n"
     "}\n"},
};

// Four changes, one per level, written for kRelease.
constexpr std::string_view kPackage = R"({
  "levels": [
    {"number": 1, "kind": "Normal", "presentation": "Count by three",
     "severity": 2,
     "entries": [{"path": "{ROOT}src/main.c", "type": "text",
                  "lines": ["  int count = 0;", "  count += 2;"]}],
     "code": ["  int count = 0;", "  count += 3;"]},
    {"number": 2, "kind": "Normal", "presentation": "Twice is a shift",
     "severity": 2,
     "entries": [{"path": "{ROOT}src/util.c", "type": "text",
                  "lines": ["static int twice(int x) {", "  return 2 * x;"]}],
     "code": ["static int twice(int x) {", "  return x << 1;"]},
    {"number": 3, "kind": "Normal", "presentation": "Raise the limit",
     "severity": 2,
     "entries": [{"path": "{ROOT}src/util.c", "type": "text",
                  "lines": ["static int Limit = 10;",
                            "static int thrice(int x) {"]}],
     "code": ["static int Limit = 20;", "static int thrice(int x) {"]},
    {"number": 4, "kind": "Normal", "presentation": "Add Tools",
     "severity": 2,
     "entries": [{"path": "{ROOT}src/menu.c", "type": "text",
                  "lines": ["  add(\"File\");", "  add(\"Edit\");"]}],
     "code": ["  add(\"File\");", "  add(\"Edit\");", "  add(\"Tools\");"]}
  ]
})";

class PlanEndToEnd : public ::testing::Test {
 protected:
  PlanEndToEnd() : dir_(ScratchDir::Enter::kYes) {
    BuildPackageFromJson(std::string(kPackage), dir_.Path("p.qrl"));
  }

  // The next release: a line reworded inside the block of level 1, the
  // block of level 2 moved below another function that repeats its first
  // line, a neighbouring line of level 3 changed in letter case, and a
  // comment added inside the block of level 4.
  void MakeNextRelease() {
    FileTree next = kRelease;
    next["src/main.c"] =
        "#include <stdio.h>\n"
        "\n"
        "int main(void) {\n"
        "  int count = 0;\n"
        "  count = count + 2;\n"
        "  printf(\"%d\\n\", count);\n"
        "  return 0;\n"
        "}\n";
    next["src/util.c"] =
        "static int Limit = 10;\n"
        "static int THRICE(int x) {\n"
        "  return 3 * x;\n"
        "}\n"
        "\n"
        "static int twice(int x) {\n"
        "  return 2 * x;\n"
        "}\n"
        "static int twice(int x) {\n"
        "  return 2 * x;\n"
        "}\n";
    next["src/menu.c"] =
        "void menu(void) {\n"
        "  add(\"File\");\n"
        "  /* edit menu */\n"
        "  add(\"Edit\");\n"
        "}\n";
    MakeTree(dir_.Path("tree"), next);
  }

  ProgramResult Plan(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"plan", "p.qrl", "apply",
                                     "MACRO{ROOT}=tree/"};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunPack(args, dir_.path());
  }

  ScratchDir dir_;
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(PlanEndToEnd, NamesEveryDriftAndLeavesTheTreeAsItWas) {
  MakeNextRelease();
  const auto before = TreeSnapshot(dir_.Path("tree"));
  const ProgramResult plan = Plan();
  EXPECT_EQ(TreeSnapshot(dir_.Path("tree")), before);
  EXPECT_EQ(plan.exit_code, 1);
  const std::string& out = plan.out;
  // Level 1: the reworded line, where the block parts from the file.
  EXPECT_TRUE(
      Contains(out, "  1 Normal Count by three: fails (tree/src/main.c)"))
      << out;
  EXPECT_TRUE(Contains(out,
                       "obsolete code line 2 \"  count += 2;\" is not "
                       "found; its first line stands at line 4, "
                       "followed by \"  count = count + 2;\""))
      << out;
  // Level 2: found where it moved, and the other place is named.
  EXPECT_TRUE(Contains(out,
                       "  2 Normal Twice is a shift: applies "
                       "(tree/src/util.c:6)"))
      << out;
  EXPECT_TRUE(Contains(out,
                       "also matches at line 9; the first place, line "
                       "6, is taken"))
      << out;
  // Level 3: matches only because letter case is ignored; its new code
  // would put the old spelling back.
  EXPECT_TRUE(Contains(out,
                       "matches only because blanks at the ends and "
                       "letter case do not count: line 2 reads "
                       "\"static int THRICE(int x) {\""))
      << out;
  // Level 4: a comment inside the block.
  EXPECT_TRUE(Contains(out,
                       "obsolete code line 2 \"  add(\"Edit\");\" is "
                       "not found; its first line stands at line 2, "
                       "followed by \"  /* edit menu */\""))
      << out;
  EXPECT_TRUE(Contains(out,
                       "Summary: 4 levels, 2 applies, 0 already "
                       "applied, 2 fails"))
      << out;
}

TEST_F(PlanEndToEnd, PredictsTheConsoleAndItsDiffAppliesWithPatch) {
  MakeTree(dir_.Path("tree"), kRelease);
  const ProgramResult plan = Plan({"--diff"});
  EXPECT_EQ(plan.exit_code, 0) << plan.out << plan.err;
  const size_t diff_start = plan.out.find("--- tree/");
  ASSERT_NE(diff_start, std::string::npos) << plan.out;
  WriteFile(dir_.Path("plan.diff"), plan.out.substr(diff_start));

  // patch -p0 on a copy gives what qrlconsole gives on the tree.
  ASSERT_EQ(
      RunProgram({"/bin/cp", "-a", "tree", "copy"}, dir_.path()).exit_code, 0);
  const ProgramResult console =
      RunConsole({"p.qrl", "apply", "MACRO{ROOT}=tree/"}, dir_.path());
  EXPECT_EQ(console.out, BannerLine());
  ASSERT_EQ(RunProgram({"/bin/mkdir", "patched"}, dir_.path()).exit_code, 0);
  ASSERT_EQ(RunProgram({"/bin/cp", "-a", "copy", "patched/tree"}, dir_.path())
                .exit_code,
            0);
  const ProgramResult patched = RunProgram(
      {"/usr/bin/patch", "-p0", "--quiet", "-i", dir_.Path("plan.diff")},
      dir_.Path("patched"));
  EXPECT_EQ(patched.exit_code, 0) << patched.out << patched.err;
  EXPECT_EQ(TreeContents(dir_.Path("patched/tree")),
            TreeContents(dir_.Path("tree")));

  // Planned again, three levels are already applied; the fourth, whose
  // new code holds its old code, would add its line a second time.
  const ProgramResult again = Plan();
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_TRUE(Contains(again.out, "4 levels, 1 applies, 3 already applied"))
      << again.out;
  EXPECT_TRUE(Contains(again.out,
                       "  1 Normal Count by three: already applied "
                       "(tree/src/main.c:4)"))
      << again.out;
  EXPECT_TRUE(Contains(again.out,
                       "its new code stands already at line 2: "
                       "was the package applied before?"))
      << again.out;
}

TEST_F(PlanEndToEnd, ReverseTellsMissingCodeFromMarkersThatFrameOtherCode) {
  MakeTree(dir_.Path("tree"), kRelease);
  BuildPackageFromJson(R"({
    "settings": {"level_marker": {"prefix": "// QRL LEVEL ",
                                  "position": "before"}},
    "levels": [
      {"number": 1, "kind": "Normal", "presentation": "Count by three",
       "severity": 2,
       "entries": [{"path": "{ROOT}src/main.c", "type": "text",
                    "lines": ["  count += 2;"]}],
       "code": ["  count += 3;"]},
      {"number": 2, "kind": "Normal", "presentation": "Add Tools",
       "severity": 2,
       "entries": [{"path": "{ROOT}src/menu.c", "type": "text",
                    "lines": ["  add(\"Edit\");"]}],
       "code": ["  add(\"Edit\");", "  add(\"Tools\");"]}]})",
                       dir_.Path("framed.qrl"));
  const std::vector<std::string> args = {"framed.qrl", "apply",
                                         "MACRO{ROOT}=tree/"};
  ASSERT_EQ(RunConsole(args, dir_.path()).exit_code, 0);
  // Someone edited the code inside the markers of level 1 and removed
  // level 2's code with its marker.
  const std::string main_c = ReadFile(dir_.Path("tree/src/main.c"));
  WriteFile(dir_.Path("tree/src/main.c"),
            main_c.substr(0, main_c.find("  count += 3;")) + "  count += 4;" +
                main_c.substr(main_c.find("  count += 3;") + 13));
  WriteFile(dir_.Path("tree/src/menu.c"), kRelease.at("src/menu.c"));
  const ProgramResult plan = RunPack(
      {"plan", "framed.qrl", "reverse", "MACRO{ROOT}=tree/"}, dir_.path());
  EXPECT_EQ(plan.exit_code, 1);
  EXPECT_TRUE(Contains(plan.out, "  1 Normal Count by three: fails"))
      << plan.out;
  EXPECT_TRUE(Contains(plan.out,
                       "the markers are there (line 5 \"// QRL "
                       "LEVEL 1\") but the code they frame "
                       "differs"))
      << plan.out;
  EXPECT_TRUE(Contains(plan.out, "  2 Normal Add Tools: fails")) << plan.out;
  EXPECT_TRUE(Contains(plan.out, "the framed new code is missing")) << plan.out;
}

TEST_F(PlanEndToEnd, WarnsWhereAMacroLeadsOutOfTheTree) {
  MakeTree(dir_.Path("tree"), kRelease);
  BuildPackageFromJson(R"({"levels": [
      {"number": 1, "kind": "FileDirectoryCreationRemoval",
       "presentation": "Make vendor", "severity": 2,
       "code": ["+/{ROOT}vendor/", "+/{MISSING}vendor/"]}]})",
                       dir_.Path("dirs.qrl"));
  const std::string root = dir_.Path("tree");  // no final "/"
  const ProgramResult plan = RunPack(
      {"plan", "dirs.qrl", "apply", "MACRO{ROOT}=" + root}, dir_.path());
  EXPECT_TRUE(Contains(plan.out, "the macro {ROOT} = \"" + root +
                                     "\" has no final \"/\": the path \"" +
                                     root +
                                     "vendor/\" lies beside that "
                                     "directory, not in it"))
      << plan.out;
  EXPECT_TRUE(Contains(plan.out,
                       "the path \"{MISSING}vendor/\" uses the "
                       "macro {MISSING}, which nothing defines"))
      << plan.out;
  EXPECT_FALSE(Exists(dir_.Path("treevendor")));
  EXPECT_FALSE(Exists(dir_.Path("{MISSING}vendor")));
}

TEST_F(PlanEndToEnd, ToolsAreNeverStartedAndMakeThePlanUncertain) {
  MakeTree(dir_.Path("tree"), kRelease);
  BuildPackageFromJson(R"({"levels": [
      {"number": 1, "kind": "Complex", "presentation": "Run a command",
       "severity": 2,
       "code": ["IFEXECUTECOMMAND touch started", "MESSAGE ran"]},
      {"number": 2, "kind": "FileDirectoryCreationRemoval",
       "presentation": "Then a directory", "severity": 2,
       "code": ["+/{ROOT}after/"]}]})",
                       dir_.Path("tool.qrl"));
  const ProgramResult plan =
      RunPack({"plan", "tool.qrl", "apply", "MACRO{ROOT}=tree/", "--json"},
              dir_.path());
  EXPECT_EQ(plan.exit_code, 1);
  EXPECT_FALSE(Exists(dir_.Path("started")));
  EXPECT_TRUE(Contains(plan.out, "\"outcome\": \"not simulated\"")) << plan.out;
  EXPECT_TRUE(Contains(plan.out, "\"uncertain\": true")) << plan.out;
  EXPECT_FALSE(Exists(dir_.Path("tree/after")));
}

TEST_F(PlanEndToEnd, ReverseOfLevelsWithoutNewCodeIsAFailureNotACrash) {
  MakeTree(dir_.Path("tree"), kRelease);
  // Levels that take a block out, one of the package's own and one in a
  // package it carries: reversing them has nothing to find.
  BuildPackageFromJson(R"({"levels": [
      {"number": 1, "kind": "Normal", "presentation": "Drop Edit",
       "severity": 2,
       "entries": [{"path": "{ROOT}src/menu.c",
                    "lines": ["  add(\"Edit\");"]}],
       "code": []},
      {"number": 2, "kind": "Package", "presentation": "Nested",
       "severity": 2,
       "code": {"package": {"levels": [
         {"number": 1, "kind": "Normal", "presentation": "Drop the count",
          "severity": 2,
          "entries": [{"path": "{ROOT}src/main.c",
                       "lines": ["  count += 2;"]}],
          "code": []}]}}}]})",
                       dir_.Path("drop.qrl"));
  const std::vector<std::string> args = {"drop.qrl", "apply",
                                         "MACRO{ROOT}=tree/"};
  ASSERT_EQ(RunConsole(args, dir_.path()).exit_code, 0);
  const auto applied = TreeSnapshot(dir_.Path("tree"));
  const ProgramResult plan = RunPack(
      {"plan", "drop.qrl", "reverse", "MACRO{ROOT}=tree/"}, dir_.path());
  EXPECT_EQ(plan.exit_code, 1) << plan.out << plan.err;
  const std::string why =
      ": fails (tree/src/menu.c)\n"
      "    why: the new code has no lines and no markers frame it: reverse "
      "has nothing to look for\n";
  EXPECT_TRUE(Contains(plan.out, "  1 Normal Drop Edit" + why)) << plan.out;
  EXPECT_TRUE(Contains(plan.out, "Normal Drop the count: fails")) << plan.out;
  EXPECT_EQ(TreeSnapshot(dir_.Path("tree")), applied);
  EXPECT_TRUE(Contains(plan.out,
                       "    FILE tree/src/menu.c DOESN'T CONTAIN "
                       "THE OBSOLETE CODE! CAN'T REVERSE LEVEL 1 "
                       "PROCESS WITH PRESENTATION: Drop Edit\n"))
      << plan.out;
}

TEST_F(PlanEndToEnd, UsageAndLoadErrors) {
  EXPECT_EQ(RunPack({"plan", "p.qrl"}, dir_.path()).exit_code, 2);
  EXPECT_EQ(RunPack({"plan", "p.qrl", "showuserinfo"}, dir_.path()).exit_code,
            2);
  const ProgramResult missing =
      RunPack({"plan", "missing.qrl", "apply"}, dir_.path());
  EXPECT_EQ(missing.exit_code, 3);
  EXPECT_TRUE(Contains(missing.err, "cannot load package 'missing.qrl'"))
      << missing.err;
}

}  // namespace
