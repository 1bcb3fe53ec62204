// A Complex level: its program runs in the interpreter, with the driver's
// levels, symbols, macros, output and run flags. The drivers reach it
// through RunProgramLevel, which a program names in the RunContext of its
// runs (engine/run_context.h).
#ifndef QRL_COMPLEX_PROGRAM_LEVEL_H_
#define QRL_COMPLEX_PROGRAM_LEVEL_H_

#include "engine/driver_state.h"

// Sets the run flags to success, runs the program and fails with "COMPLEX
// ACTIONS FAILED ..." when the program cleared the success bit. The other
// run flags are left for the driver.
LevelOutcome RunProgramLevel(const LevelCall& call);

// Makes RunProgramLevel the drivers' handler of Complex levels from now on,
// for tests that drive the engine without a ScopedRun.
void InstallProgramLevel();

#endif  // QRL_COMPLEX_PROGRAM_LEVEL_H_
