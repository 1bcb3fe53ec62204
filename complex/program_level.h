// A Complex level: its program runs in the interpreter, with the driver's
// levels, symbols, macros, output and run flags. The drivers reach it
// through the handler that InstallProgramLevel gives them.
#ifndef QRL_COMPLEX_PROGRAM_LEVEL_H_
#define QRL_COMPLEX_PROGRAM_LEVEL_H_

#include "engine/driver_state.h"

// Sets the run flags to success, runs the program and fails with "COMPLEX
// ACTIONS FAILED ..." when the program cleared the success bit. The other
// run flags are left for the driver.
LevelOutcome RunProgramLevel(const LevelCall& call);

// Makes RunProgramLevel the drivers' handler of Complex levels. Every
// program that runs packages calls it before the first run.
void InstallProgramLevel();

#endif  // QRL_COMPLEX_PROGRAM_LEVEL_H_
