#include "pack/author/level_failures.h"

#include "package/level_record.h"

void LevelFailures::LevelEnds(const LevelEvent& event) {
  const bool failure = event.result == LevelResult::kFailed ||
                       event.result == LevelResult::kRequirementsNotMet;
  const bool reported = event.call.state.direction == Direction::kReverse
                            ? !event.message.empty()
                            : event.severity >= 2;
  if (!failure || !reported || event.call.state.depth != 0 || failed_) {
    return;
  }
  failed_ = true;
  first_ = event.message.empty()
               ? "level " + event.call.number + " (" +
                     event.call.level.Get(kPresentation) + ") fails"
               : std::string(event.message);
}
