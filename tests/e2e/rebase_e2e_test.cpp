// End-to-end tests of qrlpack rebase: packages made by from-diff and
// from-trees carried to later releases, the reports pinned byte for byte,
// the carried packages applied by qrlconsole, conflicts resolved in a work
// tree, and NEW never written.
#include <map>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/history_replay.h"
#include "tests/test_util.h"

namespace {

class RebaseEndToEnd : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.Path(name); }
  std::string Root(const std::string& tree) const {
    return "MACRO{ROOT}=" + Path(tree) + "/";
  }
  // Makes the package that turns tree `before` into `after`.
  void Package(const std::string& before, const std::string& after,
               const std::string& package) {
    const ProgramResult made =
        RunPack({"from-trees", Path(before), Path(after), "-o", Path(package)});
    ASSERT_EQ(made.exit_code, 0) << made.err;
  }
  // Applies `package` to a copy of `tree` named `copy` and expects a clean
  // run.
  void ApplyToCopy(const std::string& package, const std::string& tree,
                   const std::string& copy) {
    ASSERT_EQ(Shell("cp -a " + tree + " " + copy, dir_.path()).exit_code, 0);
    const ProgramResult run = RunConsole({Path(package), "apply", Root(copy)});
    EXPECT_EQ(run.out, BannerLine());
    EXPECT_EQ(run.exit_code, 0);
  }

  ScratchDir dir_;
};

const std::string kGreeting =
    ReadFile(SourcePath("examples/tree/src/greeting.c"));

