#include "engine/apply.h"

#include <algorithm>
#include <string>
#include <utility>

#include "engine/driver_state.h"
#include "engine/failure_cause.h"
#include "engine/level_kinds.h"
#include "engine/level_observer.h"
#include "engine/requirements.h"
#include "engine/symbols.h"
#include "package/level_record.h"
#include "services/diagnostics.h"

namespace {

std::string RequirementsMessage(std::string_view which, const LevelCall& call) {
  return LevelMessage(
      std::string(which) + " REQUIREMENTS ARE NOT FULFILLED FOR LEVEL ", call);
}

// Applies the level's symbol edits and writes its line as its severity
// says. False when the severity stops the run.
bool WeighOutcome(const LevelCall& call, uint8_t severity,
                  const std::string& message) {
  const LevelView& level = call.view;
  DriverState& state = call.state;
  switch (severity) {
    case 0:
      UpdateSymbols(level.success_symbols, &state.symbols);
      break;
    case 1:
      UpdateSymbols(level.failure_symbols, &state.symbols);
      break;
    case 2:
      UpdateSymbols(level.failure_symbols, &state.symbols);
      state.output->Add("WARNING! " + message);
      break;
    case 3:
      UpdateSymbols(level.failure_symbols, &state.symbols);
      state.output->Add("ERROR! " + message);
      // The exit code says that the run stopped; this line says where.
      Diagnose("apply stopped: " +
               (message.empty()
                    ? "level " + std::string(level.number) +
                          " PROCESS WITH PRESENTATION: " +
                          std::string(level.presentation) + " failed"
                    : message));
      if (const std::string cause = FailureCause(call); !cause.empty()) {
        Diagnose("why: " + cause);
      }
      break;
    default:
      break;  // counts towards the status only
  }
  return WeighFailure(Direction::kApply, severity) != FailureWeight::kStops;
}

// Requirement levels of the number run first. False when one of severity 3
// is not fulfilled: that error ends the run.
bool RequirementPass(DriverState& state, const std::string& number,
                     uint8_t* status) {
  state.ForgetPrepared();
  LevelView view;
  for (uint64_t i = state.NextCandidate(0, number); i < state.levels.Count();
       i = state.NextCandidate(i + 1, number)) {
    const TFASTMEMLIST& level = state.PrepareAndKeep(i);
    // Only the kind is looked at before a level is known to be one of
    // this pass: the other levels are decoded in the main pass.
    if (LevelKindOf(level.View(kKindCode)) != LevelKind::kRequirement ||
        !state.Selected(level, number)) {
      continue;
    }
    DecodeLevel(level, &view);
    uint8_t severity = LevelSeverity(view, i);
    const LevelCall call{level, view, number, state};
    NotifyLevelStarts(call, i);
    std::string message;
    if (LocalRequirementsMet(view, &state.files) &&
        (view.requirements.empty() ||
         GlobalRequirementsMet(view.requirements, state.symbols))) {
      severity = 0;
      NotifyLevelEnds(call, i, LevelResult::kDone);
    } else {
      message = RequirementsMessage("LOCAL", call);
      NotifyLevelEnds(call, i, LevelResult::kRequirementsNotMet, severity,
                      message);
    }
    if (!WeighOutcome(call, severity, message)) {
      // An error that ends the run is an error of the run.
      *status = std::max<uint8_t>(*status, severity);
      return false;
    }
  }
  return true;
}

// Runs one selected level; returns its severity (0 on success) and sets
// *message and *result.
uint8_t RunLevel(const LevelCall& call, uint64_t position, std::string* message,
                 LevelResult* result) {
  const LevelView& level = call.view;
  const uint8_t severity = LevelSeverity(level, position);
  *result = LevelResult::kDone;
  if (level.kind == LevelKind::kRequirement) {
    return 0;  // tested in the requirement pass
  }
  const LevelKindRow* kind = FindLevelKind(level.kind);
  if (kind == nullptr || kind->apply == nullptr) {
    *result = LevelResult::kFailed;
    return severity;  // an unknown kind does nothing
  }
  *result = LevelResult::kRequirementsNotMet;
  if (!LocalRequirementsMet(level, &call.state.files)) {
    *message = RequirementsMessage("LOCAL", call);
    return severity;
  }
  if (!GlobalRequirementsMet(level.requirements, call.state.symbols)) {
    *message = RequirementsMessage("GLOBAL", call);
    return severity;
  }
  if (level.kind != LevelKind::kNormal) {
    // Other kinds may look at the files: they see every rewrite installed.
    call.state.files.Flush();
  }
  LevelOutcome outcome = kind->apply(call);
  if (outcome.success) {
    *result = LevelResult::kDone;
    return 0;
  }
  *result = LevelResult::kFailed;
  *message = std::move(outcome.message);
  return outcome.severity.value_or(severity);
}

// The main pass of one level number. False when the run is to stop.
bool MainPass(DriverState& state, const std::string& number, uint8_t* status) {
  return state.RunPass(number, [status](const LevelCall& call, uint64_t i) {
    // Requirement levels were told of in their own pass.
    const bool told = call.view.kind == LevelKind::kRequirement;
    if (!told) {
      NotifyLevelStarts(call, i);
    }
    std::string message;
    LevelResult result;
    const uint8_t severity = RunLevel(call, i, &message, &result);
    if (!told) {
      NotifyLevelEnds(call, i, result, severity, message);
    }
    *status = std::max(*status, severity);
    if (!WeighOutcome(call, severity, message)) {
      call.state.run_flags |= kRunStop;
    }
  });
}

}  // namespace

uint8_t ApplyLevels(const TFASTMEMLIST& levels, TSETTINGSBLOCK* settings,
                    LineList* output, bool convert, int depth) {
  return ApplyLevels(TFASTMEMLIST(levels), settings, output, convert, depth);
}

uint8_t ApplyLevels(TFASTMEMLIST&& levels, TSETTINGSBLOCK* settings,
                    LineList* output, bool convert, int depth) {
  DriverState state(std::move(levels), *settings, output, convert,
                    Direction::kApply, depth);
  uint8_t status = 0;
  for (const std::string& number : LevelNumbers(state.levels)) {
    if (!RequirementPass(state, number, &status) ||
        !MainPass(state, number, &status)) {
      break;
    }
  }
  state.Finish(settings);
  return status;
}
