#include "engine/reverse.h"

#include <utility>
#include <vector>

#include "engine/driver_state.h"
#include "engine/level_kinds.h"
#include "engine/level_observer.h"
#include "engine/requirements.h"

namespace {

// Undoes one selected level; failures are written at once.
void ReverseLevel(const LevelCall& call, uint64_t index) {
  NotifyLevelStarts(call, index);
  const LevelKindRow* kind = FindLevelKind(call.view.kind);
  if (kind == nullptr || kind->reverse == nullptr) {
    // Requirement, FileExport and unknown kinds have nothing to undo.
    NotifyLevelEnds(call, index, LevelResult::kDone);
    return;
  }
  if (kind->reverse_guard != ReverseGuard::kNone &&
      !LocalRequirementsMet(call.view, &call.state.files)) {
    std::string message;
    if (kind->reverse_guard == ReverseGuard::kLocalReported) {
      message =
          LevelMessage("LOCAL REQUIREMENTS ARE NOT FULFILLED FOR LEVEL ", call);
      call.state.output->Add(message);
    }
    NotifyLevelEnds(call, index, LevelResult::kRequirementsNotMet, 0, message);
    return;
  }
  if (kind->kind != LevelKind::kNormal) {
    // Other kinds may look at the files: they see every rewrite installed.
    call.state.files.Flush();
  }
  const LevelOutcome outcome = kind->reverse(call);
  if (!outcome.success && !outcome.message.empty()) {
    call.state.output->Add(outcome.message);
  }
  NotifyLevelEnds(call, index,
                  outcome.success ? LevelResult::kDone : LevelResult::kFailed,
                  0, outcome.message);
}

}  // namespace

void ReverseLevels(const TFASTMEMLIST& levels, TSETTINGSBLOCK* settings,
                   LineList* output, bool convert, int depth) {
  ReverseLevels(TFASTMEMLIST(levels), settings, output, convert, depth);
}

void ReverseLevels(TFASTMEMLIST&& levels, TSETTINGSBLOCK* settings,
                   LineList* output, bool convert, int depth) {
  DriverState state(std::move(levels), *settings, output, convert,
                    Direction::kReverse, depth);
  const std::vector<std::string> numbers = LevelNumbers(state.levels);
  for (auto number = numbers.rbegin(); number != numbers.rend(); ++number) {
    if (!state.RunPass(*number, [](const LevelCall& call, uint64_t index) {
          ReverseLevel(call, index);
        })) {
      break;
    }
  }
  state.Finish(settings);
}
