#include "console/console_client.h"

#include <exception>
#include <new>

#include "console/actions.h"
#include "package/package.h"
#include "services/diagnostics.h"
#include "services/failure.h"
#include "services/string_utils.h"

namespace {

constexpr std::string_view kParameterFileError =
    "An error occured trying to load a text file filled with parameters.";

void ReportFailure(std::ostream& err, std::string_view text) {
  err << "qrlconsole: " << EscapeForTerminal(text) << '\n';
}

// Runs one action; a failure raised out of it ends the action, keeps the
// lines collected so far, and is named on standard error.
void RunAction(const ConsoleAction& action, ConsoleRun* run,
               std::ostream& err) {
  try {
    action.run(run);
  } catch (const Failure& failure) {
    ReportFailure(err, std::string(action.keyword) + ": " + failure.what());
    run->status = kFailureStatus;
  } catch (const std::bad_alloc&) {
    ReportFailure(err, std::string(action.keyword) + ": out of memory");
    run->status = kFailureStatus;
  }
}

// Collects arguments, loads the package and runs the action; the caller
// prints what ends up in run->output.
void Run(ConsoleRun* run, std::ostream& err) {
  std::string why;
  if (run->arguments.Count() == 2 &&
      !ReadParameterFile(run->arguments.Get(1), &run->arguments, &why)) {
    ReportFailure(err, "cannot read parameter file '" + run->arguments.Get(1) +
                           "': " + why);
    run->status = kFailureStatus;
    run->output.Add(std::string(kParameterFileError));
    return;
  }
  if (run->arguments.Count() < 3) {
    AppendUsage(&run->output);
    return;
  }
  run->package_file_name = run->arguments.Get(1);
  const std::string keyword = UpperCase(run->arguments.Get(2));
  const ConsoleAction* action = FindConsoleAction(keyword);
  if (keyword == kRestoreBackupAction) {
    // A backup file is not a package: nothing is loaded, nothing merged.
    RunAction(*action, run, err);
    return;
  }
  std::string load_error;
  if (!LoadPackage(run->package_file_name, &run->package, &run->settings,
                   &load_error)) {
    ReportFailure(err, "cannot load package '" + run->package_file_name +
                           "': " + load_error);
    run->status = kFailureStatus;
    return;
  }
  MergeCommandLine(run->arguments, &run->macros, &run->settings);
  if (action != nullptr) {
    RunAction(*action, run, err);
  }
}

}  // namespace

int RunConsole(const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err) {
  // The banner goes out at once: a tool run without output capture writes
  // to the same standard output later.
  out << kBanner << '\n';
  out.flush();

  // What the engine and the services have to say beyond the report lines
  // goes to standard error as it comes.
  ScopedDiagnosticSink diagnostics(
      [&err](std::string_view line) { ReportFailure(err, line); });

  ConsoleRun run;
  for (const std::string& arg : args) {
    run.arguments.Add(arg);
  }
  if (run.arguments.Empty()) {
    run.arguments.Add("qrlconsole");
  }
  Run(&run, err);

  for (const std::string& line : run.output) {
    out << line << '\n';
  }
  out.flush();
  return run.status < kFailureStatus ? 0 : run.status;
}
