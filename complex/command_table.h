// The keyword table of the complex language: one row per keyword with its
// handler and whether, written alone, it takes the buffer as its argument.
// Each command family keeps its rows beside its handlers; a new keyword is
// one row and one function there.
#ifndef QRL_COMPLEX_COMMAND_TABLE_H_
#define QRL_COMPLEX_COMMAND_TABLE_H_

#include <span>
#include <string_view>
#include <vector>

#include "complex/complex_run.h"

// Every handler: the run and the argument (the line after its first space,
// untouched) in, the program-counter step out.
using Handler = Step (*)(ComplexRun& run, std::string_view argument);

// Whether a line that is the keyword alone runs with the buffer as its
// argument (kYes) or with an empty one (kNo).
enum class BufferDefault { kNo, kYes };
inline constexpr BufferDefault kNoDefault = BufferDefault::kNo;
inline constexpr BufferDefault kBufferDefault = BufferDefault::kYes;

struct ComplexCommand {
  std::string_view keyword;
  Handler handler;
  BufferDefault buffer_default;
};

// The rows of each family, in the order the families are documented.
std::span<const ComplexCommand> ControlCommands();
std::span<const ComplexCommand> BufferCommands();
std::span<const ComplexCommand> MacroCommands();
std::span<const ComplexCommand> SymbolCommands();
std::span<const ComplexCommand> FileCommands();
std::span<const ComplexCommand> ExecutionCommands();

// All rows, family after family.
const std::vector<ComplexCommand>& CommandTable();

// The row whose keyword equals the (already upper-cased) command word, or
// nullptr.
const ComplexCommand* FindCommand(std::string_view word);

#endif  // QRL_COMPLEX_COMMAND_TABLE_H_
