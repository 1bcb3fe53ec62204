// End-to-end tests of what keeps a package made from a change from harming
// the tree it meets: whole files replaced only where they are exactly as
// expected, the root guard, markers that never break a build, plan's word
// on loose matches and its --all-levels, removed executable files, and a
// format-patch series with its commits.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

ProgramResult Shell(const std::string& command, const std::string& cwd) {
  return RunProgram({"/bin/sh", "-c", command}, cwd);
}

// Every part stands in `text`.
void ExpectHolds(const std::string& text,
                 const std::vector<std::string>& parts) {
  for (const std::string& part : parts) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\nin:\n" << text;
  }
}

class SafePackages : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.Path(name); }
  std::string Root(const std::string& tree) const {
    return "MACRO{ROOT}=" + Path(tree) + "/";
  }
  // The package of "diff -ruN a b" for the tree a, with `options`.
  void MakePackage(const FileTree& a, const FileTree& b,
                   const std::vector<std::string>& options = {}) {
    MakeTree(Path("a"), a);
    MakeTree(Path("b"), b);
    ASSERT_EQ(Shell("diff -ruN a b > c.diff", dir_.path()).exit_code, 1);
    std::vector<std::string> args = {"from-diff", "--tree", "a", "-o", "c.qrl"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back("c.diff");
    made_ = RunPack(args, dir_.path());
    ASSERT_EQ(made_.exit_code, 0) << made_.err;
  }
  ProgramResult Console(const std::string& action, const std::string& tree) {
    return RunConsole({Path("c.qrl"), action, Root(tree)});
  }
  ProgramResult Plan(const std::string& action, const std::string& tree,
                     const std::vector<std::string>& options = {}) {
    std::vector<std::string> args = {"plan", Path("c.qrl"), action, Root(tree)};
    args.insert(args.end(), options.begin(), options.end());
    return RunPack(args);
  }

  ScratchDir dir_;
  ProgramResult made_;
};

// A CR LF file that the release gave more lines keeps them: the whole-file
// level finds the file otherwise than the old content and stops, and the
// plan names the first line that differs.
TEST_F(SafePackages, AWholeFileIsReplacedOnlyWhereItIsExactlyTheOldOne) {
  MakePackage({{"exports.def", "EXPORTS\r\n  one\r\n"}},
              {{"exports.def", "EXPORTS\r\n  one\r\n  mine\r\n"}});
  const std::string release = "EXPORTS\r\n  one\r\n  two\r\n  three\r\n";
  MakeTree(Path("release"), {{"exports.def", release}});
  const ProgramResult plan = Plan("apply", "release");
  EXPECT_EQ(plan.exit_code, 1);
  EXPECT_NE(plan.out.find("    why: the file differs from the content the "
                          "package expects: line 3 \"  two\\r\" is more than "
                          "the package expects\n"),
            std::string::npos)
      << plan.out;
  const ProgramResult run = Console("apply", "release");
  EXPECT_EQ(run.out, BannerLine() +
                         "exports.def is not as the package expects; it "
                         "stays as it is.\n"
                         "ERROR! COMPLEX ACTIONS FAILED FOR LEVEL 1001 "
                         "PROCESS WITH PRESENTATION: exports.def: the whole "
                         "file as it was, exactly (CR line ends)\n");
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_EQ(ReadFile(Path("release/exports.def")), release);
}

