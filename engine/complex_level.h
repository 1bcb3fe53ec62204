// A Complex level carries a program for the interpreter, which builds on
// the engine and so cannot be called from it: the program that runs
// packages hands the engine the handler of Complex levels at start.
#ifndef QRL_ENGINE_COMPLEX_LEVEL_H_
#define QRL_ENGINE_COMPLEX_LEVEL_H_

#include "engine/driver_state.h"

// Installs the handler that both drivers give every Complex level; nullptr
// removes it.
void SetComplexLevelHandler(LevelHandler handler);
// The handler installed, or nullptr.
LevelHandler ComplexLevelHandler();

// Hands the level to the installed handler. Without one, raises Failure:
// a program that runs packages has not installed the interpreter.
LevelOutcome RunComplexLevel(const LevelCall& call);

#endif  // QRL_ENGINE_COMPLEX_LEVEL_H_
