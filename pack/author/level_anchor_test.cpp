#include "pack/author/level_anchor.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

TEST(WhereApplyFinds, ComparesTrimmedLinesIgnoringCase) {
  struct Row {
    std::vector<std::string_view> file;
    LineList block;
    int64_t at;
  };
  const Row rows[] = {
      {{"a", "x ", "Y", "z"}, {"  X", "y"}, 1},
      {{"a", "b", "a", "b"}, {"A", "B"}, 0},
      {{"a", "b", "c"}, {"b", "c"}, 1},
      {{"a", "b", "c"}, {"b", "a"}, -1},
      {{"a"}, {"a", "b"}, -1},
      {{"a"}, {}, -1},
      {{"\t"}, {""}, 0},
      {{"x", "", " ", "y"}, {"", ""}, 1},
      {{"\xe4"}, {"\xc4"}, -1},  // only a to z have a case
  };
  for (const Row& row : rows) {
    EXPECT_EQ(WhereApplyFinds(row.file, row.block), row.at)
        << testing::PrintToString(row.file);
  }
}

TEST(AnchorWithContext, GrowsUntilTheObsoleteCodeIsTheFirstMatch) {
  const std::vector<std::string_view> file = {"x", "a", "x", "b"};
  const LineChange change{2, 3, {"y"}};
  const FrameCode frame = [](LineList*) {};
  AnchoredChange anchored;
  // "x" alone is found first at line 0; with the line below it is unique.
  EXPECT_FALSE(AnchorWithContext(file, change, 0, 0, frame, &anchored));
  ASSERT_TRUE(AnchorWithContext(file, change, 0, 1, frame, &anchored));
  EXPECT_EQ(anchored.obsolete, (LineList{"x", "b"}));
  EXPECT_EQ(anchored.framed, (LineList{"y", "b"}));
}

}  // namespace
