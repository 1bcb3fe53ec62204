// A Complex level: its program runs in the complex interpreter, with the
// driver's levels, symbols, macros, output and run flags.
#ifndef QRL_ENGINE_COMPLEX_LEVEL_H_
#define QRL_ENGINE_COMPLEX_LEVEL_H_

#include "engine/driver_state.h"

// Sets the run flags to success, runs the program and fails with "COMPLEX
// ACTIONS FAILED ..." when the program cleared the success bit. The other
// run flags are left for the driver.
LevelOutcome RunComplexLevel(const LevelCall& call);

#endif  // QRL_ENGINE_COMPLEX_LEVEL_H_
