// The symbol commands and conditions, over the run's symbol list.
#include <algorithm>

#include "complex/command_table.h"
#include "engine/symbols.h"

namespace {

// Only the two action names, written exactly so, stay.
Step Clear(ComplexRun& run, std::string_view) {
  std::erase_if(run.symbols.lines(),
                [](const std::string& entry) { return !IsActionName(entry); });
  return Step::Next();
}

Step Apply(ComplexRun& run, std::string_view edits) {
  UpdateSymbols(edits, &run.symbols);
  return Step::Next();
}

// Every entry converted, the action names included.
template <std::string (*convert)(std::string_view)>
Step ConvertAll(ComplexRun& run, std::string_view) {
  for (std::string& entry : run.symbols.lines()) {
    entry = convert(entry);
  }
  return Step::Next();
}

// +X needs +X or *X, -X needs neither; other entries are not tested.
std::optional<bool> Defined(ComplexRun& run, std::string_view requirements) {
  return GlobalRequirementsMet(requirements, run.symbols);
}

// Every entry but the action names is present, state character included.
std::optional<bool> Status(ComplexRun& run, std::string_view entries) {
  return AllSymbolsPresent(entries, run.symbols);
}

constexpr ComplexCommand kRows[] = {
    {"SYMBOLSCLEAR", Clear, kNoDefault},
    {"SYMBOLSAPPLY", Apply, kBufferDefault},
    {"SYMBOLSUPPERCASE", ConvertAll<UpperCase>, kNoDefault},
    {"SYMBOLSLOWERCASE", ConvertAll<LowerCase>, kNoDefault},
    {"IFSYMBOLSDEFINED", If<Defined>, kBufferDefault},
    {"IFNOTSYMBOLSDEFINED", IfNot<Defined>, kBufferDefault},
    {"IFSYMBOLSSTATUS", If<Status>, kBufferDefault},
    {"IFNOTSYMBOLSSTATUS", IfNot<Status>, kBufferDefault},
};

}  // namespace

std::span<const ComplexCommand> SymbolCommands() { return kRows; }
