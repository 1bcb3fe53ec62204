#include "engine/level_observer.h"

#include <utility>

#include "package/level_record.h"

namespace {

// One run is one thread; the observer is the program's, like its output.
LevelObserver*& Installed() {
  static LevelObserver* observer = nullptr;
  return observer;
}

}  // namespace

LevelObserver* CurrentLevelObserver() { return Installed(); }

FailureWeight WeighFailure(Direction direction, uint8_t severity) {
  if (direction == Direction::kReverse) {
    return FailureWeight::kCounts;
  }
  switch (severity) {
    case 0:
      return FailureWeight::kNone;
    case 3:
      return FailureWeight::kStops;
    default:
      return FailureWeight::kCounts;
  }
}

ScopedLevelObserver::ScopedLevelObserver(LevelObserver* observer)
    : previous_(std::exchange(Installed(), observer)) {}

ScopedLevelObserver::~ScopedLevelObserver() { Installed() = previous_; }

void NotifyLevelNotSelected(const LevelCall& call, uint64_t index) {
  // A candidate of another number (its number came from a macro) is not
  // left out: it was never in.
  if (call.view.number == call.number) {
    NotifyLevelEnds(call, index, LevelResult::kNotSelected);
  }
}
