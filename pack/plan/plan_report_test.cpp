#include <sstream>
#include <string>

#include "gtest/gtest.h"
#include "pack/json/json_bytes.h"
#include "pack/plan/plan.h"

namespace {

PlannedLevel Level(std::string number, PlannedOutcome outcome) {
  PlannedLevel level;
  level.number = std::move(number);
  level.presentation = "Level " + level.number;
  level.kind = "Normal";
  level.outcome = outcome;
  return level;
}

// Two levels of each outcome but one, a nested level, a failure with its
// reason and warning, a loose match, and a changed file.
Plan SamplePlan() {
  Plan plan;
  plan.action = "apply";
  plan.levels = {Level("1", PlannedOutcome::kApplies),
                 Level("2", PlannedOutcome::kFails),
                 Level("3", PlannedOutcome::kAlreadyApplied),
                 Level("4", PlannedOutcome::kSkipped),
                 Level("5", PlannedOutcome::kNotSimulated),
                 Level("6", PlannedOutcome::kApplies)};
  plan.levels[0].file = "src/a.c";
  plan.levels[0].line = 7;
  plan.levels[1].reason = "obsolete code line 1 \"x\" is not found";
  plan.levels[1].warnings = {"also matches at line 9"};
  plan.levels[1].failure = true;
  plan.levels[5].depth = 1;
  plan.levels[5].rewrites = 2;
  plan.levels[5].uncertain = true;
  plan.would_print = {"line one"};
  plan.exit_code = 1;
  plan.uncertain = true;
  plan.files.push_back({.path = "src/a.c",
                        .change = PlannedChange::kModify,
                        .before = "a\n",
                        .after = "b\n",
                        .had_before = true,
                        .has_after = true});
  return plan;
}

TEST(PlanReport, OutcomesAreWordedOnlyWhereWrittenOut) {
  const std::pair<PlannedOutcome, std::string_view> words[] = {
      {PlannedOutcome::kUnknown, ""},
      {PlannedOutcome::kApplies, "applies"},
      {PlannedOutcome::kAlreadyApplied, "already applied"},
      {PlannedOutcome::kFails, "fails"},
      {PlannedOutcome::kSkipped, "skipped: requirements"},
      {PlannedOutcome::kNotSimulated, "not simulated"},
  };
  for (const auto& [outcome, word] : words) {
    EXPECT_EQ(OutcomeName(outcome), word);
  }
}

TEST(PlanReport, TextNamesEachLevelAndCountsTheOutcomes) {
  std::ostringstream out;
  WritePlanText(SamplePlan(), PlanOptions(), out);
  EXPECT_EQ(
      out.str(),
      "Plan of apply, level by level:\n"
      "  1 Normal Level 1: applies (src/a.c:7)\n"
      "  2 Normal Level 2: fails\n"
      "    why: obsolete code line 1 \"x\" is not found\n"
      "    warning: also matches at line 9\n"
      "  3 Normal Level 3: already applied\n"
      "  4 Normal Level 4: skipped: requirements\n"
      "  5 Normal Level 5: not simulated\n"
      "    6 Normal Level 6: applies, rewrites 2 tree lines [uncertain]\n"
      "Summary: 6 levels, 2 applies, 1 already applied, 1 fails, 1 skipped: "
      "requirements, 1 not simulated.\n"
      "1 level matches only because blanks or letter case do not count, and "
      "would rewrite tree lines outside its change: carry the package to "
      "this tree with qrlpack rebase, or accept the rewrites with "
      "--allow-loose.\n"
      "A level runs a tool or a command, which a plan never starts: what "
      "follows it is likely, not certain.\n"
      "qrlconsole would print, after its banner, and exit with 1:\n"
      "    line one\n"
      "Files it would change:\n"
      "    modify src/a.c\n");
}

TEST(PlanReport, JsonCarriesTheSameVerdicts) {
  const Plan plan = SamplePlan();
  std::ostringstream out;
  WritePlanJson(plan, PlanOptions(), out);
  const Json document = Json::parse(out.str());
  ASSERT_EQ(document["levels"].size(), plan.levels.size());
  for (size_t i = 0; i < plan.levels.size(); ++i) {
    const Json& level = document["levels"][i];
    EXPECT_EQ(level["outcome"], OutcomeName(plan.levels[i].outcome));
    EXPECT_EQ(level["number"], plan.levels[i].number);
    EXPECT_EQ(level["depth"], plan.levels[i].depth);
    EXPECT_EQ(level["rewrites"], plan.levels[i].rewrites);
  }
  EXPECT_EQ(document["action"], "apply");
  EXPECT_EQ(document["mode"], "console");
  EXPECT_EQ(document["exit_code"], 1);
  EXPECT_EQ(document["uncertain"], true);
  EXPECT_EQ(document["files"][0]["change"], "modify");
}

}  // namespace