std::string Replaced(std::string text, const std::string& from,
                     const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

// The README's way: plan, rebase, resolve a conflict in a work tree and
// make the package for the new release with from-trees, apply.
TEST_F(RebaseEndToEnd, CarriesThePackageToBothLaterReleasesAsTheReadmeShows) {
  MakeTree(Path("tree-1.0"), {{"src/greeting.c", kGreeting}});
  const std::string mine =
      Replaced(kGreeting, "    printf(\"Hello\\n\");\n",
               "    printf(\"Hi there\\n\");\n    printf(\"Hello\\n\");\n");
  MakeTree(Path("mine"),
           {{"src/greeting.c", mine}, {"src/NOTES", "Greets twice.\n"}});
  ASSERT_EQ(Shell("diff -ruN tree-1.0 mine > mine.diff", dir_.path()).exit_code,
            1);
  const ProgramResult made = RunPack(
      {"from-diff", "--tree", "tree-1.0", "-o", "mine.qrl", "mine.diff"},
      dir_.path());
  ASSERT_EQ(made.exit_code, 0) << made.err;

  // Release 1.1 moved the code and renamed main's parameters: the level
  // takes the release's lines as its context.
  const std::string release_1_1 =
      "/* Release 1.1 */\n" +
      Replaced(kGreeting, "int main(void)", "int main(int argc, char **argv)");
  MakeTree(Path("tree-1.1"), {{"src/greeting.c", release_1_1}});
  const auto snapshot = TreeSnapshot(Path("tree-1.1"));
  const ProgramResult carried = RunPack(
      {"rebase", "mine.qrl", "--onto", "tree-1.1", "-o", "mine-1.1.qrl"},
      dir_.path());
  // The root guard and the new file, before the changed level.
  const std::string unchanged =
      "level 1000 unchanged (Check that {ROOT} is the tree this package was "
      "made for (root guard))\n"
      "level 1000 unchanged ({QRL_TREE})\n"
      "level 1000 unchanged: src/NOTES (src/NOTES: new file, not there yet)\n"
      "level 1000 unchanged: src/NOTES (src/NOTES: new file)\n"
      "level 1000 unchanged: src/NOTES (src/NOTES: the new file removed)\n"
      "level 1001 unchanged: src/NOTES (src/NOTES: the new file's content)\n"
      "level 2001 unchanged (Check that {ROOT} is the tree this package was "
      "made for (root guard))\n"
      "level 2001 unchanged ({QRL_TREE})\n";
  EXPECT_EQ(
      carried.out,
      unchanged +
          "level 2001 re-anchored: src/greeting.c line 5, found with context "
          "dropped (src/greeting.c, hunk #1 (@@ -4,6 +4,7 @@))\n"
          "rebase: 9 levels: 8 unchanged; 1 re-anchored; 0 merged; 0 already "
          "in "
          "the release; 0 conflicts; 0 kept, not analysed\n"
          "rebase: wrote mine-1.1.qrl\n");
  EXPECT_EQ(carried.err, "");
  EXPECT_EQ(carried.exit_code, 0);
  EXPECT_EQ(TreeSnapshot(Path("tree-1.1")), snapshot) << "NEW was written";
  ApplyToCopy("mine-1.1.qrl", "tree-1.1", "applied-1.1");
  EXPECT_EQ(
      ReadFile(Path("applied-1.1/src/greeting.c")),
      Replaced(release_1_1, "    printf(\"Hello\\n\");\n",
               "    printf(\"Hi there\\n\");\n    printf(\"Hello\\n\");\n"));
  EXPECT_EQ(ReadFile(Path("applied-1.1/src/NOTES")), "Greets twice.\n");

  // Release 1.2 changed the very line the change needs: a conflict,
  // nothing written, and the work tree marks it.
  const std::string release_1_2 = Replaced(kGreeting, "Hello", "Howdy");
  MakeTree(Path("tree-1.2"), {{"src/greeting.c", release_1_2}});
  const ProgramResult conflict =
      RunPack({"rebase", "mine.qrl", "--onto", "tree-1.2", "-o", "mine-1.2.qrl",
               "--worktree", "work-1.2"},
              dir_.path());
  EXPECT_EQ(
      conflict.out,
      unchanged +
          "level 2001 conflict: src/greeting.c line 4 (src/greeting.c, hunk #1 "
          "(@@ "
          "-4,6 +4,7 @@))\n"
          "    NEW changed lines that the level changes, or lines next to "
          "them\n"
          "    package:\n"
          "      |     printf(\"Hi there\\n"
          "\");\n"
          "      |     printf(\"Hello\\n"
          "\");\n"
          "    base:\n"
          "      |     printf(\"Hello\\n"
          "\");\n"
          "    NEW:\n"
          "      |     printf(\"Howdy\\n"
          "\");\n"
          "rebase: 9 levels: 8 unchanged; 0 re-anchored; 0 merged; 0 already "
          "in "
          "the release; 1 conflict; 0 kept, not analysed\n"
          "rebase: no package written\n"
          "rebase: work-1.2 holds NEW with the carried levels applied and each "
          "conflict marked\n"
          "rebase: to finish, edit the marked files in work-1.2 and run: "
          "qrlpack "
          "from-trees tree-1.2 work-1.2 -o OUT\n");
  EXPECT_EQ(conflict.exit_code, 1);
  EXPECT_FALSE(Exists(Path("mine-1.2.qrl")));
  EXPECT_EQ(ReadFile(Path("work-1.2/src/greeting.c")),
            Replaced(release_1_2, "    printf(\"Howdy\\n\");\n",
                     "<<<<<<< package\n"
                     "    printf(\"Hi there\\n\");\n"
                     "    printf(\"Hello\\n\");\n"
                     "||||||| base\n"
                     "    printf(\"Hello\\n\");\n"
                     "=======\n"
                     "    printf(\"Howdy\\n\");\n"
                     ">>>>>>> NEW\n"));
  EXPECT_EQ(ReadFile(Path("work-1.2/src/NOTES")), "Greets twice.\n");
  // Resolved by hand: both greetings, the release's spelling.
  WriteFile(
      Path("work-1.2/src/greeting.c"),
      Replaced(release_1_2, "    printf(\"Howdy\\n\");\n",
               "    printf(\"Hi there\\n\");\n    printf(\"Howdy\\n\");\n"));
  const ProgramResult resolved =
      RunPack({"from-trees", "tree-1.2", "work-1.2", "-o", "mine-1.2.qrl"},
              dir_.path());
  ASSERT_EQ(resolved.exit_code, 0) << resolved.err;
  ApplyToCopy("mine-1.2.qrl", "tree-1.2", "applied-1.2");
  EXPECT_EQ(TreeContents(Path("applied-1.2")), TreeContents(Path("work-1.2")));
}

// Lines "int NAME0(void);" to "int NAME<count-1>(void);", with `changes`
// put in place of some of them.
std::string Declarations(const std::string& name, int count,
                         const std::map<int, std::string>& changes = {}) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    const auto change = changes.find(i);
    text += change != changes.end()
                ? change->second + "\n"
                : "int " + name + std::to_string(i) + "(void);\n";
  }
  return text;
}

