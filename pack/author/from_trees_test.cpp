#include "pack/author/from_trees.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/test_util.h"
#include "tests/tree_changes.h"

namespace {

// One file change as the test states it: the path, how it travels
// ("hunks N", "whole: reason", "new", "removed").
std::string Travels(const FileChange& change) {
  if (!change.before.has_value()) {
    return change.path + " new";
  }
  if (!change.after.has_value()) {
    return change.path + " removed";
  }
  if (change.hunks.empty()) {
    return change.path + " whole: " + change.whole_file_reason;
  }
  return change.path + " hunks " + std::to_string(change.hunks.size());
}

std::string Lines(int from, int to) {
  std::string text;
  for (int i = from; i <= to; ++i) {
    text += "line " + std::to_string(i) + "\n";
  }
  return text;
}

TEST(ChangeFromTrees, EachFileTravelsByItsLinesOrWhole) {
  struct Case {
    FileTree old_tree;
    FileTree new_tree;
    std::vector<std::string> changes;  // Travels, in path order
  };
  const std::string long_text = Lines(1, 30);
  const std::string two_places =
      "LINE 1\n" + Lines(2, 29) + "LINE 30\n";  // far apart: two hunks
  const std::vector<Case> cases = {
      {{{"a", "x\n"}}, {{"a", "x\n"}}, {}},
      {{{"a", "x\ny\n"}}, {{"a", "x\nz\n"}}, {"a hunks 1"}},
      {{{"a", long_text}}, {{"a", two_places}}, {"a hunks 2"}},
      {{{"a", std::string("x\0y\n", 4)}},
       {{"a", std::string("x\0z\n", 4)}},
       {"a whole: binary"}},
      {{{"a", "x\r\n"}},
       {{"a", "y\r\n"}},
       {"a whole: CR line ends or no line end at the end"}},
      {{{"a", "x"}},
       {{"a", "y"}},
       {"a whole: CR line ends or no line end at the end"}},
      {{}, {{"d/", ""}, {"d/n", "new\n"}}, {"d/n new"}},
      {{{"d/", ""}, {"d/o", "old\n"}}, {}, {"d/o removed"}},
      {{{"a", "1\n"}, {"b", "2\n"}},
       {{"b", "3\n"}, {"c", "4\n"}},
       {"a removed", "b hunks 1", "c new"}},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    ChangeSet changes;
    std::vector<std::string> errors;
    ASSERT_TRUE(ChangeOfTrees(dir, c.old_tree, c.new_tree, &changes, &errors))
        << (errors.empty() ? "" : errors[0]);
    std::vector<std::string> travels;
    for (const FileChange& change : changes.files) {
      travels.push_back(Travels(change));
    }
    EXPECT_EQ(travels, c.changes);
  }
}

TEST(ChangeFromTrees, RefusesWhatAPackageCannotTurn) {
  struct Case {
    FileTree old_tree;
    FileTree new_tree;
    std::string error;
  };
  const std::vector<Case> cases = {
      {{{"a", "x\n"}},
       {{"a/", ""}},
       "a: a file in one tree and a directory in the other"},
      {{}, {{"l", "-> elsewhere"}}, "l: a symbolic link"},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    ChangeSet changes;
    std::vector<std::string> errors;
    EXPECT_FALSE(ChangeOfTrees(dir, c.old_tree, c.new_tree, &changes, &errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors[0].find(c.error), std::string::npos) << errors[0];
  }
  ScratchDir dir;
  MakeTree(dir.Path("old"), {{"s", "#!/bin/sh\n"}});
  MakeTree(dir.Path("new"), {{"s", "#!/bin/sh\n"}});
  WriteFile(dir.Path("new/s"), "#!/bin/sh\n", 0755);
  ChangeSet changes;
  std::vector<std::string> errors;
  EXPECT_FALSE(
      ChangeFromTrees(dir.Path("old"), dir.Path("new"), &changes, &errors));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0],
            "s: the execute bit differs between the trees; a package cannot "
            "change a file's mode");
}

}  // namespace
