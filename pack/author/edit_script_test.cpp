#include "pack/author/edit_script.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

using Lines = std::vector<std::string_view>;

// The grouping from-trees had before it shared the plan's: runs of changes
// in lines of the file before, joined when at most `join_gap` lines apart.
std::vector<HunkSteps> OldRunGrouping(const std::vector<EditStep>& steps,
                                      size_t before_size, size_t context,
                                      size_t join_gap) {
  struct Run {
    size_t old_start, old_end, new_start, new_end;
  };
  std::vector<Run> runs;
  bool in_run = false;
  for (const EditStep& step : steps) {
    if (step.mark == ' ') {
      in_run = false;
      continue;
    }
    if (!in_run) {
      runs.push_back({step.old_at, step.old_at, step.new_at, step.new_at});
      in_run = true;
    }
    if (step.mark == '-') {
      runs.back().old_end = step.old_at + 1;
    } else {
      runs.back().new_end = step.new_at + 1;
    }
  }
  std::vector<HunkSteps> hunks;
  for (size_t r = 0; r < runs.size();) {
    size_t last = r;
    while (last + 1 < runs.size() &&
           runs[last + 1].old_start - runs[last].old_end <= join_gap) {
      ++last;
    }
    const size_t lead = std::min(context, runs[r].old_start);
    const size_t trail = std::min(context, before_size - runs[last].old_end);
    HunkSteps hunk;
    hunk.old_start = runs[r].old_start - lead;
    hunk.old_count = runs[last].old_end + trail - hunk.old_start;
    hunk.new_start = runs[r].new_start - lead;
    hunk.new_count = runs[last].new_end + trail - hunk.new_start;
    hunks.push_back(hunk);
    r = last + 1;
  }
  return hunks;
}

Lines RandomLines(std::mt19937* random) {
  static constexpr std::string_view kWords[] = {"a", "b", "c", "d", "e"};
  std::uniform_int_distribution<size_t> length(0, 30);
  std::uniform_int_distribution<size_t> pick(0, 4);
  Lines lines(length(*random));
  for (std::string_view& line : lines) {
    line = kWords[pick(*random)];
  }
  return lines;
}

TEST(EditScript, StepsRebuildBothSidesAndGroupAsTheRunsDid) {
  std::mt19937 random(23);
  for (int round = 0; round < 3000; ++round) {
    const Lines before = RandomLines(&random);
    const Lines after = RandomLines(&random);
    const std::vector<EditStep> steps = EditScript(before, after);
    Lines old_side;
    Lines new_side;
    for (const EditStep& step : steps) {
      if (step.mark != '+') {
        ASSERT_EQ(step.old_at, old_side.size());
        old_side.push_back(step.line);
      }
      if (step.mark != '-') {
        ASSERT_EQ(step.new_at, new_side.size());
        new_side.push_back(step.line);
      }
    }
    ASSERT_EQ(old_side, before);
    ASSERT_EQ(new_side, after);
    for (size_t gap : {5, 6}) {
      const std::vector<HunkSteps> hunks = GroupHunks(steps, 3, gap);
      const std::vector<HunkSteps> old =
          OldRunGrouping(steps, before.size(), 3, gap);
      ASSERT_EQ(hunks.size(), old.size());
      for (size_t h = 0; h < hunks.size(); ++h) {
        EXPECT_EQ(hunks[h].old_start, old[h].old_start);
        EXPECT_EQ(hunks[h].old_count, old[h].old_count);
        EXPECT_EQ(hunks[h].new_start, old[h].new_start);
        EXPECT_EQ(hunks[h].new_count, old[h].new_count);
      }
    }
  }
}

TEST(EditScript, HunkRangeNamesTheLineBeforeAnEmptySide) {
  EXPECT_EQ(HunkRange(0, 0), "0,0");
  EXPECT_EQ(HunkRange(4, 0), "4,0");
  EXPECT_EQ(HunkRange(4, 2), "5,2");
}

}  // namespace
