#include "pack/rebase/line_merge.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "pack/rebase/line_diff.h"

namespace {

using Text = std::vector<std::string>;

LineMerge Merge(const Text& base, const Text& package, const Text& onto) {
  return MergeLines(ViewsOf(base), ViewsOf(package), ViewsOf(onto));
}

TEST(LineMerge, MergesWhatTheSidesChangeApartAndMarksWhatTheyBothTouch) {
  struct Row {
    const char* name;
    Text base, package, onto;
    bool clean;
    Text lines;  // the result when clean
  };
  const std::string nul("with\0zero", 9);
  const std::vector<Row> rows = {
      {"apart",
       {"a", "b", "c", "d", "e"},
       {"a", "B", "c", "d", "e"},
       {"a", "b", "c", "d", "E"},
       true,
       {"a", "B", "c", "d", "E"}},
      {"the same change on both sides",
       {"a", "b", "c"},
       {"a", "x", "b", "c"},
       {"a", "x", "b", "c"},
       true,
       {"a", "x", "b", "c"}},
      {"one side only", {"a", "b"}, {"a", "b"}, {"a", "c"}, true, {"a", "c"}},
      {"bytes of every kind",
       {"a", nul, "b\r"},
       {"a", nul, "B\r"},
       {"0", "a", nul, "b\r"},
       true,
       {"0", "a", nul, "B\r"}},
      {"from nothing", {}, {"p"}, {}, true, {"p"}},
      {"the same line changed",
       {"a", "b", "c"},
       {"a", "P", "c"},
       {"a", "N", "c"},
       false,
       {}},
      {"neighbouring lines changed",
       {"a", "b", "c", "d"},
       {"a", "P", "c", "d"},
       {"a", "b", "N", "d"},
       false,
       {}},
      {"a line changed that the other side removed",
       {"a", "b", "c"},
       {"a", "P", "c"},
       {"a", "c"},
       false,
       {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const LineMerge merge = Merge(row.base, row.package, row.onto);
    ASSERT_TRUE(merge.ok);
    EXPECT_EQ(merge.clean, row.clean);
    if (row.clean) {
      EXPECT_EQ(merge.lines, row.lines);
      EXPECT_TRUE(merge.conflicts.empty());
    } else {
      EXPECT_FALSE(merge.conflicts.empty());
    }
  }
}

TEST(LineMerge, ShowsEachConflictWithItsThreeSides) {
  const LineMerge merge = Merge({"a", "b", "c", "d", "e", "f", "g"},
                                {"a", "P", "c", "d", "e", "f", "g"},
                                {"a", "N", "c", "d", "e", "f", "G"});
  ASSERT_FALSE(merge.clean);
  ASSERT_EQ(merge.conflicts.size(), 1u);
  EXPECT_EQ(merge.conflicts[0].package, Text{"P"});
  EXPECT_EQ(merge.conflicts[0].base, Text{"b"});
  EXPECT_EQ(merge.conflicts[0].onto, Text{"N"});
  EXPECT_EQ(merge.lines,
            (Text{"a", "<<<<<<< package", "P", "||||||| base", "b",
                  "=======", "N", ">>>>>>> NEW", "c", "d", "e", "f", "G"}));
  EXPECT_EQ(ConflictBlock(ViewsOf({"p"}), ViewsOf({"b"}), ViewsOf({})),
            (Text{"<<<<<<< package", "p", "||||||| base", "b",
                  "=======", ">>>>>>> NEW"}));
}

TEST(LineDiff, ComparesLinesWholeOrAsTheEngineDoes) {
  const Text before = {"int f(void) {", "  return 1;", "}"};
  const Text after = {"INT F(VOID) {", "    return 1;", "}", "x"};
  std::vector<LineDiffHunk> hunks;
  ASSERT_TRUE(
      DiffLines(ViewsOf(before), ViewsOf(after), LineKey::kEngine, &hunks));
  ASSERT_EQ(hunks.size(), 1u);
  EXPECT_EQ(hunks[0].old_start, 3u);
  EXPECT_EQ(hunks[0].old_count, 0u);
  EXPECT_EQ(hunks[0].new_start, 3u);
  EXPECT_EQ(hunks[0].new_count, 1u);
  EXPECT_EQ(MatchedLines(hunks, before.size()),
            (std::vector<ptrdiff_t>{0, 1, 2}));
  ASSERT_TRUE(
      DiffLines(ViewsOf(before), ViewsOf(after), LineKey::kExact, &hunks));
  EXPECT_EQ(MatchedLines(hunks, before.size()),
            (std::vector<ptrdiff_t>{-1, -1, 2}));
  ASSERT_TRUE(
      DiffLines(ViewsOf({"a", "b"}), ViewsOf({}), LineKey::kExact, &hunks));
  EXPECT_EQ(MatchedLines(hunks, 2), (std::vector<ptrdiff_t>{-1, -1}));
}

}  // namespace
