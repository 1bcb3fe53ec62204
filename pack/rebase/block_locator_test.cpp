#include "pack/rebase/block_locator.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

using Text = std::vector<std::string>;

// Lines that say something, each once: "call_N(x);".
Text Calls(int first, int count) {
  Text lines;
  for (int i = first; i < first + count; ++i) {
    lines.push_back("  call_" + std::to_string(i) + "(x);");
  }
  return lines;
}

Text Join(std::initializer_list<Text> parts) {
  Text lines;
  for (const Text& part : parts) {
    lines.insert(lines.end(), part.begin(), part.end());
  }
  return lines;
}

TEST(BlockLocator, FindsABlockOnlyWhereItCanTellAndSaysWhyOtherwise) {
  // The level: call_11 becomes "changed();" between three lines of context.
  const Text obsolete = Calls(8, 7);
  Text code = obsolete;
  code[3] = "  changed();";
  struct Row {
    const char* name;
    Text file;
    LocateFailure failure;
    LocateStage stage;
    size_t first;  // where the place starts, or the first candidate
    size_t past;
  };
  Text reindented = Calls(0, 30);
  for (size_t i = 8; i < 15; ++i) {
    reindented[i] = "\t" + reindented[i].substr(2);
  }
  Text upper = Calls(0, 30);
  upper[9] = "  CALL_9(X);";
  const std::vector<Row> rows = {
      {"as it was", Calls(0, 30), LocateFailure::kNone, LocateStage::kExact, 8,
       15},
      {"moved down", Join({Calls(100, 40), Calls(0, 30)}), LocateFailure::kNone,
       LocateStage::kExact, 48, 55},
      {"other blanks and letter case", reindented, LocateFailure::kNone,
       LocateStage::kExact, 8, 15},
      {"once more", Join({Calls(0, 30), Calls(8, 7)}),
       LocateFailure::kAmbiguous, LocateStage::kExact, 8, 0},
      {"a context line gone", Join({Calls(0, 8), Calls(9, 21)}),
       LocateFailure::kNone, LocateStage::kTrimmed, 8, 14},
      {"the context above rewritten",
       Join({Calls(0, 8), {"a", "b", "c"}, Calls(11, 19)}),
       LocateFailure::kNone, LocateStage::kTrimmed, 11, 15},
      {"lines put inside",
       Join({Calls(0, 10),
             {"  inserted(y);"},
             Calls(10, 3),
             {"  more(y);"},
             Calls(13, 17)}),
       LocateFailure::kNone, LocateStage::kAligned, 8, 17},
      {"the context gone, twice",
       Join({{"x"}, Calls(11, 1), {"y"}, Calls(11, 1), {"z"}}),
       LocateFailure::kAmbiguous, LocateStage::kExact, 1, 0},
      {"nothing like it", Calls(50, 30), LocateFailure::kNowhere,
       LocateStage::kExact, 0, 0},
      {"at the start of the file", Calls(8, 7), LocateFailure::kNone,
       LocateStage::kExact, 0, 7},
      {"at the end of the file", Calls(5, 10), LocateFailure::kNone,
       LocateStage::kExact, 3, 10},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const BlockPlace place = LocateBlock(
        ViewsOf(row.file), {ViewsOf(obsolete), ViewsOf(code)}, nullptr);
    EXPECT_EQ(place.failure, row.failure);
    if (row.failure == LocateFailure::kNone) {
      EXPECT_EQ(place.stage, row.stage);
      EXPECT_EQ(place.first, row.first);
      EXPECT_EQ(place.past, row.past);
    } else if (row.failure == LocateFailure::kAmbiguous) {
      ASSERT_GE(place.candidates.size(), 2u);
      EXPECT_EQ(place.candidates[0], row.first);
    }
  }
  EXPECT_EQ(
      LocateBlock(ViewsOf(upper), {ViewsOf(obsolete), ViewsOf(code)}, nullptr)
          .stage,
      LocateStage::kExact);
}

