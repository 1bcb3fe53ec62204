// The verdicts the plan's observer gives a Normal level, watched through
// real planned runs of one-level packages.
#include "pack/plan/plan_observer.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/package_builder.h"
#include "tests/test_util.h"

namespace {

// "old" becomes "new" in the file `path` (under the macro {ROOT}).
LevelSpec Level(const std::string& number, const std::string& severity,
                const std::string& path = "{ROOT}src/a.txt") {
  LevelSpec level = NormalLevel(number);
  level.entries[0].path = path;
  level.severity = severity;
  return level;
}

Plan PlanOf(const ScratchDir& dir, const std::vector<LevelSpec>& levels,
            const std::string& tree_text, const std::string& action,
            const PlanOptions& options = {}) {
  MakeTree(dir.Path("t"), {{"src/a.txt", tree_text}});
  WriteFile(dir.Path("p.qrl"), PackageData(levels));
  Plan plan;
  std::string why;
  const int code =
      MakePlan({dir.Path("p.qrl"), action, "MACRO{ROOT}=" + dir.Path("t/")},
               options, &plan, &why);
  EXPECT_LE(code, kPlanFails) << why;
  return plan;
}

TEST(PlanObserver, VerdictsOfANormalLevel) {
  struct Case {
    std::string tree;
    std::string action;
    std::string severity;
    std::string path;
    PlannedOutcome outcome;
    bool failure;
    int64_t line;
    std::string warning;  // a part of its first warning; empty for none
  };
  const std::string a = "{ROOT}src/a.txt";
  const std::vector<Case> cases = {
      {"old\n", "apply", "2", a, PlannedOutcome::kApplies, false, 1, ""},
      {"x\nold\nold\n", "apply", "2", a, PlannedOutcome::kApplies, false, 2,
       "also matches at line 3; the first place, line 2, is taken"},
      {"  OLD\n", "apply", "2", a, PlannedOutcome::kApplies, false, 1,
       "matches only because blanks at the ends and letter case do not "
       "count: line 1 reads \"  OLD\""},
      {"new\n", "apply", "2", a, PlannedOutcome::kAlreadyApplied, true, 1, ""},
      {"other\n", "apply", "3", a, PlannedOutcome::kFails, true, 0, ""},
      // A failure that does not weigh under apply leaves the level skipped.
      {"other\n", "apply", "0", a, PlannedOutcome::kSkipped, false, 0, ""},
      {"new\n", "reverse", "0", a, PlannedOutcome::kApplies, false, 1, ""},
      {"other\n", "reverse", "0", a, PlannedOutcome::kFails, true, 0, ""},
      {"old\n", "apply", "2", "{ROOT}{NOPE}/a.txt", PlannedOutcome::kSkipped,
       true, 0, "uses the macro {NOPE}, which nothing defines"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action + " on \"" + c.tree + "\", severity " + c.severity);
    ScratchDir dir;
    const Plan plan =
        PlanOf(dir, {Level("1", c.severity, c.path)}, c.tree, c.action);
    ASSERT_EQ(plan.levels.size(), 1u);
    const PlannedLevel& level = plan.levels[0];
    EXPECT_EQ(OutcomeName(level.outcome), OutcomeName(c.outcome))
        << level.reason;
    EXPECT_EQ(level.failure, c.failure);
    EXPECT_EQ(level.line, c.line);
    if (c.warning.empty()) {
      EXPECT_TRUE(level.warnings.empty()) << level.warnings[0];
    } else {
      ASSERT_FALSE(level.warnings.empty());
      EXPECT_NE(level.warnings[0].find(c.warning), std::string::npos)
          << level.warnings[0];
    }
    EXPECT_EQ(level.outcome == PlannedOutcome::kApplies, level.reason.empty())
        << level.reason;
  }
}

TEST(PlanObserver, AFailureThatStopsTheRunIsWhereAllLevelsGoOn) {
  const std::vector<LevelSpec> levels = {Level("1", "3"), Level("2", "2")};
  ScratchDir dir;
  const Plan console = PlanOf(dir, levels, "other\n", "apply");
  ASSERT_EQ(console.levels.size(), 1u);  // the console stops after it
  PlanOptions all;
  all.all_levels = true;
  const Plan past = PlanOf(dir, levels, "other\n", "apply", all);
  ASSERT_EQ(past.levels.size(), 2u);
  EXPECT_FALSE(past.levels[0].past_stop);
  EXPECT_TRUE(past.levels[1].past_stop);
  // Under reverse nothing stops the run.
  EXPECT_EQ(PlanOf(dir, levels, "other\n", "reverse").levels.size(), 2u);
}

}  // namespace
