#include "pack/author/change_levels.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "pack/author/from_trees.h"
#include "pack/author/verify_package.h"
#include "tests/test_util.h"
#include "tests/tree_changes.h"

namespace {

std::string Numbered(int count, const std::string& changed_at = "") {
  std::string text;
  for (int i = 1; i <= count; ++i) {
    const std::string line = "int v" + std::to_string(i) + ";";
    text += (std::to_string(i) == changed_at ? "/* new */ " + line : line);
    text += "\n";
  }
  return text;
}

// True when the lines of `inner` stand in `outer` in their order.
bool LinesWithin(std::string_view inner, std::string_view outer) {
  const TextLines in = SplitTextLines(inner);
  const TextLines out = SplitTextLines(outer);
  size_t at = 0;
  for (const std::string_view line : out.lines) {
    at += at < in.lines.size() && in.lines[at] == line ? 1 : 0;
  }
  return at == in.lines.size();
}

// For every change and marker style: the package's levels turn the tree
// before into the tree they report (`applied`) and back, and that tree is
// the tree after with marker lines at most.
TEST(BuildChangePackage, LevelsTurnTheTreeIntoWhatTheyReport) {
  struct Case {
    std::string before;
    std::string after;
    bool whole_file;
  };
  const std::vector<Case> cases = {
      {Numbered(3), Numbered(3, "2"), false},
      {Numbered(40), Numbered(40, "3") + "int tail;\n", false},
      // The same line many times: the context grows until it is the first
      // match.
      {"x;\nx;\nx;\nx;\n", "x;\nx;\ny;\nx;\n", false},
      {"a;\r\nb;\r\n", "a;\r\nc;\r\n", true},
      {"a;\nb;", "a;\nc;", true},
  };
  for (const MarkerStyle markers : {MarkerStyle::kNone, MarkerStyle::kC}) {
    for (const Case& c : cases) {
      ScratchDir dir;
      ChangeSet changes;
      std::vector<std::string> errors;
      ASSERT_TRUE(ChangeOfTrees(dir, {{"src/f.c", c.before}},
                                {{"src/f.c", c.after}}, &changes, &errors));
      std::string package;
      TreeState applied;
      std::vector<FileLevels> files;
      std::vector<std::string> notes;
      std::string err;
      ASSERT_TRUE(BuildChangePackage(changes, markers, &package, &applied,
                                     &files, &notes, &err))
          << err;
      ASSERT_EQ(files.size(), 1u);
      EXPECT_EQ(files[0].path, "src/f.c");
      EXPECT_EQ(files[0].whole_file, c.whole_file) << c.after;
      EXPECT_EQ(files[0].hunks.empty(), c.whole_file) << c.after;
      const std::string& result = applied.files.at("src/f.c");
      EXPECT_EQ(files[0].applied, result);
      if (markers == MarkerStyle::kNone || c.whole_file) {
        EXPECT_EQ(result, c.after);
      } else {
        EXPECT_NE(result, c.after);
        EXPECT_TRUE(LinesWithin(c.after, result)) << result;
      }
      VerifyFailure failure;
      EXPECT_TRUE(VerifyPackage(package, changes.before, applied, &failure))
          << failure.action << " " << failure.path << ": " << failure.detail;
    }
  }
}

TEST(BuildChangePackage, NewAndRemovedFilesTravelWhole) {
  ScratchDir dir;
  ChangeSet changes;
  std::vector<std::string> errors;
  ASSERT_TRUE(ChangeOfTrees(dir, {{"gone.c", "g;\n"}},
                            {{"d/", ""}, {"d/new.c", "n;\n"}}, &changes,
                            &errors));
  std::string package;
  TreeState applied;
  std::vector<FileLevels> files;
  std::string err;
  ASSERT_TRUE(BuildChangePackage(changes, MarkerStyle::kNone, &package,
                                 &applied, &files, nullptr, &err))
      << err;
  EXPECT_EQ(applied.files, changes.after.files);
  EXPECT_EQ(applied.directories, changes.after.directories);
  VerifyFailure failure;
  EXPECT_TRUE(VerifyPackage(package, changes.before, applied, &failure))
      << failure.detail;
}

}  // namespace
