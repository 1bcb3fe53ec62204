#include "engine/level_kinds.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/package_builder.h"

namespace {

std::vector<std::string> TargetTexts(const LevelSpec& described) {
  const std::string record = LevelRecord(described);
  LevelView level;
  EXPECT_TRUE(DecodeLevel(record, &level));
  std::vector<std::string> texts;
  for (const LevelTarget& target : LevelTargets(level)) {
    texts.push_back(target.Text() + (target.Acts() ? "" : " (idle)"));
  }
  return texts;
}

LevelSpec WithEntries(std::string kind) {
  LevelSpec level;
  level.kind = std::move(kind);
  level.entries = {{"\\", "\\a.txt", "0", {"x"}, ""},
                   {"/", "/b.txt", "1", {}, "y"}};
  level.code = {"0", "+/made/", "-/gone"};
  return level;
}

// One row per kind: what it writes, which entry is tested first as a local
// requirement, and which is the first requirement code.
TEST(LevelKinds, EachKindsTargetsAndRequirementEntries) {
  struct Row {
    std::string code;
    std::vector<std::string> targets;
    uint64_t first_local;
    std::optional<uint64_t> first_code;
  };
  const std::vector<Row> rows = {
      {"0", {"+\\\\a.txt"}, 0, 1},
      {"1", {}, 0, 0},
      {"2", {}, 0, 0},
      {"3", {"+\\\\a.txt"}, 1, 1},
      {"4", {"+/made/", "-/gone"}, 0, 0},
      {"5", {}, 0, std::nullopt},
      {"6", {}, 0, std::nullopt},
  };
  ASSERT_EQ(rows.size(), kLevelKindCount);
  for (const Row& row : rows) {
    EXPECT_EQ(TargetTexts(WithEntries(row.code)), row.targets) << row.code;
    const LevelKindRow* kind = FindLevelKind(LevelKindOf(row.code));
    ASSERT_NE(kind, nullptr);
    EXPECT_EQ(kind->first_local_requirement, row.first_local) << row.code;
    EXPECT_EQ(kind->first_requirement_code, row.first_code) << row.code;
  }
  EXPECT_EQ(FindLevelKind(LevelKind::kUnknown), nullptr);
  EXPECT_TRUE(TargetTexts(WithEntries("9")).empty());
  EXPECT_TRUE(TargetTexts(LevelSpec()).empty());  // Normal without entries
}

// Every code line is a target as it stands; only "+" or "-" with a path
// acts.
TEST(LevelKinds, CreationRemovalLinesAreCutByTheGrammar) {
  EXPECT_EQ(TargetTexts(
                CreationRemovalLevel({"+/a", "-\\b\\", "x/c", "+/", "", "-"})),
            (std::vector<std::string>{"+/a", "-\\b\\", "x/c (idle)",
                                      "+/ (idle)", " (idle)", "- (idle)"}));
  LevelTarget target;
  EXPECT_TRUE(ParseTargetLine("-|dir|", &target));
  EXPECT_EQ(target.operation, "-");
  EXPECT_EQ(target.separator, "|");
  EXPECT_EQ(target.path, "dir|");
  EXPECT_FALSE(ParseTargetLine("+/", &target));
  EXPECT_EQ(target.path, "");
}

}  // namespace