// A file the package removes goes only where it is exactly as it was; a
// file it created goes again under reverse only where it is as apply left
// it, and the directories it made only when nothing else stands in them.
TEST_F(SafePackages, NewAndRemovedFilesChangeOnlyAsTheyWere) {
  MakePackage({{"keep", "k\n"}, {"gone.txt", "old\n"}},
              {{"keep", "k\n"}, {"new/sub/n.txt", "n\n"}});
  MakeTree(Path("release"), {{"keep", "k\n"}, {"gone.txt", "old\nmore\n"}});
  const ProgramResult run = Console("apply", "release");
  EXPECT_EQ(run.out, BannerLine() +
                         "gone.txt is not as the package expects; it stays "
                         "as it is.\n"
                         "ERROR! COMPLEX ACTIONS FAILED FOR LEVEL 1001 "
                         "PROCESS WITH PRESENTATION: gone.txt: the removed "
                         "file, exactly as it was\n");
  EXPECT_EQ(ReadFile(Path("release/gone.txt")), "old\nmore\n");

  MakeTree(Path("t"), TreeContents(Path("a")));
  ASSERT_EQ(Console("apply", "t").out, BannerLine());
  WriteFile(Path("t/new/sub/n.txt"), "n, edited\n");
  WriteFile(Path("t/new/mine.txt"), "mine\n");
  EXPECT_EQ(Console("reverse", "t").out,
            BannerLine() +
                "new/sub/n.txt is not as the package left it; it stays as "
                "it is.\n"
                "COMPLEX ACTIONS FAILED FOR LEVEL 2000 PROCESS WITH "
                "PRESENTATION: new/sub/n.txt: the new file removed\n");
  EXPECT_EQ(TreeContents(Path("t")),
            (FileTree{{"gone.txt", "old\n"},
                      {"keep", "k\n"},
                      {"new/", ""},
                      {"new/mine.txt", "mine\n"},
                      {"new/sub/", ""},
                      {"new/sub/n.txt", "n, edited\n"}}));
}

// The root guard stops every action on a tree the package was not made
// for, with one line, before anything changes.
TEST_F(SafePackages, TheRootGuardStopsOnATreeThePackageWasNotMadeFor) {
  MakePackage({{"src/a.c", "int a;\n"}, {"old.txt", "old\n"}},
              {{"src/a.c", "int a = 1;\n"}, {"NEWFILE.c", "new\n"}});
  MakeTree(Path("other"), {{"README", "another project\n"}});
  const FileTree other = TreeContents(Path("other"));
  // Reverse on another project's tree brings no removed file back.
  const ProgramResult reverse = Console("reverse", "other");
  EXPECT_EQ(reverse.out,
            BannerLine() +
                "COMPLEX ACTIONS FAILED FOR LEVEL 3001 PROCESS WITH "
                "PRESENTATION: this tree lacks src/a.c, which the package "
                "changes\n");
  EXPECT_EQ(TreeContents(Path("other")), other);
  // Nor does createbackup back it up.
  const ProgramResult backup = Console("createbackup", "other");
  EXPECT_EQ(backup.out,
            BannerLine() +
                "ERROR! COMPLEX ACTIONS FAILED FOR LEVEL 1000 PROCESS WITH "
                "PRESENTATION: this tree lacks src/a.c, which the package "
                "changes\n");
  EXPECT_EQ(backup.exit_code, 3);
  EXPECT_FALSE(Exists(Path("c.qrl.backup")));
  // A root without its final "/" would put NEWFILE.c beside the tree.
  MakeTree(Path("tree"), {{"src/a.c", "int a;\n"}, {"old.txt", "old\n"}});
  const ProgramResult slashless =
      RunConsole({Path("c.qrl"), "apply", "MACRO{ROOT}=" + Path("tree")});
  EXPECT_EQ(slashless.out, BannerLine() +
                               "ERROR! COMPLEX ACTIONS FAILED FOR LEVEL 1000 "
                               "PROCESS WITH PRESENTATION: ROOT must end "
                               "with /\n");
  EXPECT_EQ(slashless.exit_code, 3);
  EXPECT_FALSE(Exists(Path("treeNEWFILE.c")));
  const ProgramResult missing = Console("apply", "nothing");
  EXPECT_EQ(missing.out, BannerLine() +
                             "ERROR! COMPLEX ACTIONS FAILED FOR LEVEL 1000 "
                             "PROCESS WITH PRESENTATION: ROOT is not a "
                             "directory\n");
  // On its own tree it is silent, under every action.
  EXPECT_EQ(Console("createbackup", "tree").exit_code, 0);
  EXPECT_EQ(Console("apply", "tree").out, BannerLine());
  EXPECT_EQ(Console("reverse", "tree").out, BannerLine());
  EXPECT_EQ(TreeContents(Path("tree")), TreeContents(Path("a")));
}