// One level of each verdict, reported line by line, and the carried
// package applied: the release's spelling of its lines is kept.
TEST_F(RebaseEndToEnd, ReportsEachLevelsVerdictAndKeepsTheReleasesLines) {
  const FileTree old_tree = {
      {"u.c", Declarations("u", 8)},  {"r.c", Declarations("r", 8)},
      {"m.c", Declarations("m", 10)}, {"a.c", Declarations("a", 8)},
      {"c.c", Declarations("c", 8)},
  };
  FileTree mine = old_tree;
  mine["u.c"] = Declarations("u", 8, {{4, "long u4(void);"}});
  mine["r.c"] = Declarations("r", 8, {{3, "int r3(void);\nint r3b(void);"}});
  mine["m.c"] =
      Declarations("m", 10, {{2, "long m2(void);"}, {6, "long m6(void);"}});
  mine["a.c"] = Declarations("a", 8, {{3, "long a3(void);"}});
  mine["c.c"] = Declarations("c", 8, {{3, "long c3(void);"}});
  mine["docs/NOTE"] = "New.\n";
  FileTree release = old_tree;
  release["r.c"] =
      Declarations("r", 8, {{2, "int R2(void);"}, {0, "  int r0(void);"}});
  release["m.c"] = Declarations("m", 10, {{4, "int m4(int);"}});
  release["a.c"] = Declarations("a", 8, {{3, "long a3(void);"}});
  release["c.c"] = Declarations("c", 8, {{3, "short c3(void);"}});
  MakeTree(Path("old"), old_tree);
  MakeTree(Path("mine"), mine);
  MakeTree(Path("new"), release);
  Package("old", "mine", "p.qrl");
  const ProgramResult run = RunPack(
      {"rebase", "p.qrl", "--onto", "new", "-o", "out.qrl"}, dir_.path());
  EXPECT_EQ(
      run.out,
      "level 0 re-anchored (Check that {ROOT} is the tree this package was "
      "made for (root guard))\n"
      "    the root guard, made anew for the files the carried package "
      "changes\n"
      "level 0 unchanged ({QRL_TREE})\n"
      "level 0 kept, not analysed (New directories)\n"
      "level 0 kept, not analysed (New directories, when they are empty)\n"
      "level 1001 already in the release: a.c line 1 (a.c, hunk #1 (@@ -1,7 "
      "+1,7 @@))\n"
      "level 2001 conflict: c.c line 1 (c.c, hunk #1 (@@ -1,7 +1,7 @@))\n"
      "    NEW changed lines that the level changes, or lines next to them\n"
      "    package:\n"
      "      | long c3(void);\n"
      "    base:\n"
      "      | int c3(void);\n"
      "    NEW:\n"
      "      | short c3(void);\n"
      "level 3000 unchanged: docs/NOTE (docs/NOTE: new file, not there yet)\n"
      "level 3000 unchanged: docs/NOTE (docs/NOTE: new file)\n"
      "level 3000 unchanged: docs/NOTE (docs/NOTE: the new file removed)\n"
      "level 3001 unchanged: docs/NOTE (docs/NOTE: the new file's content)\n"
      "level 4001 merged: m.c line 1, found by alignment (m.c, hunk #1 (@@ "
      "-1,10 +1,10 @@))\n"
      "level 5001 re-anchored: r.c line 2, found as it was (r.c, hunk #1 (@@ "
      "-2,6 +2,7 @@) int r0(void);)\n"
      "level 6001 re-anchored (Check that {ROOT} is the tree this package was "
      "made for (root guard))\n"
      "    the root guard, made anew for the files the carried package "
      "changes\n"
      "level 6001 unchanged ({QRL_TREE})\n"
      "level 6001 unchanged: u.c line 2 (u.c, hunk #1 (@@ -2,7 +2,7 @@) int "
      "u0(void);)\n"
      "rebase: 15 levels: 7 unchanged; 3 re-anchored; 1 merged; 1 already in "
      "the release; 1 conflict; 2 kept, not analysed\n"
      "rebase: no package written\n"
      "rebase: to finish, run it again with --worktree DIR, then edit the "
      "marked files in DIR and run: qrlpack from-trees new DIR -o OUT\n");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_FALSE(Exists(Path("out.qrl")));

  // Without the conflict every level carries: the release's spelling of
  // r.c's lines and its change of m.c stay.
  WriteFile(Path("new/c.c"), old_tree.at("c.c"));
  const ProgramResult carried = RunPack(
      {"rebase", "p.qrl", "--onto", "new", "-o", "out.qrl"}, dir_.path());
  EXPECT_EQ(carried.exit_code, 0) << carried.out;
  ApplyToCopy("out.qrl", "new", "applied");
  FileTree expected = release;
  expected["c.c"] = mine["c.c"];
  expected["u.c"] = mine["u.c"];
  expected["r.c"] = Declarations("r", 8,
                                 {{0, "  int r0(void);"},
                                  {2, "int R2(void);"},
                                  {3, "int r3(void);\nint r3b(void);"}});
  expected["m.c"] = Declarations(
      "m", 10,
      {{2, "long m2(void);"}, {4, "int m4(int);"}, {6, "long m6(void);"}});
  expected["docs/"] = "";
  expected["docs/NOTE"] = "New.\n";
  EXPECT_EQ(TreeContents(Path("applied")), expected);
}

