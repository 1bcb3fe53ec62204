// Runs arbitrary programs of the macro language (one line per input line)
// against a small scratch tree, with macros, symbols and two levels to work
// on. Any crash, sanitizer report, hang or oversized allocation is a
// finding; so is a run that goes past the fuzzer's small run limits in any
// other way than by raising RunLimitExceeded.
//
// A program may name any path and any command, so it runs confined
// (fuzz/sandbox.h): beneath the scratch directory only (and beneath the
// artifact directory, so that libFuzzer can save a crashing input from
// that thread), executing nothing, so no command ever runs. Without
// Landlock the fuzzer refuses to start (exit code 77). The main thread,
// which libFuzzer drives, rebuilds the scratch tree before every input.
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "complex/complex_interpreter.h"
#include "fastmemlist/fastmemlist.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/sandbox.h"
#include "services/failure.h"
#include "services/file_services.h"
#include "services/line_list.h"

namespace {

// The tree every program starts from.
void BuildScratchTree(const std::string& scratch) {
  Check(!DirectoryExists(scratch) || DeleteDirectoryTree(scratch));
  Check(MakeDirectoryPath(scratch + "/dir/sub") &&
        MakeDirectoryPath(scratch + "/empty"));
  Check(StringToFile(scratch + "/a.txt", "alpha\nbeta\n") &&
        StringToFile(scratch + "/dir/b.txt", "b") &&
        StringToFile(scratch + "/dir/sub/c.log", "c\r\nd"));
}

// One program run, in the confined thread.
void RunProgram(std::string_view text) {
  LineList lines;
  lines.SetText(text);
  TFASTMEMLIST program;
  program.AddStrings(lines);
  TFASTMEMLIST macros;
  for (const char* item : {"{A}", "MESSAGE from A", "{B}", "RETURN FALSE",
                           "{EMPTY}", "", "{PATH}", "dir/"}) {
    macros.Add(item);
  }
  LineList symbols = {"+S", "*F", "ACTION_APPLY"};
  TFASTMEMLIST levels;
  levels.Add("level one");
  levels.Add("level two");
  LineList output;
  uint8_t run_flags = 1;
  try {
    RunComplex(program, &levels, &symbols, &macros, &output, &run_flags);
  } catch (const Failure&) {
    // A bound reached, or a working directory that cannot be entered: the
    // ways a run may end early.
  }
}

Sandbox* sandbox = nullptr;
std::string scratch_directory;  // where programs run, inside the sandbox

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  sandbox = StartSandbox("program", *argc, *argv, RunProgram);
  scratch_directory = sandbox->base + "/scratch";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  BuildScratchTree(scratch_directory);
  Check(::chdir(scratch_directory.c_str()) == 0);
  sandbox->runner.Give(
      std::string_view(reinterpret_cast<const char*>(data), size));
  Check(::chdir(sandbox->home.c_str()) == 0);
  return 0;
}
