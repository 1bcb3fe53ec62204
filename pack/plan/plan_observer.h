// Watches a planned run level by level: before a Normal level runs it
// looks at the file as the level will see it (where the block stands,
// where else, whether only with blanks and case ignored, whether the new
// code is there already, where a missing block parts from the file), and
// after it turns the driver's result into the plan's words. It also checks
// the paths a level names for macros that nothing defined and for macros
// without their final "/", and tells the bounds of the run (plan_bounds.h)
// which level runs and which trees its paths name. Watching changes
// nothing the run does.
#ifndef QRL_PACK_PLAN_PLAN_OBSERVER_H_
#define QRL_PACK_PLAN_PLAN_OBSERVER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/level_observer.h"
#include "pack/plan/plan.h"
#include "pack/plan/plan_bounds.h"

class PlanObserver : public LevelObserver {
 public:
  // `bounds`, when given, must outlive the observer.
  explicit PlanObserver(PlanBounds* bounds = nullptr) : bounds_(bounds) {}

  void LevelStarts(const LevelCall& call, uint64_t index) override;
  void LevelEnds(const LevelEvent& event) override;

  // A tool or command was asked to run, in the level that runs now.
  void ToolRequested();

  const std::vector<PlannedLevel>& levels() const { return levels_; }
  bool uncertain() const { return uncertain_; }

  // The failing level of the package itself after which the run stops:
  // its place among levels() and among the package's level records.
  struct Stop {
    size_t level;
    uint64_t record;
  };
  const std::optional<Stop>& stop() const { return stop_; }

 private:
  // What the look before a Normal level found.
  struct Look {
    bool looked = false;
    bool found = false;           // the block the level looks for
    bool new_code_there = false;  // applying: its framed code stands already
    std::string reason;           // why the block is not found
  };

  // The level as the report names it, before anything is known of it.
  PlannedLevel Planned(const LevelCall& call) const;
  void LookAtNormalLevel(const LevelCall& call, PlannedLevel* planned,
                         Look* look);
  // The outcome of a level whose block is not there: already applied when
  // its new code stands, a failure otherwise.
  static void DescribeMissingBlock(const Look& look, PlannedLevel* planned);
  void CheckPaths(const LevelCall& call, uint64_t index, PlannedLevel* planned);

  PlanBounds* bounds_;
  std::vector<PlannedLevel> levels_;
  // The levels that started and have not ended (a nested package's levels
  // run inside its level), with what was seen before each.
  std::vector<size_t> open_;
  std::vector<Look> looks_;
  bool uncertain_ = false;
  std::optional<Stop> stop_;
};

#endif  // QRL_PACK_PLAN_PLAN_OBSERVER_H_