// A copy of the changed block further up in the release: only the base
// tells which one the package means.
TEST_F(RebaseEndToEnd, TheBaseTellsWhichCopyOfABlockIsMeant) {
  const std::string block = Declarations("b", 7);
  MakeTree(Path("old"),
           {{"f.c", "int first(void);\n" + block + "int last(void);\n"}});
  MakeTree(Path("mine"),
           {{"f.c", "int first(void);\n" +
                        Declarations("b", 7, {{3, "long b3(void);"}}) +
                        "int last(void);\n"}});
  MakeTree(Path("new"), {{"f.c", block + "int first(void);\n" + block +
                                     "int last(void);\n"}});
  Package("old", "mine", "p.qrl");
  const ProgramResult alone =
      RunPack({"rebase", "p.qrl", "--onto", "new"}, dir_.path());
  EXPECT_EQ(
      alone.out,
      "level 1001 unchanged (Check that {ROOT} is the tree this package was "
      "made for (root guard))\n"
      "level 1001 unchanged ({QRL_TREE})\n"
      "level 1001 unchanged (Check that {ROOT} is the tree this package was "
      "made for (root guard))\n"
      "level 1001 unchanged ({QRL_TREE})\n"
      "level 1001 conflict: f.c line 1 (f.c, hunk #1 (@@ -2,7 +2,7 @@) int "
      "first(void);)\n"
      "    its block stands at lines 1 and 9; nothing tells which one is meant "
      "(--base OLD may)\n"
      "    package:\n"
      "      | int b0(void);\n"
      "      | int b1(void);\n"
      "      | int b2(void);\n"
      "      | long b3(void);\n"
      "      | int b4(void);\n"
      "      | int b5(void);\n"
      "      | int b6(void);\n"
      "    base:\n"
      "      | int b0(void);\n"
      "      | int b1(void);\n"
      "      | int b2(void);\n"
      "      | int b3(void);\n"
      "      | int b4(void);\n"
      "      | int b5(void);\n"
      "      | int b6(void);\n"
      "    NEW: (no lines)\n"
      "rebase: 5 levels: 4 unchanged; 0 re-anchored; 0 merged; 0 already in "
      "the release; 1 conflict; 0 kept, not analysed\n"
      "rebase: no package written\n"
      "rebase: to finish, run it again with --worktree DIR, then edit the "
      "marked files in DIR and run: qrlpack from-trees new DIR -o OUT\n");
  EXPECT_EQ(alone.exit_code, 1);
  const ProgramResult based = RunPack(
      {"rebase", "p.qrl", "--onto", "new", "--base", "old", "-o", "out.qrl"},
      dir_.path());
  EXPECT_EQ(based.exit_code, 0) << based.out;
  ApplyToCopy("out.qrl", "new", "applied");
  EXPECT_EQ(ReadFile(Path("applied/f.c")),
            block + "int first(void);\n" +
                Declarations("b", 7, {{3, "long b3(void);"}}) +
                "int last(void);\n");
}

