#include "engine/reverse.h"

#include <utility>
#include <vector>

#include "engine/complex_level.h"
#include "engine/driver_state.h"
#include "engine/external_level.h"
#include "engine/file_directory_level.h"
#include "engine/level_observer.h"
#include "engine/normal_level.h"
#include "engine/package_level.h"
#include "engine/requirements.h"
#include "package/level_record.h"

namespace {

// How each kind of level is undone.
enum class Guard {
  kNone,           // runs without a requirement test
  kLocalSilent,    // runs only when its local requirements hold
  kLocalReported,  // reports unfulfilled local requirements
};

struct ReverseKind {
  std::string_view code;
  LevelHandler handler;
  Guard guard;
};

constexpr ReverseKind kReverseKinds[] = {
    {kKindNormal, ReverseNormalLevel, Guard::kNone},
    {kKindComplex, RunComplexLevel, Guard::kLocalSilent},
    {kKindFileDirectoryCreationRemoval, RunFileDirectoryLevel, Guard::kNone},
    {kKindExternal, RunExternalLevel, Guard::kLocalSilent},
    {kKindPackage, RunPackageLevel, Guard::kLocalReported},
};

const ReverseKind* FindReverseKind(std::string_view code) {
  for (const ReverseKind& kind : kReverseKinds) {
    if (kind.code == code) {
      return &kind;
    }
  }
  return nullptr;
}

// Undoes one selected level; failures are written at once.
void ReverseLevel(const LevelCall& call, uint64_t index) {
  NotifyLevelStarts(call, index);
  const ReverseKind* kind = FindReverseKind(call.level.View(kKindCode));
  if (kind == nullptr) {
    // Requirement, FileExport and unknown kinds have nothing to undo.
    NotifyLevelEnds(call, index, LevelResult::kDone);
    return;
  }
  if (kind->guard != Guard::kNone &&
      !LocalRequirementsMet(call.level, &call.state.files)) {
    std::string message;
    if (kind->guard == Guard::kLocalReported) {
      message =
          LevelMessage("LOCAL REQUIREMENTS ARE NOT FULFILLED FOR LEVEL ", call);
      call.state.output->Add(message);
    }
    NotifyLevelEnds(call, index, LevelResult::kRequirementsNotMet, 0, message);
    return;
  }
  if (kind->code != kKindNormal) {
    // Other kinds may look at the files: they see every rewrite installed.
    call.state.files.Flush();
  }
  const LevelOutcome outcome = kind->handler(call);
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
