// The interpreter of the line-oriented macro language that Complex levels
// carry. It runs a program's lines one after the other against the run's
// macro list, symbol list and working levels, and reports back through the
// run flags; MESSAGE is its only way to the output list.
#ifndef QRL_COMPLEX_COMPLEX_INTERPRETER_H_
#define QRL_COMPLEX_COMPLEX_INTERPRETER_H_

#include <cstdint>

#include "fastmemlist/fastmemlist.h"
#include "services/line_list.h"

// Runs `program` (one line per item). The caller sets *run_flags to 1
// (success) before the call; on return bit 0 tells success, bit 1 asks to
// stop the run, bit 2 to restart and bit 3 to finish the level number. A
// program that goes past a bound of engine/run_limits.h (lines run, the
// size of its buffer, the macros or the report) raises RunLimitExceeded.
void RunComplex(const TFASTMEMLIST& program, TFASTMEMLIST* levels,
                LineList* symbols, TFASTMEMLIST* macros, LineList* output,
                uint8_t* run_flags);

#endif  // QRL_COMPLEX_COMPLEX_INTERPRETER_H_
