// End-to-end tests of what qrlpack from-diff and from-trees take as input:
// trees with links in them, names a package cannot carry, hunks whose
// counts or line numbers lie, an empty last line without its line end. A
// package made is applied and reversed by qrlconsole and compared with what
// patch gives; a refusal names its cause and writes nothing.
#include <filesystem>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

class AuthoringInputs : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.Path(name); }

  // from-diff of `diff` on the tree "t", into "c.qrl".
  ProgramResult FromDiff(const std::string& diff) {
    WriteFile(Path("c.diff"), diff);
    return RunPack({"from-diff", "--tree", "t", "-o", "c.qrl", "c.diff"},
                   dir_.path());
  }

  // The package of `diff` does to a copy of `tree` what patch does, and
  // reversing it gives the tree back.
  void ExpectPatchesAsPatchDoes(const FileTree& tree, const std::string& diff) {
    for (const std::string name : {"t", "p", "before", "c.qrl"}) {
      std::filesystem::remove_all(Path(name));
    }
    for (const std::string name : {"t", "p", "before"}) {
      MakeTree(Path(name), tree);
    }
    const ProgramResult made = FromDiff(diff);
    ASSERT_EQ(made.exit_code, 0) << made.err;
    const ProgramResult patched =
        RunProgram({"/usr/bin/patch", "-s", "-p1", "--no-backup-if-mismatch",
                    "-i", Path("c.diff")},
                   Path("p"));
    ASSERT_EQ(patched.exit_code, 0) << patched.out << patched.err;
    const std::string root = "MACRO{ROOT}=" + Path("t") + "/";
    for (const std::string action : {"apply", "reverse"}) {
      const ProgramResult run = RunConsole({Path("c.qrl"), action, root});
      EXPECT_EQ(run.out, BannerLine()) << action;
      EXPECT_EQ(TreeContents(Path("t")),
                TreeContents(Path(action == "apply" ? "p" : "before")))
          << action;
    }
  }

  ScratchDir dir_;
};

// The change goes through a link inside the tree: refused, naming the link;
// what lies outside stays as it was.
TEST_F(AuthoringInputs, RefusesPathsThroughLinksInTheTree) {
  MakeTree(Path("outside"), {{"s.txt", "s\n"}});
  MakeTree(Path("t"), {{"s.txt", "s\n"},
                       {"dirlink", "-> ../outside"},
                       {"filelink", "-> s.txt"}});
  const std::string tail =
      "; a package never writes through links\n"
      "qrlpack: no package written\n";
  struct Case {
    std::string diff;
    std::string err;
  };
  const std::vector<Case> cases = {
      {"--- a/dirlink/s.txt\n+++ b/dirlink/s.txt\n@@ -1 +1 @@\n-s\n+S\n",
       "qrlpack: diff line 1: dirlink/s.txt: its path passes through "
       "dirlink, a symbolic link in t (to ../outside)" +
           tail},
      {"--- /dev/null\n+++ b/dirlink/new/n.txt\n@@ -0,0 +1 @@\n+n\n",
       "qrlpack: diff line 1: dirlink/new/n.txt: its path passes through "
       "dirlink, a symbolic link in t (to ../outside)" +
           tail},
      {"--- a/filelink\n+++ b/filelink\n@@ -1 +1 @@\n-s\n+S\n",
       "qrlpack: diff line 1: filelink: a symbolic link in t (to s.txt)" +
           tail},
  };
  const auto outside = TreeSnapshot(Path("outside"));
  for (const Case& c : cases) {
    const ProgramResult made = FromDiff(c.diff);
    EXPECT_EQ(made.err, c.err);
    EXPECT_EQ(made.exit_code, 1);
    EXPECT_FALSE(Exists(Path("c.qrl")));
  }
  MakeTree(Path("new"), {{"s.txt", "S\n"}});
  const ProgramResult trees =
      RunPack({"from-trees", "t", "new", "-o", "c.qrl"}, dir_.path());
  EXPECT_EQ(trees.err,
            "qrlpack: t/dirlink: a symbolic link; a package carries only files "
            "and directories\n"
            "qrlpack: t/filelink: a symbolic link; a package carries only "
            "files and directories\n"
            "qrlpack: no package written\n");
  EXPECT_EQ(trees.exit_code, 1);
  EXPECT_EQ(TreeSnapshot(Path("outside")), outside);
}