// Markers stay out of a continued makefile variable, a multi-line C macro
// and a here-document: the framed files still build and run.
TEST_F(SafePackages, MarkersNeverBreakWhatTheyFrame) {
  if (Shell("command -v cc && command -v make", dir_.path()).exit_code != 0) {
    GTEST_SKIP() << "no C compiler or make here";
  }
  const std::string makefile =
      "all:\n\t@echo $(SOURCES)\n\nSOURCES = a.c \\\n\tb.c \\\n\tc.c \\\n"
      "\td.c \\\n\te.c \\\n\tf.c \\\n\tg.c \\\n\th.c\n";
  const std::string program =
      "#include <stdio.h>\n#define GREET(x) \\\n  do { \\\n"
      "    printf(\"one\\n\"); \\\n    printf(\"two\\n\"); \\\n"
      "    printf(\"three\\n\"); \\\n    printf(\"hello %s\\n\", x); \\\n"
      "    printf(\"four\\n\"); \\\n    printf(\"five\\n\"); \\\n"
      "    printf(\"six\\n\"); \\\n  } while (0)\n\n"
      "int main(void) {\n  GREET(\"world\");\n  return 0;\n}\n";
  const std::string script =
      "#!/bin/sh\ncat <<EOT\none\ntwo\nthree\nfour\nfive\nsix\nseven\nEOT\n";
  auto edit = [](std::string text, const std::string& from,
                 const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
  };
  MakePackage({{"Makefile", makefile}, {"m.c", program}, {"s.sh", script}},
              {{"Makefile", edit(makefile, "e.c", "E.c")},
               {"m.c", edit(program, "hello", "hi")},
               {"s.sh", edit(script, "four", "4")}},
              {"--markers", "auto"});
  EXPECT_EQ(made_.err,
            "qrlpack: note: Makefile, hunk #1: left without markers, which "
            "would stand after a line continued with a backslash\n"
            "qrlpack: note: m.c, hunk #1: left without markers, which would "
            "stand after a line continued with a backslash\n"
            "qrlpack: note: s.sh, hunk #1: left without markers, which would "
            "stand inside a here-document\n");
  MakeTree(Path("t"), TreeContents(Path("a")));
  ASSERT_EQ(Console("apply", "t").out, BannerLine());
  EXPECT_EQ(TreeContents(Path("t")), TreeContents(Path("b")));
  const ProgramResult built =
      Shell("make -s && cc -o m m.c && ./m && sh s.sh", Path("t"));
  EXPECT_EQ(built.exit_code, 0) << built.err;
  EXPECT_EQ(built.out,
            "a.c b.c c.c d.c E.c f.c g.c h.c\none\ntwo\nthree\nhi world\n"
            "four\nfive\nsix\none\ntwo\nthree\n4\nfive\nsix\nseven\n");
}