// The report as one document, with the keys docs/rebase-format.md lists.
TEST_F(RebaseEndToEnd, WritesTheReportAsJson) {
  MakeTree(Path("new"),
           {{"f.c", Declarations("f", 8, {{3, "short f3(void);"}})}});
  BuildPackageFromJson(R"json({"levels": [
        {"number": 1001, "kind": "Normal",
         "presentation": "f.c, hunk #1 (@@ -1,7 +1,7 @@)",
         "entries": [{"path": "{ROOT}f.c",
                      "lines": ["int f2(void);", "int f3(void);",
                                "int f4(void);"]}],
         "code": ["int f2(void);", "long f3(void);", "int f4(void);"]}
      ]})json",
                       Path("p.qrl"));
  const ProgramResult run =
      RunPack({"rebase", "p.qrl", "--onto", "new", "--json"}, dir_.path());
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out,
            "{\n"
            "  \"package\": \"p.qrl\",\n"
            "  \"onto\": \"new\",\n"
            "  \"base\": null,\n"
            "  \"levels\": [\n"
            "    {\n"
            "      \"number\": \"1001\",\n"
            "      \"presentation\": \"f.c, hunk #1 (@@ -1,7 +1,7 @@)\",\n"
            "      \"kind\": \"Normal\",\n"
            "      \"verdict\": \"conflict\",\n"
            "      \"file\": \"f.c\",\n"
            "      \"line\": 3,\n"
            "      \"found\": null,\n"
            "      \"reason\": \"NEW changed lines that the level changes, or "
            "lines next to them\",\n"
            "      \"sides\": {\n"
            "        \"package\": [\n"
            "          \"long f3(void);\"\n"
            "        ],\n"
            "        \"base\": [\n"
            "          \"int f3(void);\"\n"
            "        ],\n"
            "        \"new\": [\n"
            "          \"short f3(void);\"\n"
            "        ]\n"
            "      }\n"
            "    }\n"
            "  ],\n"
            "  \"summary\": {\n"
            "    \"unchanged\": 0,\n"
            "    \"re-anchored\": 0,\n"
            "    \"merged\": 0,\n"
            "    \"already in the release\": 0,\n"
            "    \"conflict\": 1,\n"
            "    \"kept, not analysed\": 0\n"
            "  },\n"
            "  \"check_failure\": null,\n"
            "  \"written\": null,\n"
            "  \"worktree\": null,\n"
            "  \"exit_code\": 1\n"
            "}\n");
}

