// The command conditions: run a command line (no shell) in the working
// directory and wait for it; its standard output becomes the buffer.
#include "complex/command_table.h"
#include "services/external_tool.h"

namespace {

// Holds when the command could be started and ran to its end; with
// CheckExitStatus::kYes only when it ended with status 0. A command that
// cannot be started leaves the buffer empty.
template <CheckExitStatus check>
std::optional<bool> CommandRuns(ComplexRun& run,
                                std::string_view command_line) {
  return ExecuteCommandLine(command_line, &run.buffer, check);
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
