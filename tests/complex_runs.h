// Runs complex programs in-process through RunComplex, and checks tables of
// cases: a program with the macros and symbols it starts from, and the
// output, run flags, macros and symbols it must leave. The buffer is not
// returned by a run; a case shows it with a MESSAGE line of its own.
#ifndef QRL_TESTS_COMPLEX_RUNS_H_
#define QRL_TESTS_COMPLEX_RUNS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fastmemlist/fastmemlist.h"

// Program lines, output lines, symbol entries, or a macro list flattened to
// name, value, name, value ...
using Items = std::vector<std::string>;

struct ComplexResult {
  uint8_t run_flags = 0;
  Items output;
  Items macros;
  Items symbols;
  TFASTMEMLIST levels;
};

// Runs with the run flags set to 1, as the drivers do.
ComplexResult RunComplexProgram(const Items& program, const Items& macros = {},
                                const Items& symbols = {},
                                const TFASTMEMLIST& levels = {});

struct ProgramCase {
  std::string what;
  Items program;
  Items output = {};
  uint8_t run_flags = 1;
  Items macros = {};
  std::optional<Items> macros_after = {};  // nullopt: unchanged
  Items symbols = {};
  std::optional<Items> symbols_after = {};  // nullopt: unchanged
};

// Runs every case and checks everything it states.
void ExpectCases(const std::vector<ProgramCase>& cases);

#endif  // QRL_TESTS_COMPLEX_RUNS_H_
