// What the drivers tell about the levels they visit, for whoever watches a
// run: a progress line, a dry run's report. Watching never changes what a
// run does or prints; with no observer installed nobody is told.
#ifndef QRL_ENGINE_LEVEL_OBSERVER_H_
#define QRL_ENGINE_LEVEL_OBSERVER_H_

#include <cstdint>
#include <string_view>

#include "engine/driver_state.h"

enum class LevelResult {
  kDone,                // the level did its work (or counts as done)
  kFailed,              // its handler failed
  kRequirementsNotMet,  // its local or global requirements stopped it
  kNotSelected,         // its action names or symbols leave it out
};

// How a run weighs a level's failure of `severity`: under apply a
// severity of 0 is no failure and 3 stops the run; under reverse, which
// knows no severity, every failure counts and none stops. (A program that
// halts stops either, through kRunStop.)
enum class FailureWeight { kNone, kCounts, kStops };
FailureWeight WeighFailure(Direction direction, uint8_t severity);

struct LevelEvent {
  const LevelCall& call;  // the prepared level, its number and the run
  uint64_t index;         // its place among the run's level records
  LevelResult result;
  uint8_t severity;          // the weight of a failure
  std::string_view message;  // the report text of a failure, may be empty
};

class LevelObserver {
 public:
  virtual ~LevelObserver() = default;
  // A selected level is about to be handled.
  virtual void LevelStarts(const LevelCall& call, uint64_t index) = 0;
  // A level was handled, or left out.
  virtual void LevelEnds(const LevelEvent& event) = 0;
};

// The observer installed, or nullptr.
LevelObserver* CurrentLevelObserver();

// Installs `observer` for as long as the object lives and puts the one
// before it back afterwards.
class ScopedLevelObserver {
 public:
  explicit ScopedLevelObserver(LevelObserver* observer);
  ~ScopedLevelObserver();
  ScopedLevelObserver(const ScopedLevelObserver&) = delete;
  ScopedLevelObserver& operator=(const ScopedLevelObserver&) = delete;

 private:
  LevelObserver* previous_;
};

inline void NotifyLevelStarts(const LevelCall& call, uint64_t index) {
  if (LevelObserver* observer = CurrentLevelObserver()) {
    observer->LevelStarts(call, index);
  }
}

inline void NotifyLevelEnds(const LevelCall& call, uint64_t index,
                            LevelResult result, uint8_t severity = 0,
                            std::string_view message = {}) {
  if (LevelObserver* observer = CurrentLevelObserver()) {
    observer->LevelEnds(LevelEvent{call, index, result, severity, message});
  }
}

#endif  // QRL_ENGINE_LEVEL_OBSERVER_H_
