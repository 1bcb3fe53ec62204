#include "complex/program_level.h"

#include "complex/complex_interpreter.h"
#include "engine/complex_level.h"
#include "engine/run_limits.h"
#include "package/level_record.h"

LevelOutcome RunProgramLevel(const LevelCall& call) {
  DriverState& state = call.state;
  TFASTMEMLIST program;
  for (size_t i = 1; i < call.view.code.size(); ++i) {  // after the type
    program.Add(call.view.code[i]);
  }
  state.run_flags = kRunSuccess;
  try {
    RunComplex(program, &state.levels, &state.symbols, &state.macros,
               state.output, &state.run_flags);
  } catch (const RunLimitExceeded& exceeded) {
    throw RunLimitExceeded(LevelMessage("level ", call) + ": " +
                           exceeded.what());
  }
  state.MacrosOrLevelsMayHaveChanged();
  if ((state.run_flags & kRunLevelsChanged) != 0) {
    state.LevelRecordsChanged();
    state.run_flags &= static_cast<uint8_t>(~kRunLevelsChanged);
  }
  if ((state.run_flags & kRunSuccess) != 0) {
    return LevelOutcome::Success();
  }
  return LevelOutcome::Failed(
      LevelMessage("COMPLEX ACTIONS FAILED FOR LEVEL ", call));
}

void InstallProgramLevel() { SetComplexLevelHandler(RunProgramLevel); }