// A level that matches only because case or blanks do not count would
// write the package's spelling over the release's: a function renamed in
// case, a re-indented Python function. The plan says so and fails.
TEST_F(SafePackages, PlanFailsOnLevelsThatRewriteTreeLines) {
  const std::string c_file =
      "int count(void);\nint total;\nvoid run(void) {\n  total = 1;\n"
      "  count();\n}\n";
  const std::string python =
      "def greet(name):\n    text = 'hi'\n    return text + name\n";
  MakePackage({{"r.c", c_file}, {"g.py", python}},
              {{"r.c",
                "int count(void);\nint total;\nvoid run(void) {\n"
                "  total = 2;\n  count();\n}\n"},
               {"g.py",
                "def greet(name):\n    text = 'hello'\n"
                "    return text + name\n"}});
  MakeTree(Path("release"),
           {{"r.c",
             "int Count(void);\nint total;\nvoid run(void) {\n"
             "  total = 1;\n  Count();\n}\n"},
            {"g.py",
             "class G:\n  def greet(name):\n      text = 'hi'\n"
             "      return text + name\n"}});
  const ProgramResult plan = Plan("apply", "release");
  EXPECT_EQ(plan.exit_code, 1);
  ExpectHolds(
      plan.out,
      {"r.c, hunk #1 (@@ -1,6 +1,6 @@): applies, rewrites 2 tree lines (" +
           Path("release/r.c") + ":1)\n",
       "    warning: matches only because blanks at the ends and letter "
       "case do not count: line 1 reads \"int Count(void);\", the package "
       "has \"int count(void);\"\n",
       "g.py, hunk #1 (@@ -1,3 +1,3 @@): applies, rewrites 3 tree lines (" +
           Path("release/g.py") + ":2)\n",
       "2 levels match only because blanks or letter case do not count, "
       "and would rewrite tree lines outside their change: carry the "
       "package to this tree with qrlpack rebase, or accept the rewrites "
       "with --allow-loose.\n"});
  const ProgramResult allowed = Plan("apply", "release", {"--allow-loose"});
  EXPECT_EQ(allowed.exit_code, 0) << allowed.out;
  const ProgramResult json = Plan("apply", "release", {"--json"});
  EXPECT_NE(json.out.find("\"rewrites\": 3,"), std::string::npos);
}

// With --all-levels the plan goes past the level where qrlconsole stops.
TEST_F(SafePackages, PlanOfAllLevelsGoesPastTheConsolesStop) {
  MakePackage({{"a.txt", "1\n2\n3\n"}, {"b.txt", "x\ny\nz\n"}},
              {{"a.txt", "1\nTWO\n3\n"}, {"b.txt", "x\nY\nz\n"}});
  MakeTree(Path("release"),
           {{"a.txt", "1\ntwo, changed\n3\n"}, {"b.txt", "x\ny\nz\n"}});
  const ProgramResult plan = Plan("apply", "release", {"--all-levels"});
  EXPECT_EQ(plan.exit_code, 1);
  ExpectHolds(
      plan.out,
      {"  1001 Normal a.txt, hunk #1 (@@ -1,3 +1,3 @@): fails (" +
           Path("release/a.txt") + ")\n",
       "  2001 Normal b.txt, hunk #1 (@@ -1,3 +1,3 @@): applies (" +
           Path("release/b.txt") + ":1) [past the stop]\n",
       std::string("qrlconsole stops after level 1001 a.txt, hunk #1 (@@ "
                   "-1,3 +1,3 @@); the levels marked [past the stop] are "
                   "planned as if the failing levels before them had "
                   "changed nothing.\n"),
       std::string("qrlconsole would print, after its banner, and exit with "
                   "3:\n    ERROR! LOCAL REQUIREMENTS ARE NOT FULFILLED FOR "
                   "LEVEL 1001 PROCESS WITH PRESENTATION: a.txt, hunk #1 "
                   "(@@ -1,3 +1,3 @@)\n")});
  const ProgramResult json =
      Plan("apply", "release", {"--all-levels", "--json"});
  EXPECT_NE(json.out.find("\"mode\": \"all-levels\""), std::string::npos);
  EXPECT_NE(json.out.find("\"past_stop\": true"), std::string::npos);
}

// A removed executable file comes back with its content and its execute
// bit, from a diff as from two trees.
TEST_F(SafePackages, ARemovedExecutableComesBackExecutable) {
  WriteFile(Path("a/run.sh"), "#!/bin/sh\necho run\n", 0755);
  WriteFile(Path("a/keep"), "k\n");
  WriteFile(Path("b/keep"), "k\n");
  ASSERT_EQ(Shell("git diff --no-index a b > c.diff", dir_.path()).exit_code,
            1);
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{
           {"from-diff", "-p2", "--tree", "a", "-o", "c.qrl", "c.diff"},
           {"from-trees", "a", "b", "-o", "c.qrl"}}) {
    SCOPED_TRACE(args[0]);
    const ProgramResult made = RunPack(args, dir_.path());
    ASSERT_EQ(made.exit_code, 0) << made.err;
    MakeTree(Path("t"), TreeContents(Path("a")));
    WriteFile(Path("t/run.sh"), "#!/bin/sh\necho run\n", 0755);
    ASSERT_EQ(Console("apply", "t").out, BannerLine());
    EXPECT_FALSE(Exists(Path("t/run.sh")));
    ASSERT_EQ(Console("reverse", "t").out, BannerLine());
    EXPECT_EQ(ReadFile(Path("t/run.sh")), "#!/bin/sh\necho run\n");
    EXPECT_NE(FileMode(Path("t/run.sh")) & 0100, 0u);
    ASSERT_EQ(Shell("rm -r t", dir_.path()).exit_code, 0);
  }
}

