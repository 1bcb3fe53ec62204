// The control commands: run flags, case sensitivity, messages, jumps and
// sub-programs.
#include "complex/command_table.h"
#include "engine/driver_state.h"

namespace {

void SetFlag(ComplexRun& run, uint8_t flag, bool on) {
  if (on) {
    *run.run_flags |= flag;
  } else {
    *run.run_flags &= static_cast<uint8_t>(~flag);
  }
}

Step CaseSensitiveCommand(ComplexRun& run, std::string_view argument) {
  run.case_sensitive =
      argument == "TRUE" ? CaseSensitive::kYes : CaseSensitive::kNo;
  return Step::Next();
}

Step Return(ComplexRun& run, std::string_view argument) {
  SetFlag(run, kRunSuccess, argument == "TRUE");
  return Step::Next();
}

Step Halt(ComplexRun& run, std::string_view) {
  SetFlag(run, kRunStop, true);
  return Step::End();
}

Step LevelRestart(ComplexRun& run, std::string_view) {
  SetFlag(run, kRunRestart, true);
  return Step::Next();
}

Step LevelFinish(ComplexRun& run, std::string_view) {
  SetFlag(run, kRunFinish, true);
  return Step::Next();
}

Step Message(ComplexRun& run, std::string_view argument) {
  run.output.Add(std::string(argument));
  return Step::Next();
}

// The target is the first line equal to the label, letter case counting.
Step Goto(ComplexRun& run, std::string_view label) {
  if (label.empty()) {
    return Fail(run);
  }
  if (run.labels.empty()) {
    for (uint64_t i = 0; i < run.program.Count(); ++i) {
      run.labels.try_emplace(run.program.View(i), i);
    }
  }
  const auto found = run.labels.find(label);
  if (found == run.labels.end()) {
    return Fail(run);
  }
  return Step::To(found->second);
}

std::optional<bool> SuccessBitSet(ComplexRun& run, std::string_view) {
  return (*run.run_flags & kRunSuccess) != 0;
}

// Runs the named macro's value, copied line by line, as a sub-program with
// the given flags; false when there is no such macro.
bool RunMacro(ComplexRun& run, std::string_view name, uint8_t* run_flags) {
  const int64_t index = FindNamedMacro(run, name);
  if (index < 0) {
    return false;
  }
  TFASTMEMLIST program;
  program.AddStrings(TextLines(run.macros.View(index + 1)));
  RunSubProgram(run, program, run_flags);
  return true;
}

// The sub-program shares the caller's flags: a HALT in it ends only the
// sub-program, but its stop bit stays for the driver.
Step ExecuteComplexMacro(ComplexRun& run, std::string_view name) {
  return RunMacro(run, name, run.run_flags) ? Step::Next() : Fail(run);
}

// Private flags: only the sub-program's success bit comes back (and the
// news that it changed the level records).
std::optional<bool> ComplexMacroSucceeds(ComplexRun& run,
                                         std::string_view name) {
  uint8_t run_flags = kRunSuccess;
  if (!RunMacro(run, name, &run_flags)) {
    return std::nullopt;
  }
  *run.run_flags |= run_flags & kRunLevelsChanged;
  return (run_flags & kRunSuccess) != 0;
}

constexpr ComplexCommand kRows[] = {
    {"CASESENSITIVE", CaseSensitiveCommand, kNoDefault},
    {"RETURN", Return, kNoDefault},
    {"HALT", Halt, kNoDefault},
    {"LEVELRESTART", LevelRestart, kNoDefault},
    {"LEVELFINISH", LevelFinish, kNoDefault},
    {"MESSAGE", Message, kBufferDefault},
    {"GOTO", Goto, kBufferDefault},
    {"IFRETURNTRUE", If<SuccessBitSet>, kNoDefault},
    {"IFNOTRETURNTRUE", IfNot<SuccessBitSet>, kNoDefault},
    {"EXECUTECOMPLEXMACRO", ExecuteComplexMacro, kBufferDefault},
    {"IFEXECUTECOMPLEXMACRO", If<ComplexMacroSucceeds>, kBufferDefault},
    {"IFNOTEXECUTECOMPLEXMACRO", IfNot<ComplexMacroSucceeds>, kBufferDefault},
};

}  // namespace

std::span<const ComplexCommand> ControlCommands() { return kRows; }
