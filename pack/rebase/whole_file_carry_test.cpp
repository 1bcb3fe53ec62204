#include "pack/rebase/whole_file_carry.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

TEST(WholeFileCarry, DecidesEachKindOfWholeFileLikeAThreeWayMerge) {
  using enum WholeFileKind;
  struct Row {
    const char* name;
    WholeFileChangeOf change;
    ReleaseFile onto;
    Verdict verdict;
    std::string after;  // what the carried levels write, when merged
  };
  const std::string crlf = "a\r\nb\r\nc\r\nd\r\ne\r\n";
  const std::vector<Row> rows = {
      {"created, not there",
       {kCreated, "", "n\n", false},
       {},
       Verdict::kUnchanged,
       ""},
      {"created, there alike",
       {kCreated, "", "n\n", true},
       {true, "n\n", true},
       Verdict::kAlreadyThere,
       ""},
      {"created, there otherwise",
       {kCreated, "", "n\n", false},
       {true, "m\n", false},
       Verdict::kConflict,
       ""},
      {"created, there with other permissions",
       {kCreated, "", "n\n", true},
       {true, "n\n", false},
       Verdict::kConflict,
       ""},
      {"removed, as it was",
       {kRemoved, "o\n", "", false},
       {true, "o\n", false},
       Verdict::kUnchanged,
       ""},
      {"removed, now executable",
       {kRemoved, "o\n", "", false},
       {true, "o\n", true},
       Verdict::kReanchored,
       ""},
      {"removed, gone",
       {kRemoved, "o\n", "", false},
       {},
       Verdict::kAlreadyThere,
       ""},
      {"removed, changed",
       {kRemoved, "o\n", "", false},
       {true, "p\n", false},
       Verdict::kConflict,
       ""},
      {"replaced, gone",
       {kReplaced, "o\n", "p\n", false},
       {},
       Verdict::kConflict,
       ""},
      {"replaced, as it was",
       {kReplaced, "o\n", "p\n", false},
       {true, "o\n", false},
       Verdict::kUnchanged,
       ""},
      {"replaced, changed alike",
       {kReplaced, "o\n", "p\n", false},
       {true, "p\n", false},
       Verdict::kAlreadyThere,
       ""},
      {"replaced, CR LF lines apart",
       {kReplaced, crlf, "A\r\nb\r\nc\r\nd\r\ne\r\n", false},
       {true, "a\r\nb\r\nc\r\nd\r\nE", false},
       Verdict::kMerged,
       "A\r\nb\r\nc\r\nd\r\nE"},
      {"replaced, the same line",
       {kReplaced, crlf, "a\r\nX\r\nc\r\nd\r\ne\r\n", false},
       {true, "a\r\nY\r\nc\r\nd\r\ne\r\n", false},
       Verdict::kConflict,
       ""},
      {"replaced, binary",
       {kReplaced, std::string("a\0b\n", 4), "c\n", false},
       {true, "d\n", false},
       Verdict::kConflict,
       ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const WholeFileCarry carry = CarryWholeFile(row.change, row.onto);
    EXPECT_EQ(carry.verdict, row.verdict);
    if (row.verdict == Verdict::kMerged) {
      EXPECT_EQ(carry.carried.before, row.onto.content);
      EXPECT_EQ(carry.carried.after, row.after);
    }
    if (row.verdict == Verdict::kConflict) {
      EXPECT_FALSE(carry.reason.empty());
      EXPECT_NE(carry.marked.find("<<<<<<< package\n"), std::string::npos);
    }
  }
}

TEST(WholeFileCarry, MarksAConflictInTheFileWithItsLineEndsKept) {
  const WholeFileCarry carry = CarryWholeFile(
      {WholeFileKind::kReplaced, "a\r\nb\r\nc\r\nd", "a\r\nX\r\nc\r\nd", false},
      {true, "a\r\nY\r\nc\r\nd", false});
  EXPECT_EQ(carry.marked,
            "a\r\n<<<<<<< package\nX\r\n||||||| base\nb\r\n=======\nY\r\n"
            ">>>>>>> NEW\nc\r\nd");
  EXPECT_EQ(carry.sides.package, std::vector<std::string>{"X\r\n"});
  const WholeFileCarry gone = CarryWholeFile(
      {WholeFileKind::kRemoved, "o", "", false}, {true, "p", false});
  EXPECT_EQ(gone.marked,
            "<<<<<<< package\n||||||| base\no\n=======\np\n>>>>>>> NEW\n");
}

}  // namespace
