// The console client: collects the arguments (or reads them from a
// parameter file), loads the package, merges the command-line macros and
// symbols into its settings, runs one action and prints the collected
// report lines. It owns every long-lived object of a run; the actions only
// append to its output list.
#ifndef QRL_CONSOLE_CONSOLE_CLIENT_H_
#define QRL_CONSOLE_CONSOLE_CLIENT_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "fastmemlist/fastmemlist.h"
#include "package/settings_block.h"
#include "services/line_list.h"

inline constexpr std::string_view kBanner =
    "QUORLING CONTROL SYSTEM 20230101 (CUSTOM CONSOLE CLIENT RELEASED FOR "
    "PRESENTATION PURPOSES)";

// The date of the banner, which --version shows after the version.
inline constexpr std::string_view kBannerDate = "20230101";
static_assert(kBanner.find(kBannerDate) != std::string_view::npos);

// The status, and exit code, of a run that failed: a script that goes on
// only after success must not go on.
inline constexpr uint8_t kFailureStatus = 3;

// The exit code of a command line that lacks its action.
inline constexpr int kUsageExitCode = 2;

// Everything one run owns, handed to the action by reference.
struct ConsoleRun {
  LineList arguments;    // 0 program path, 1 file, 2 action, 3.. the rest
  LineList output;       // report lines, printed at the end
  TFASTMEMLIST package;  // the level records, once the package is loaded
  TFASTMEMLIST macros;   // command-line macros: name, value, name, ...
  TSETTINGSBLOCK settings;
  std::string package_file_name;
  uint8_t status = 0;
  bool usage_error = false;  // exit with kUsageExitCode
};

// Runs the client on `args` (args[0] is the program path) and returns the
// process exit code. Report lines go to `out`; a failure that a script must
// not mistake for success also writes one line to `err`. With a
// `progress_fd` (the terminal that `err` writes to) a long run shows a
// progress line there.
int RunConsole(const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err, int progress_fd = -1);

// What a single argument names. --help, -h and --version count as such
// only when no file has that name; a package is a file whose trailer says
// so; anything else is a parameter file.
enum class LoneArgument { kHelp, kVersion, kPackage, kParameterFile };
LoneArgument ClassifyLoneArgument(const std::string& argument);

// "qrlconsole", the version of the build and the banner date.
std::string VersionLine();

// Why the package file could not be loaded, from the load error: a file
// that is no package at all (not even a damaged one) is named so, with the
// hint that fits what it holds, whatever its name (a JSON description:
// qrlpack build; a unified diff: qrlpack from-diff).
std::string LoadFailureMessage(const std::string& file_name,
                               const std::string& load_error);

// Appends the 25 lines of the usage text.
void AppendUsage(LineList* output);

// Reads the parameter file: its lines, without comment lines (first
// character "#") and blank lines, replace the arguments after index 0. A
// UTF-8 byte-order mark at the start is dropped. False, with the system's
// reason in *err (when given), when the file cannot be read.
bool ReadParameterFile(const std::string& file_name, LineList* arguments,
                       std::string* err = nullptr);
// The same for the text of a parameter file.
void ParseParameterText(std::string_view text, LineList* arguments);

// Merges arguments 3 and up: MACRO<name>=<value> into `macros`,
// SYMBOL<text> onto the settings' symbols; then stores the macro list in
// the settings (replacing the package's own macros).
void MergeCommandLine(const LineList& arguments, TFASTMEMLIST* macros,
                      TSETTINGSBLOCK* settings);

#endif  // QRL_CONSOLE_CONSOLE_CLIENT_H_