// A series of three patches keeps its commits: subjects in front of each
// level, a range of numbers per patch, the series in the user information;
// dump shows the new file's text as lines and builds back byte for byte.
TEST_F(SafePackages, ASeriesKeepsItsCommits) {
  const std::string git =
      "git -c user.name=A -c user.email=a@example.org -c init.defaultBranch=m ";
  const ProgramResult repo = Shell(
      git + "init -q r && cd r && printf '1\\n2\\n3\\n' > f && " + git +
          "add f && " + git + "commit -qm base && cp -r ../r ../before && " +
          "sed -i 's/^1$/one/' f && " + git + "commit -qam 'Spell one' && " +
          "printf 'notes\\n' > n && " + git + "add n && " + git +
          "commit -qm 'Add the notes' && sed -i 's/^3$/three/' f && " + git +
          "commit -qam 'Spell three' && " + git +
          "format-patch -q --stdout HEAD~3 > ../series.patch",
      dir_.path());
  ASSERT_EQ(repo.exit_code, 0) << repo.err;
  ASSERT_EQ(
      RunPack({"from-diff", "--tree", "before", "-o", "c.qrl", "series.patch"},
              dir_.path())
          .exit_code,
      0);
  EXPECT_EQ(RunConsole({Path("c.qrl"), "showuserinfo"}).out,
            BannerLine() +
                "Made by qrlpack from a series of 3 patches:\nSpell one\nAdd "
                "the notes\nSpell three\nRun it with "
                "MACRO{ROOT}=/path/to/tree/ (with the final /).\n");
  const ProgramResult dump =
      RunPack({"dump", "c.qrl", "-o", "c.json"}, dir_.path());
  ASSERT_EQ(dump.exit_code, 0) << dump.err;
  const std::string description = ReadFile(Path("c.json"));
  ExpectHolds(
      description,
      {"\"number\": 11001,\n      \"kind\": \"Normal\",\n      "
       "\"presentation\": \"Spell one: f, hunk #1 (@@ -1,3 +1,3 @@)\"",
       "\"number\": 21001,\n      \"kind\": \"FileExport\",\n      "
       "\"presentation\": \"Add the notes: n: the new file's content\"",
       "\"number\": 31001,\n      \"kind\": \"Normal\",\n      "
       "\"presentation\": \"Spell three: f, hunk #1 (@@ -1,3 +1,3 @@)\"",
       "\"bytes\": {\n            \"lines\": [\n              \"notes\"\n"});
  ASSERT_EQ(
      RunPack({"build", "c.json", "-o", "again.qrl"}, dir_.path()).exit_code,
      0);
  EXPECT_EQ(ReadFile(Path("again.qrl")), ReadFile(Path("c.qrl")));
  MakeTree(Path("t"), {{"f", "1\n2\n3\n"}});
  ASSERT_EQ(Console("apply", "t").out, BannerLine());
  EXPECT_EQ(TreeContents(Path("t")),
            (FileTree{{"f", "one\n2\nthree\n"}, {"n", "notes\n"}}));
  ASSERT_EQ(Console("reverse", "t").out, BannerLine());
  EXPECT_EQ(TreeContents(Path("t")), (FileTree{{"f", "1\n2\n3\n"}}));
}

}  // namespace