// Levels other than Normal ones are kept as they are and never run for
// real: the tool below would leave a file.
TEST_F(RebaseEndToEnd, KeepsOtherLevelsAndRunsNoTool) {
  MakeTree(Path("new"), {{"f.c", "/* moved */\n" + Declarations("f", 8)}});
  const std::string description =
      R"({"levels": [
        {"number": 1, "kind": "Complex", "presentation": "Say hello",
         "code": ["MESSAGE hello"]},
        {"number": 2, "kind": "External", "presentation": "Touch a file",
         "code": {"executable": "//bin/sh",
                  "parameters": ["-c", "echo ran > )" +
      Path("ran") + R"("]}},
        {"number": 3, "kind": "Normal", "presentation": "Make f3 long",
         "entries": [{"path": "{ROOT}f.c",
                      "lines": ["int f2(void);", "int f3(void);",
                                "int f4(void);"]}],
         "code": ["int f2(void);", "long f3(void);", "int f4(void);"]}
      ]})";
  BuildPackageFromJson(description, Path("p.qrl"));
  const ProgramResult run = RunPack(
      {"rebase", "p.qrl", "--onto", "new", "-o", "out.qrl"}, dir_.path());
  EXPECT_EQ(run.out,
            "level 1 kept, not analysed (Say hello)\n"
            "level 2 kept, not analysed (Touch a file)\n"
            "level 3 unchanged: f.c line 4 (Make f3 long)\n"
            "rebase: 3 levels: 1 unchanged; 0 re-anchored; 0 merged; 0 "
            "already in the release; 0 conflicts; 2 kept, not analysed\n"
            "rebase: wrote out.qrl\n");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_FALSE(Exists(Path("ran")));
  EXPECT_EQ(ReadFile(Path("out.qrl")), ReadFile(Path("p.qrl")));
}

// Usage errors say how to use it; what cannot be read is named; nothing
// is written then.
TEST_F(RebaseEndToEnd, RefusesWhatItCannotReadAndSaysHowToUseIt) {
  MakeTree(Path("old"), {{"f.c", Declarations("f", 8)}});
  MakeTree(Path("mine"),
           {{"f.c", Declarations("f", 8, {{3, "long f3(void);"}})}});
  MakeTree(Path("busy"), {{"x", ""}});
  Package("old", "mine", "p.qrl");
  WriteFile(Path("not.qrl"), "not a package");
  struct Row {
    std::vector<std::string> args;
    int exit_code;
    std::string err;
  };
  const std::vector<Row> rows = {
      {{"rebase", "p.qrl"},
       2,
       "qrlpack: rebase: missing --onto ONTO\nTry 'qrlpack rebase "
       "--help'.\n"},
      {{"rebase", "--onto", "old"},
       2,
       "qrlpack: rebase: missing the input file\nTry 'qrlpack rebase "
       "--help'.\n"},
      {{"rebase", "p.qrl", "--onto", "old", "--frobnicate"},
       2,
       "qrlpack: rebase: unknown option '--frobnicate'\nTry 'qrlpack "
       "rebase "
       "--help'.\n"},
      {{"rebase", "not.qrl", "--onto", "old", "-o", "out.qrl"},
       3,
       "qrlpack: cannot load package 'not.qrl': at byte 0: width 110 is "
       "not 1, "
       "2, 4 or 8\n"},
      {{"rebase", "p.qrl", "--onto", "nowhere", "-o", "out.qrl"},
       3,
       "qrlpack: nowhere: not a directory\n"},
      {{"rebase", "p.qrl", "--onto", "old", "--base", "f", "-o", "out.qrl"},
       3,
       "qrlpack: f: not a directory\n"},
      {{"rebase", "p.qrl", "--onto", "old", "--worktree", "busy", "-o",
        "out.qrl"},
       3,
       "qrlpack: busy: the work tree must be a new or empty directory\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args.back());
    const ProgramResult run = RunPack(row.args, dir_.path());
    EXPECT_EQ(run.err, row.err);
    EXPECT_EQ(run.exit_code, row.exit_code);
    EXPECT_FALSE(Exists(Path("out.qrl")));
  }
  const ProgramResult help = RunPack({"rebase", "--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("Usage: qrlpack rebase PACKAGE --onto NEW"),
            std::string::npos);
}

}  // namespace