TEST(BlockLocator, WeakOrTiedAlignmentsLocateNothing) {
  // Blocks whose lines say little, with their context changed.
  const Text brackets = {"{", "}", "  x = 1;", "}", "{"};
  Text bracket_code = brackets;
  bracket_code[2] = "  x = 2;";
  EXPECT_EQ(LocateBlock(ViewsOf(Text{"a", "{", "  x = 1;", "}", "b"}),
                        {ViewsOf(brackets), ViewsOf(bracket_code)}, nullptr)
                .failure,
            LocateFailure::kWeak);
  // Two windows hold most of the block, one no better than the other.
  const Text obsolete = Calls(0, 8);
  Text code = obsolete;
  code[4] = "  changed();";
  Text first = Calls(0, 8);
  first[1] = "  other_1();";
  Text second = Calls(0, 8);
  second[6] = "  other_6();";
  const Text file = Join({first, Calls(100, 30), second});
  const BlockPlace place =
      LocateBlock(ViewsOf(file), {ViewsOf(obsolete), ViewsOf(code)}, nullptr);
  EXPECT_EQ(place.failure, LocateFailure::kAmbiguous);
  EXPECT_EQ(place.candidates, (std::vector<size_t>{2, 38}));
  // An empty block is never found.
  EXPECT_EQ(LocateBlock(ViewsOf(file), {}, nullptr).failure,
            LocateFailure::kNowhere);
}

TEST(BlockLocator, TheBaseTellsCopiesApartAndSeesABlockGone) {
  const Text obsolete = Calls(8, 7);
  const Text code = obsolete;
  const Text old_file = Calls(0, 30);
  const BaseFile base{ViewsOf(old_file), 8};
  // A copy of the block further up: the base says which one is meant.
  const Text copied = Join({Calls(8, 7), Calls(50, 5), Calls(0, 30)});
  BlockPlace place =
      LocateBlock(ViewsOf(copied), {ViewsOf(obsolete), ViewsOf(code)}, &base);
  EXPECT_EQ(place.failure, LocateFailure::kNone);
  EXPECT_EQ(place.stage, LocateStage::kBase);
  EXPECT_EQ(place.first, 20u);
  EXPECT_EQ(place.past, 27u);
  // The block's lines removed: nothing stands for it.
  const Text removed = Join({Calls(0, 8), Calls(15, 15)});
  place =
      LocateBlock(ViewsOf(removed), {ViewsOf(obsolete), ViewsOf(code)}, &base);
  EXPECT_EQ(place.failure, LocateFailure::kNone);
  EXPECT_EQ(place.first, place.past);
  // Lines put next to the block belong to it: a merge sees them.
  const Text next_to = Join({Calls(0, 8), {"new"}, Calls(8, 22)});
  place =
      LocateBlock(ViewsOf(next_to), {ViewsOf(obsolete), ViewsOf(code)}, &base);
  EXPECT_EQ(place.first, 8u);
  EXPECT_EQ(place.past, 16u);
}

TEST(BlockLocator, TheChangedLinesOfALevel) {
  const Text obsolete = {"a", "b", "c", "d", "e"};
  const auto span = [&](const Text& code) {
    const ChangedSpan changed =
        ChangedLines({ViewsOf(obsolete), ViewsOf(code)});
    return std::make_pair(changed.first, changed.past);
  };
  EXPECT_EQ(span({"a", "b", "X", "d", "e"}),
            std::make_pair(size_t{2}, size_t{3}));
  // An insertion counts the lines on either side of it.
  EXPECT_EQ(span({"a", "b", "n", "c", "d", "e"}),
            std::make_pair(size_t{1}, size_t{3}));
  EXPECT_EQ(span({"a", "b", "c", "d", "e", "n"}),
            std::make_pair(size_t{4}, size_t{5}));
  EXPECT_EQ(span({"b", "c", "d", "E"}), std::make_pair(size_t{0}, size_t{5}));
  EXPECT_EQ(span(obsolete), std::make_pair(size_t{0}, size_t{5}));
  EXPECT_TRUE(Telling("  x1y;"));
  EXPECT_FALSE(Telling("  } /* */"));
}

}  // namespace
