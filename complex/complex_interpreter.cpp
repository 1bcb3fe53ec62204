#include "complex/complex_interpreter.h"

#include <string>
#include <string_view>

#include "complex/command_table.h"
#include "complex/complex_run.h"
#include "engine/driver_state.h"
#include "engine/run_limits.h"

namespace {

// Runs one line: split at its first space into the command word (upper-
// cased) and the argument; a line that is a default-argument keyword alone
// takes the buffer. Blank and comment lines do nothing; any other word that
// is no keyword ends the run with the success bit cleared.
Step RunLine(ComplexRun& run, std::string_view line) {
  const size_t space = line.find(' ');
  const std::string word = UpperCase(line.substr(0, space));
  const ComplexCommand* command = FindCommand(word);
  if (command == nullptr) {
    if (TrimmedView(word).empty() || word.front() == '#') {
      return Step::Next();
    }
    *run.run_flags &= static_cast<uint8_t>(~kRunSuccess);
    return Step::End();
  }
  if (space == std::string_view::npos &&
      command->buffer_default == BufferDefault::kYes) {
    // A copy: the command may change the buffer it reads.
    const std::string argument = run.buffer;
    return command->handler(run, argument);
  }
  return command->handler(run, space == std::string_view::npos
                                   ? std::string_view()
                                   : line.substr(space + 1));
}

// Ends the run when it went past a bound: too many lines run, or a buffer,
// macro list or report that grew too large.
void CheckLimits(ComplexRun& run) {
  const RunLimits& limits = CurrentRunLimits();
  if (++run.lines_run > limits.program_lines) {
    throw RunLimitExceeded("the program ran more than " +
                           std::to_string(limits.program_lines) + " lines");
  }
  if (run.buffer.size() > limits.buffer_bytes) {
    throw RunLimitExceeded("the program's buffer grew past " +
                           std::to_string(limits.buffer_bytes) + " bytes");
  }
  CheckMacroLimit(&run.macros);
  CheckOutputLimit(run.output);
}

void RunProgram(const TFASTMEMLIST& program, const RunContext& context,
                uint8_t* run_flags, int depth) {
  if (depth > kMaxSubProgramDepth) {
    *run_flags &= static_cast<uint8_t>(~kRunSuccess);
    return;
  }
  ComplexRun run(program, context, run_flags, depth);
  while (run.pc < program.Count()) {
    const Step step = RunLine(run, program.View(run.pc));
    run.pc = step.absolute ? step.value : run.pc + step.value;
    CheckLimits(run);
  }
}

}  // namespace

void RunComplex(const TFASTMEMLIST& program, TFASTMEMLIST* levels,
                LineList* symbols, TFASTMEMLIST* macros, LineList* output,
                uint8_t* run_flags) {
  uint64_t lines_run = 0;
  RunProgram(program,
             RunContext{*levels, *symbols, *macros, *output, lines_run},
             run_flags, 0);
}

void RunSubProgram(const ComplexRun& caller, const TFASTMEMLIST& program,
                   uint8_t* run_flags) {
  RunProgram(program, caller.Context(), run_flags, caller.depth + 1);
}
