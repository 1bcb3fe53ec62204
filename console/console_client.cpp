#include "console/console_client.h"

#include <exception>
#include <new>
#include <optional>

#include "complex/program_level.h"
#include "console/actions.h"
#include "console/progress_line.h"
#include "engine/run_context.h"
#include "package/package.h"
#include "services/diagnostics.h"
#include "services/failure.h"
#include "services/string_utils.h"

namespace {

constexpr std::string_view kParameterFileError =
    "An error occured trying to load a text file filled with parameters.";

// Standard error, which a progress line may share: the line is wiped
// before anything else is written there.
struct ErrorStream {
  std::ostream& err;
  ProgressLine* progress = nullptr;
};

void ReportFailure(ErrorStream& err, std::string_view text) {
  if (err.progress != nullptr) {
    err.progress->Wipe();
  }
  err.err << "qrlconsole: " << EscapeForTerminal(text) << '\n';
}

// Runs one action; a failure raised out of it ends the action, keeps the
// lines collected so far, and is named on standard error.
void RunAction(const ConsoleAction& action, ConsoleRun* run, ErrorStream& err) {
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
void Run(ConsoleRun* run, ErrorStream& err) {
  if (run->arguments.Count() == 2) {
    const std::string argument = run->arguments.Get(1);
    switch (ClassifyLoneArgument(argument)) {
      case LoneArgument::kHelp:
      case LoneArgument::kVersion:  // answered before the banner
        AppendUsage(&run->output);
        return;
      case LoneArgument::kPackage:
        ReportFailure(err, "an action is missing: '" + argument +
                               "' is a package, not a parameter file");
        AppendUsage(&run->output);
        run->usage_error = true;
        return;
      case LoneArgument::kParameterFile:
        if (std::string why;
            !ReadParameterFile(argument, &run->arguments, &why)) {
          ReportFailure(
              err, "cannot read parameter file '" + argument + "': " + why);
          run->status = kFailureStatus;
          run->output.Add(std::string(kParameterFileError));
          return;
        }
        break;
    }
  }
  if (run->arguments.Count() < 3) {
    AppendUsage(&run->output);
    return;
  }
  run->package_file_name = run->arguments.Get(1);
  const std::string keyword = UpperCase(run->arguments.Get(2));
  const ConsoleAction* action = FindConsoleAction(keyword);
  if (action == nullptr) {
    // A mistyped action must not pass for a run that had nothing to do.
    ReportFailure(err, "unknown action '" + run->arguments.Get(2) + "'");
    AppendUsage(&run->output);
    run->usage_error = true;
    return;
  }
  if (keyword == kRestoreBackupAction) {
    // A backup file is not a package: nothing is loaded, nothing merged.
    RunAction(*action, run, err);
    return;
  }
  std::string load_error;
  if (!LoadPackage(run->package_file_name, &run->package, &run->settings,
                   &load_error)) {
    ReportFailure(err, LoadFailureMessage(run->package_file_name, load_error));
    run->status = kFailureStatus;
    return;
  }
  MergeCommandLine(run->arguments, &run->macros, &run->settings);
  RunAction(*action, run, err);
}

}  // namespace

int RunConsole(const std::vector<std::string>& args, std::ostream& out,
               std::ostream& error_stream, int progress_fd) {
  if (args.size() == 2 &&
      ClassifyLoneArgument(args[1]) == LoneArgument::kVersion) {
    out << VersionLine() << '\n';
    out.flush();
    return 0;
  }
  // The banner goes out at once: a tool run without output capture writes
  // to the same standard output later.
  out << kBanner << '\n';
  out.flush();

  // A long run on a terminal shows how far it has come.
  std::optional<ProgressLine> progress;
  if (progress_fd >= 0) {
    progress.emplace(progress_fd);
  }
  ErrorStream err{error_stream, progress ? &*progress : nullptr};

  ConsoleRun run;
  for (const std::string& arg : args) {
    run.arguments.Add(arg);
  }
  if (run.arguments.Empty()) {
    run.arguments.Add("qrlconsole");
  }
  {
    RunContext context;
    // What the engine and the services have to say beyond the report lines
    // goes to standard error as it comes.
    context.diagnostics = [&err](std::string_view line) {
      ReportFailure(err, line);
    };
    context.observer = progress ? &*progress : nullptr;
    // The drivers run Complex levels in the interpreter.
    context.complex_levels = RunProgramLevel;
    const ScopedRun in_force(context);
    Run(&run, err);
  }
  progress.reset();  // wiped before the report lines come

  for (const std::string& line : run.output) {
    out << line << '\n';
  }
  out.flush();
  if (run.usage_error) {
    return kUsageExitCode;
  }
  return run.status < kFailureStatus ? 0 : run.status;
}
