// Bounds on what one run may repeat or collect, so that a package that
// never settles (a level number restarted forever, a program that loops or
// keeps growing its buffer, its macros or the report) ends with a clear
// message before time or memory runs out. Past a bound RunLimitExceeded is
// raised: it ends the action like any Failure (the console names it on
// standard error and exits with 3). The bounds are far above what real
// packages need; tests and fuzzers install smaller ones.
#ifndef QRL_ENGINE_RUN_LIMITS_H_
#define QRL_ENGINE_RUN_LIMITS_H_

#include <cstdint>
#include <string>

#include "fastmemlist/fastmemlist.h"
#include "services/failure.h"
#include "services/line_list.h"

struct RunLimits {
  // Restarts of one level number (LEVELRESTART) within its pass.
  uint64_t restarts = 1'000'000;
  // Lines that one visit of a Complex level runs, sub-programs included.
  uint64_t program_lines = 100'000'000;
  // The report lines of the run, and their bytes.
  uint64_t output_lines = 1'000'000;
  uint64_t output_bytes = 256ull << 20;
  // The macro list: names and values.
  uint64_t macro_bytes = 256ull << 20;
  // The buffer of one program.
  uint64_t buffer_bytes = 256ull << 20;
  // The size up to which a level's macro expansion may grow whatever the
  // level's own size (past it and four times that size it is cut).
  uint64_t expansion_bytes = 16ull << 20;
};

// The bounds in force.
const RunLimits& CurrentRunLimits();

// Installs `limits` for as long as the object lives and puts the ones
// before it back afterwards.
class ScopedRunLimits {
 public:
  explicit ScopedRunLimits(const RunLimits& limits);
  ~ScopedRunLimits();
  ScopedRunLimits(const ScopedRunLimits&) = delete;
  ScopedRunLimits& operator=(const ScopedRunLimits&) = delete;

 private:
  RunLimits previous_;
};

// The failure of a run that went past a bound. A handler that turns
// failures into a level's message (a nested package) lets this one through:
// the whole run ends.
class RunLimitExceeded : public Failure {
 public:
  explicit RunLimitExceeded(const std::string& what) : Failure(what) {}
};

// Raises RunLimitExceeded when the report holds too many lines or bytes.
// Counting is incremental: lines already counted are not summed again
// while the same list keeps growing.
void CheckOutputLimit(const LineList& output);

// Raises RunLimitExceeded when the macro list holds too many bytes. Space
// that replaced values left behind is given back first, so only live
// names and values count.
void CheckMacroLimit(TFASTMEMLIST* macros);

#endif  // QRL_ENGINE_RUN_LIMITS_H_
