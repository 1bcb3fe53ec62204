// One run of a complex program: the state its commands work on, the step a
// command hands back to the main loop, and the helpers that the command
// families share (failure, conditions, macro look-up, text lines). Used
// only inside complex/; nothing here writes to the output list.
#ifndef QRL_COMPLEX_COMPLEX_RUN_H_
#define QRL_COMPLEX_COMPLEX_RUN_H_

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "fastmemlist/fastmemlist.h"
#include "services/line_list.h"
#include "services/string_utils.h"

// Where the program counter goes after a command: on by a number of lines,
// or to a line (past the last line ends the run).
struct Step {
  static constexpr Step By(uint64_t lines) { return {false, lines}; }
  static constexpr Step To(uint64_t line) { return {true, line}; }
  static constexpr Step Next() { return By(1); }
  static constexpr Step End() {
    return To(std::numeric_limits<uint64_t>::max());
  }

  bool absolute;
  uint64_t value;
};

// The caller's objects, shared by a run and every sub-program it starts,
// and the count of lines they have run together.
struct RunContext {
  TFASTMEMLIST& levels;
  LineList& symbols;
  TFASTMEMLIST& macros;
  LineList& output;
  uint64_t& lines_run;
};

// The per-run state. A sub-program gets its own, with the same context.
struct ComplexRun {
  ComplexRun(const TFASTMEMLIST& program_lines, const RunContext& run_context,
             uint8_t* flags, int nesting)
      : program(program_lines),
        levels(run_context.levels),
        symbols(run_context.symbols),
        macros(run_context.macros),
        output(run_context.output),
        lines_run(run_context.lines_run),
        run_flags(flags),
        depth(nesting) {}

  RunContext Context() const {
    return {levels, symbols, macros, output, lines_run};
  }

  const TFASTMEMLIST& program;
  TFASTMEMLIST& levels;
  LineList& symbols;
  TFASTMEMLIST& macros;
  LineList& output;
  uint64_t& lines_run;
  uint8_t* run_flags;
  int depth;  // 0 for the level's own program, 1 for its sub-programs ...

  uint64_t pc = 0;
  std::string buffer;
  CaseSensitive case_sensitive = CaseSensitive::kYes;
  // The first line index of every distinct line, built at the first GOTO so
  // that a loop of jumps does not search the program again and again.
  std::unordered_map<std::string_view, uint64_t> labels;
};

// Runs `program` as a sub-program of `caller` with the given run flags: a
// fresh buffer and case flag, the caller's context, one level deeper. A run
// nested past kMaxSubProgramDepth ends at once like an unrecognised command
// (success bit cleared), so a macro that runs itself cannot exhaust the
// stack.
inline constexpr int kMaxSubProgramDepth = 64;
void RunSubProgram(const ComplexRun& caller, const TFASTMEMLIST& program,
                   uint8_t* run_flags);

// Clears the success bit; the run goes on with the next line.
Step Fail(ComplexRun& run);

// Sets the success bit when `succeeded`, clears it otherwise: for the few
// commands whose success reports itself.
void ReportSuccess(ComplexRun& run, bool succeeded);

// The program counter after a condition. A condition that holds runs the
// next line (by 1); one that does not hold skips it (by 2). A condition
// that cannot be evaluated (nullopt: a missing macro, an empty macro list,
// an unusable operator or number) clears the success bit and counts as not
// holding for both the IF and the IFNOT form: the next line is skipped, so
// a line guarded by an undecidable test never runs. The program can tell
// the two cases apart with IFRETURNTRUE.
enum class Sense { kIf, kIfNot };
Step Decide(ComplexRun& run, std::optional<bool> holds, Sense sense);

// The step of a command that reads `operands` program lines after its own:
// past them, whether it succeeded or not, so they never run as commands.
Step PastOperands(uint64_t operands);

// The program line `offset` lines after the running one, if there is one.
std::optional<std::string_view> OperandLine(const ComplexRun& run,
                                            uint64_t offset);

// A test shared by a condition's IF and IFNOT rows.
using Test = std::optional<bool> (*)(ComplexRun& run,
                                     std::string_view argument);
template <Test test>
Step If(ComplexRun& run, std::string_view argument) {
  return Decide(run, test(run, argument), Sense::kIf);
}
template <Test test>
Step IfNot(ComplexRun& run, std::string_view argument) {
  return Decide(run, test(run, argument), Sense::kIfNot);
}

// Macro look-up by name with the run's case rule (FindMacro): the index of
// the name item, or -1. A name without a value after it (the last item of
// a damaged odd-sized list) is not a macro.
int64_t FindNamedMacro(const ComplexRun& run, std::string_view name);

// The first or the last macro: the index of its name item, or nullopt when
// the list holds no pair.
enum class Which { kFirst, kLast };
std::optional<uint64_t> MacroAt(const ComplexRun& run, Which which);

// A text as lines: split at LF, CR or CR LF; a final line end starts no
// further line, and an empty text has none.
LineList TextLines(std::string_view text);

// Edits of a text seen as lines (split at LF, CR or CR LF; rebuilt with LF
// after every line). An empty text stays empty.
using TextEdit = std::string (*)(std::string_view text);
std::string DeleteFirstLine(std::string_view text);
std::string DeleteLastLine(std::string_view text);
std::string KeepFirstLine(std::string_view text);  // without line end
std::string KeepLastLine(std::string_view text);   // without line end
std::string RemoveDuplicateTextLines(std::string_view text);

// The match operators of the buffer and macro-listing commands: the first
// byte of `operand` is the operator, the rest the pattern. "=" equal, ">"
// begins with, "<" ends with, "~" contains (an empty pattern is contained
// nowhere). nullopt for an empty operand or another operator.
std::optional<bool> MatchesOperand(std::string_view item,
                                   std::string_view operand);
bool IsMatchOperand(std::string_view operand);

#endif  // QRL_COMPLEX_COMPLEX_RUN_H_