// A name that holds "\" would not come out of a run as it went in (the
// levels take "\" as a directory separator): refused at authoring.
TEST_F(AuthoringInputs, RefusesABackslashInANameWithItsCause) {
  MakeTree(Path("old"), {{"keep.txt", "k\n"}});
  MakeTree(Path("new"), {{"keep.txt", "k\n"}, {"back\\slash", "b\n"}});
  const ProgramResult slash =
      RunPack({"from-trees", "old", "new", "-o", "c.qrl"}, dir_.path());
  EXPECT_EQ(slash.err,
            "qrlpack: back\\slash: the name holds \"\\\", which a package's "
            "levels take as a directory separator: rename it first\n"
            "qrlpack: no package written\n");
  EXPECT_EQ(slash.exit_code, 1);
  EXPECT_FALSE(Exists(Path("c.qrl")));
}

// A name that holds {ROOT} would get the tree's path in its place: refused
// with that cause, not as a package that does not verify.
TEST_F(AuthoringInputs, RefusesTheRootMacroInANameWithItsCause) {
  MakeTree(Path("t"), {{"a{ROOT}b.txt", "x\n"}});
  const ProgramResult root =
      FromDiff("--- a/a{ROOT}b.txt\n+++ b/a{ROOT}b.txt\n@@ -1 +1 @@\n-x\n+y\n");
  EXPECT_EQ(root.err,
            "qrlpack: a{ROOT}b.txt: the name holds {ROOT}, the macro that the "
            "package's paths stand under: the run would put the tree's path "
            "in its place\n"
            "qrlpack: no package written\n");
  EXPECT_EQ(root.exit_code, 1);
  EXPECT_FALSE(Exists(Path("c.qrl")));
}

// A hunk is read by its counts, as patch reads it: lines that go on past
// them are refused with the file and the diff line; "/dev/null" is only
// itself.
TEST_F(AuthoringInputs, ReadsHunksByTheirCountsAsPatchDoes) {
  MakeTree(Path("t"), {{"x", "a\nb\nc\n"}});
  const ProgramResult longer =
      FromDiff("--- a/x\n+++ b/x\n@@ -1,2 +1,2 @@\n a\n-b\n+B\n-c\n+C\n");
  EXPECT_EQ(longer.err,
            "qrlpack: diff line 7: b/x: the hunk @@ -1,2 +1,2 @@ of diff line "
            "3 goes on past its line counts\n"
            "qrlpack: no package written\n");
  EXPECT_EQ(longer.exit_code, 1);
  // A mail signature after the last hunk is no hunk line.
  ExpectPatchesAsPatchDoes(
      {{"x", "a\nb\nc\n"}},
      "--- a/x\n+++ b/x\n@@ -1,3 +1,3 @@\n a\n-b\n+B\n c\n-- \n2.39.0\n");
  // "/dev/null/." is a name like any other: the file stays, empty.
  ExpectPatchesAsPatchDoes(
      {{"x", "a\nb\nc\n"}},
      "--- a/x\n+++ /dev/null/.\n@@ -1,3 +0,0 @@\n-a\n-b\n-c\n");
}

// A hunk that names a line far past the end of the file is looked for
// where the file has lines, as patch does, at once.
TEST_F(AuthoringInputs, FindsAHunkNamedFarPastTheEndAtOnce) {
  ExpectPatchesAsPatchDoes(
      {{"x", "a\nb\nc\n"}},
      "--- a/x\n+++ b/x\n@@ -1099511627776,3 +1,3 @@\n a\n-b\n+B\n c\n");
}

// A hunk that ends in an empty line without its line end claims a line
// that no file holds (patch fails writing it): refused, where the level
// maker once read past the end of the file's lines.
TEST_F(AuthoringInputs, RefusesAnEmptyLastLineWithoutItsLineEnd) {
  MakeTree(Path("t"), {{"x", "a\nb\nd\nJd@\n}\n"}});
  const ProgramResult made = FromDiff(
      "--- a/x\n+++ b/x\n@@ -5,0 +6,1 @@\n+\n\\ No newline at end of file\n");
  EXPECT_EQ(made.err,
            "qrlpack: diff line 5: b/x: the hunk @@ -5,0 +6,1 @@ ends in an "
            "empty line without a line end, which no file can hold\n"
            "qrlpack: no package written\n");
  EXPECT_EQ(made.exit_code, 1);
}

}  // namespace
