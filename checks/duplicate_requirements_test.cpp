#include "checks/duplicate_requirements.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/package_builder.h"

namespace {

using Lines = std::vector<std::string>;

FileEntrySpec Entry(std::string path, std::vector<std::string> lines,
                    std::string type = "0") {
  FileEntrySpec entry;
  entry.path = std::move(path);
  entry.type = std::move(type);
  if (entry.type == "0") {
    entry.lines = std::move(lines);
  } else {
    entry.bytes = lines.empty() ? "" : lines[0];
  }
  return entry;
}

LevelSpec WithEntries(std::string kind, std::vector<FileEntrySpec> entries) {
  LevelSpec level;
  level.kind = std::move(kind);
  level.entries = std::move(entries);
  return level;
}

std::vector<RequirementPosition> AllPositions(const TFASTMEMLIST& levels) {
  std::vector<RequirementPosition> positions;
  RequirementPosition position{7, 7};
  for (bool found = NextRequirementPosition(levels, &position, true); found;
       found = NextRequirementPosition(levels, &position, false)) {
    positions.push_back(position);
  }
  return positions;
}

Lines DuplicateReport(const std::vector<LevelSpec>& levels) {
  LineList output;
  CheckDuplicateRequirements(LevelList(levels), &output);
  return output.lines();
}

TEST(NextRequirementPosition, WalksTheEntriesThatKindsTestBeforeRunning) {
  const FileEntrySpec a = Entry("/a", {"x"});
  const TFASTMEMLIST levels = LevelList({
      WithEntries("0", {a, a, a}),  // Normal: entry 0 is the target
      WithEntries("5", {a, a}),     // External: none
      WithEntries("1", {a, a}),     // Requirement: every entry
      WithEntries("3", {a}),        // FileExport with its target only
      WithEntries("2", {}),
      WithEntries("4", {a}),
      WithEntries("6", {a}),
      WithEntries("9", {a}),
      WithEntries("3", {a, a}),
  });
  EXPECT_EQ(AllPositions(levels),
            (std::vector<RequirementPosition>{
                {0, 1}, {0, 2}, {2, 0}, {2, 1}, {5, 0}, {8, 1}}));
  RequirementPosition position;
  EXPECT_FALSE(NextRequirementPosition(LevelList({}), &position, true));
}

TEST(CheckDuplicateRequirements, ComparesPathTypeAndContentOfEveryPair) {
  // Entry 0 of a Normal or FileExport level is its target, never compared.
  EXPECT_EQ(DuplicateReport(
                {WithEntries("0", {Entry("/t", {}), Entry("/f", {"a"})}),
                 WithEntries("0", {Entry("/t", {}), Entry("/f", {"a"})})}),
            (Lines{"WARNING! 1 entries regarding duplicate code "
                   "requirements:",
                   "Same requirement code can be found at index 0,1 and "
                   "index 1,1"}));
  // Any difference in path (case counts), content type or content.
  EXPECT_EQ(
      DuplicateReport({WithEntries(
          "1", {Entry("/f", {"a"}), Entry("/F", {"a"}), Entry("/f", {"a", ""}),
                Entry("/f", {"a"}, "1"), Entry("/f", {"b"})})}),
      Lines{});
}

TEST(CheckDuplicateRequirements, EveryUnorderedPairOnceEarlierFirst) {
  const FileEntrySpec a = Entry("/a", {"x"});
  const FileEntrySpec b = Entry("/b", {"y"}, "1");
  EXPECT_EQ(
      DuplicateReport({WithEntries("1", {a, b, a}), WithEntries("5", {a, a}),
                       WithEntries("2", {b, a})}),
      (Lines{"WARNING! 4 entries regarding duplicate code requirements:",
             "Same requirement code can be found at index 0,0 and "
             "index 0,2",
             "Same requirement code can be found at index 0,0 and "
             "index 2,1",
             "Same requirement code can be found at index 0,1 and "
             "index 2,0",
             "Same requirement code can be found at index 0,2 and "
             "index 2,1"}));
}

}  // namespace
