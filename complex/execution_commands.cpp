// The command conditions: run a command line (no shell) in the working
// directory and wait for it; its standard output becomes the buffer.
#include "complex/command_table.h"
#include "engine/run_limits.h"
#include "services/external_tool.h"

namespace {

// Holds when the command could be started and ran to its end; with
// CheckExitStatus::kYes only when it ended with status 0. A command that
// cannot be started leaves the buffer empty.
// Output that would make the buffer too large ends the run.
template <CheckExitStatus check>
std::optional<bool> CommandRuns(ComplexRun& run,
                                std::string_view command_line) {
  const uint64_t limit = CurrentRunLimits().buffer_bytes;
  bool cut = false;
  const bool holds =
      ExecuteCommandLine(command_line, &run.buffer, check, limit, &cut);
  if (cut) {
    throw RunLimitExceeded("the command's output grew past " +
                           std::to_string(limit) + " bytes");
  }
  return holds;
}

constexpr CheckExitStatus kAnyStatus = CheckExitStatus::kNo;
constexpr CheckExitStatus kStatusZero = CheckExitStatus::kYes;

constexpr ComplexCommand kRows[] = {
    {"IFEXECUTECOMMAND", If<CommandRuns<kAnyStatus>>, kBufferDefault},
    {"IFNOTEXECUTECOMMAND", IfNot<CommandRuns<kAnyStatus>>, kBufferDefault},
    {"IFEXECUTECOMMAND+", If<CommandRuns<kStatusZero>>, kBufferDefault},
    {"IFNOTEXECUTECOMMAND+", IfNot<CommandRuns<kStatusZero>>, kBufferDefault},
};

}  // namespace

std::span<const ComplexCommand> ExecutionCommands() { return kRows; }
