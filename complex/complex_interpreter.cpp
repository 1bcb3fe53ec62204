#include "complex/complex_interpreter.h"

#include <string>
#include <string_view>

#include "complex/command_table.h"
#include "complex/complex_run.h"
#include "engine/driver_state.h"

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
  }
}

}  // namespace

void RunComplex(const TFASTMEMLIST& program, TFASTMEMLIST* levels,
                LineList* symbols, TFASTMEMLIST* macros, LineList* output,
                uint8_t* run_flags) {
  RunProgram(program, RunContext{*levels, *symbols, *macros, *output},
             run_flags, 0);
}

void RunSubProgram(const ComplexRun& caller, const TFASTMEMLIST& program,
                   uint8_t* run_flags) {
  RunProgram(program, caller.Context(), run_flags, caller.depth + 1);
}
