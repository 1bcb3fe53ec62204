// Runs external tools as child processes, one at a time, and always waits
// for them. Arguments go to the tool as they are (no shell). Captured
// standard output comes back byte for byte; nothing here prints, and no
// descriptor of a run outlives it.
#ifndef QRL_SERVICES_EXTERNAL_TOOL_H_
#define QRL_SERVICES_EXTERNAL_TOOL_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "services/line_list.h"

struct ExternalToolRequest {
  std::string executable;
  LineList parameters;            // one argument each, after the executable
  std::string running_directory;  // empty: the program's own directory
  LineList environment;           // NAME=VALUE; empty: inherit the program's
  // True: standard output is captured, standard input reads /dev/null and
  // standard error is discarded. False: the tool shares the program's
  // standard streams.
  bool capture_output = false;
  // The most output that is captured: a tool that writes more is killed
  // (SIGKILL), and the result says that its output was cut.
  uint64_t output_limit = UINT64_MAX;
};

struct ExternalToolResult {
  bool started = false;     // false: not found, or no child could be made
  std::string output;       // every byte written to standard output (capture)
  int wait_status = -1;     // the raw wait status; 0 for exit code 0
  bool output_cut = false;  // the tool wrote more than the limit
};

// Runs the tool and waits for it. An executable that is not a file at its
// path (relative to the working directory) and has no "/" in its name is
// looked up in the directories of PATH, in order; the look-up happens
// before the child exists. A running directory that cannot be entered, or
// an executable that cannot be run, ends the child with exit code 127.
// In capture mode the run ends when the tool has ended and its output
// pipe is drained; output that a left-behind background process writes
// later is not waited for.
ExternalToolResult RunExternalTool(const ExternalToolRequest& request);

// Splits a command line into words at blanks (TAB, LF, CR, SPACE) outside
// quoted stretches. A double quote or apostrophe opens a stretch that the
// same character closes; quote characters stay in the word, except that a
// word enclosed in one pair of the same quote loses that pair. A quote that
// is never closed runs to the end of the text. Empty words are dropped.
LineList SplitCommandLine(std::string_view text);

// A copy of every environment variable of the program, in its order.
LineList ProgramEnvironment();

enum class CheckExitStatus { kNo, kYes };

// Runs a whole command line (first word the executable) in the working
// directory with the program's environment, capturing its standard output
// into *output. False when there is no word or the tool cannot be started
// (the output is then empty); otherwise true, or with CheckExitStatus::kYes
// true exactly when the wait status is 0. A command that writes more than
// `output_limit` bytes is killed; *cut (when given) then says so.
bool ExecuteCommandLine(std::string_view command_line, std::string* output,
                        CheckExitStatus check,
                        uint64_t output_limit = UINT64_MAX,
                        bool* cut = nullptr);

#endif  // QRL_SERVICES_EXTERNAL_TOOL_H_
