#include "pack/author/from_diff.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

// The tree every diff below is read against.
const FileTree kTree = {
    {"src/a.c", "one\ntwo\nthree\n"}, {"src/sub/", ""}, {"link", "-> src/a.c"}};

std::string ChangeA(const std::string& old_name, const std::string& new_name) {
  return "--- " + old_name + "\n+++ " + new_name +
         "\n@@ -1,3 +1,3 @@\n one\n-two\n+TWO\n three\n";
}

TEST(ChangeFromDiff, ReadsTheTreeAndRefusesWhatItCannotCarry) {
  ScratchDir dir;
  MakeTree(dir.path(), kTree);
  struct Case {
    std::string diff;
    int strip;
    std::string error;  // empty: the change is read
    std::string path;   // of its one file change
  };
  const std::vector<Case> cases = {
      {ChangeA("a/src/a.c", "b/src/a.c"), 1, "", "src/a.c"},
      {ChangeA("x/y/src/a.c", "x/y/src/a.c"), 2, "", "src/a.c"},
      {ChangeA("src/a.c", "src/a.c"), 0, "", "src/a.c"},
      {"--- /dev/null\n+++ b/src/new.c\n@@ -0,0 +1 @@\n+new\n", 1, "",
       "src/new.c"},
      {"--- a/src/a.c\n+++ /dev/null\n@@ -1,3 +0,0 @@\n-one\n-two\n-three\n", 1,
       "", "src/a.c"},
      {ChangeA("a/src/a.c", "b/src/a.c"), 3,
       "diff line 1: a/src/a.c: cannot take 3 leading components (-p)", ""},
      {ChangeA("a/../a.c", "b/../a.c"), 1, "cannot take 1 leading", ""},
      {ChangeA("a/src/gone.c", "b/src/gone.c"), 1,
       "src/gone.c: can't find this file in", ""},
      {"--- /dev/null\n+++ b/src/a.c\n@@ -0,0 +1 @@\n+new\n", 1,
       "src/a.c: the diff creates this file, but", ""},
      {ChangeA("a/src/sub", "b/src/sub"), 1, "src/sub: is a directory in", ""},
      {ChangeA("a/link", "b/link"), 1, "link: a symbolic link in", ""},
      {"--- a/src/a.c\n+++ b/src/a.c\n@@ -1,3 +1,3 @@\n one\n-six\n+SIX\n "
       "three\n",
       1, "src/a.c", ""},
      {"--- a/src/a.c\n+++ /dev/null\n@@ -1,1 +0,0 @@\n-one\n", 1,
       "the diff removes this file, but its hunks leave", ""},
  };
  for (const Case& c : cases) {
    FromDiffOptions options;
    options.tree = dir.path();
    options.strip = c.strip;
    ChangeSet changes;
    std::vector<std::string> errors;
    const bool read = ChangeFromDiff(c.diff, options, &changes, &errors);
    if (c.error.empty()) {
      EXPECT_TRUE(read) << c.diff << (errors.empty() ? "" : errors[0]);
      ASSERT_EQ(changes.files.size(), 1u) << c.diff;
      EXPECT_EQ(changes.files[0].path, c.path);
    } else {
      EXPECT_FALSE(read) << c.diff;
      ASSERT_FALSE(errors.empty()) << c.diff;
      EXPECT_NE(errors[0].find(c.error), std::string::npos) << errors[0];
    }
  }
  // Reading never changes the tree.
  EXPECT_EQ(ReadFile(dir.Path("src/a.c")), "one\ntwo\nthree\n");
}

TEST(ChangeFromDiff, ASecondDiffOfAFileContinuesFromTheFirst) {
  ScratchDir dir;
  MakeTree(dir.path(), kTree);
  FromDiffOptions options;
  options.tree = dir.path();
  const std::string diff =
      ChangeA("a/src/a.c", "b/src/a.c") +
      "--- a/src/a.c\n+++ b/src/a.c\n@@ -1,3 +1,3 @@\n one\n TWO\n-three\n"
      "+THREE\n";
  ChangeSet changes;
  std::vector<std::string> errors;
  ASSERT_TRUE(ChangeFromDiff(diff, options, &changes, &errors))
      << (errors.empty() ? "" : errors[0]);
  ASSERT_EQ(changes.files.size(), 1u);
  EXPECT_EQ(changes.files[0].before, "one\ntwo\nthree\n");
  EXPECT_EQ(changes.files[0].after, "one\nTWO\nTHREE\n");
  EXPECT_EQ(changes.after.files.at("src/a.c"), "one\nTWO\nTHREE\n");
}

TEST(PackageFromDiff, WritesAVerifiedPackageOrNothing) {
  ScratchDir dir;
  MakeTree(dir.path(), kTree);
  FromDiffOptions options;
  options.tree = dir.path();
  std::string package;
  std::vector<std::string> errors;
  EXPECT_TRUE(PackageFromDiff(ChangeA("a/src/a.c", "b/src/a.c"), options,
                              &package, &errors));
  EXPECT_FALSE(package.empty());
  package.clear();
  EXPECT_FALSE(PackageFromDiff(ChangeA("a/src/no.c", "b/src/no.c"), options,
                               &package, &errors));
  EXPECT_TRUE(package.empty());
}

}  // namespace
