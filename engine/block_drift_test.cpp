#include "engine/block_drift.h"

#include <gtest/gtest.h>

namespace {

TEST(FindBlockPlaces, FirstPlaceOthersAndWhetherTheBytesAreEqual) {
  EditableText text(std::string("a\n  B\nc\na\nb\na\nB\n"));
  const BlockPlaces places = FindBlockPlaces(text, {"a", "b"});
  EXPECT_EQ(places.first, 0);
  EXPECT_EQ(places.others, (std::vector<uint64_t>{3, 5}));
  EXPECT_FALSE(places.exact);  // "  B" stands for "b"
  EXPECT_TRUE(FindBlockPlaces(text, {"a", "b"}, 0).others.empty());
  EXPECT_TRUE(FindBlockPlaces(text, {"c", "a", "b"}).exact);
  EXPECT_EQ(FindBlockPlaces(text, {"x"}).first, -1);
}

TEST(DescribeDrift, SaysWhereTheBlockPartsFromTheFile) {
  EditableText text(
      std::string("int main() {\n"
                  "  int count = 0;\n"
                  "  count += 2;\n"
                  "  return count;\n"
                  "}\n"));
  // A reworded line inside the block: its start stands at line 0.
  const BlockDrift inside =
      DescribeDrift(text, {"int main() {", "  int count = 0;", "  count++;"});
  EXPECT_EQ(inside.missing, 2u);
  EXPECT_EQ(inside.start_at, 0);
  EXPECT_EQ(inside.found_instead, "  count += 2;");
  EXPECT_EQ(inside.nearest, -1);

  // The first line itself changed: the most alike line is named.
  const BlockDrift first = DescribeDrift(text, {"  int counter = 0;", "x"});
  EXPECT_EQ(first.missing, 0u);
  EXPECT_EQ(first.start_at, -1);
  EXPECT_EQ(first.nearest, 1);
  EXPECT_EQ(first.nearest_text, "  int count = 0;");

  // Nothing alike at all.
  EXPECT_EQ(DescribeDrift(text, {"zzzz qqqq"}).nearest, -1);
  // The block runs past the end of the file.
  const BlockDrift end = DescribeDrift(text, {"  return count;", "}", "more"});
  EXPECT_EQ(end.missing, 2u);
  EXPECT_EQ(end.start_at, 3);
  EXPECT_EQ(end.found_instead, "");
}

TEST(DriftReason, NamesTheMissingLineAndWhereTheFilePartsFromTheBlock) {
  EditableText text(std::string("int main() {\n  int count = 0;\n}\n"));
  struct Case {
    std::vector<std::string> block;
    std::string reason;
  };
  const Case cases[] = {
      {{"int main() {", "  count++;"},
       "code line 2 \"  count++;\" is not found; its first line stands at "
       "line 1, followed by \"  int count = 0;\""},
      {{"}", "more"},
       "code line 2 \"more\" is not found; its first line stands at line 3, "
       "followed by the end of the file"},
      {{"int count = 1;"},
       "code line 1 \"int count = 1;\" is not found; the nearest line is "
       "line 2 \"  int count = 0;\""},
      {{"zzzz qqqq"},
       "code line 1 \"zzzz qqqq\" is not found; no line of the file "
       "resembles it"},
      // An empty block is never found; there is no line to name.
      {{}, "the code has no lines"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DriftReason(text, c.block, "code"), c.reason);
  }
}

TEST(LineLikeness, IgnoresBlanksAtTheEndsAndLetterCase) {
  EXPECT_DOUBLE_EQ(LineLikeness("  Count = 1; ", "count = 1;"), 1.0);
  EXPECT_DOUBLE_EQ(LineLikeness("abc", "xyz"), 0.0);
  EXPECT_GT(LineLikeness("int count = 0;", "int counter = 0;"), 0.7);
  EXPECT_DOUBLE_EQ(LineLikeness("}", "}"), 1.0);
}

}  // namespace
