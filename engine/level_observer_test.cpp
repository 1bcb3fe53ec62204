#include "engine/level_observer.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "package/level_record.h"
#include "tests/driver_runs.h"
#include "tests/test_util.h"

namespace {

// Writes each event as "<presentation> <result>[ <severity>]".
class Recorder : public LevelObserver {
 public:
  void LevelStarts(const LevelCall& call, uint64_t) override {
    events.push_back(std::string(call.level.View(kPresentation)) + " starts");
  }
  void LevelEnds(const LevelEvent& event) override {
    static const char* const kNames[] = {"done", "failed", "requirements",
                                         "not selected"};
    std::string line = std::string(event.call.level.View(kPresentation)) + " " +
                       kNames[static_cast<int>(event.result)];
    if (event.severity != 0) {
      line += " " + std::to_string(event.severity);
    }
    events.push_back(line);
  }
  std::vector<std::string> events;
};

TEST(LevelObserver, HearsOfEveryLevelInRunOrderAndChangesNothing) {
  ScratchDir dir;
  WriteFile(dir.Path("a.txt"), "old\n");
  LevelSpec change = NormalLevel("2");
  change.presentation = "change";
  change.entries[0].path = dir.Path("a.txt");
  LevelSpec missing = NormalLevel("2");
  missing.presentation = "missing";
  missing.entries[0].path = dir.Path("gone.txt");
  LevelSpec guard;
  guard.number = "1";
  guard.kind = std::string(kKindRequirement);
  guard.presentation = "guard";
  guard.severity = "2";
  guard.requirements = "+NOPE";
  LevelSpec reverse_only = NormalLevel("3");
  reverse_only.presentation = "reverse only";
  reverse_only.requirements = "ACTION_REVERSE";

  const std::vector<LevelSpec> levels = {change, missing, guard, reverse_only};
  Recorder recorder;
  {
    ScopedLevelObserver watching(&recorder);
    const DriverRun run = RunApply(levels);
    EXPECT_EQ(run.output.Count(), 2u);  // the guard and the missing file
  }
  EXPECT_EQ(recorder.events,
            (std::vector<std::string>{
                "guard starts", "guard requirements 2", "change starts",
                "change done", "missing starts", "missing requirements 2",
                "reverse only not selected"}));
  EXPECT_EQ(ReadFile(dir.Path("a.txt")), "new\n");

  recorder.events.clear();
  {
    ScopedLevelObserver watching(&recorder);
    RunReverse({change});
  }
  RunReverse({change});  // nobody listens any more
  EXPECT_EQ(recorder.events,
            (std::vector<std::string>{"change starts", "change done"}));
}

TEST(LevelObserver, FailuresWeighAsTheDriversWeighThem) {
  struct Case {
    Direction direction;
    uint8_t severity;
    FailureWeight weight;
  };
  const Case cases[] = {
      {Direction::kApply, 0, FailureWeight::kNone},
      {Direction::kApply, 1, FailureWeight::kCounts},
      {Direction::kApply, 2, FailureWeight::kCounts},
      {Direction::kApply, 3, FailureWeight::kStops},
      {Direction::kApply, 4, FailureWeight::kCounts},
      {Direction::kApply, 255, FailureWeight::kCounts},
      {Direction::kReverse, 0, FailureWeight::kCounts},
      {Direction::kReverse, 3, FailureWeight::kCounts},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WeighFailure(c.direction, c.severity), c.weight)
        << static_cast<int>(c.severity);
  }
}

}  // namespace
