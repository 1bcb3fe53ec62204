#include "console/reverse_tally.h"

ReverseTally::ReverseTally()
    : next_(CurrentLevelObserver()), installed_(this) {}

void ReverseTally::LevelStarts(const LevelCall& call, uint64_t index) {
  if (next_ != nullptr) {
    next_->LevelStarts(call, index);
  }
}

void ReverseTally::LevelEnds(const LevelEvent& event) {
  if (event.result != LevelResult::kNotSelected) {
    ++visited_;
  }
  // A failure the report shows: a failed handler, or requirements that
  // the report names (a level that only skips silently has not failed).
  if (event.result == LevelResult::kFailed ||
      (event.result == LevelResult::kRequirementsNotMet &&
       !event.message.empty())) {
    ++failed_;
  }
  if (next_ != nullptr) {
    next_->LevelEnds(event);
  }
}

std::string ReverseTally::Summary() const {
  if (failed_ == 0) {
    return std::string();
  }
  return "reverse: " + std::to_string(failed_) + " of " +
         std::to_string(visited_) + (visited_ == 1 ? " level" : " levels") +
         " could not be reversed; see the report";
}
