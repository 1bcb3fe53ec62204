#include "pack/plan/plan.h"

#include <optional>
#include <sstream>
#include <utility>

#include "console/console_client.h"
#include "engine/level_observer.h"
#include "engine/run_context.h"
#include "pack/plan/plan_bounds.h"
#include "pack/plan/plan_diff.h"
#include "pack/plan/plan_observer.h"
#include "package/package.h"
#include "services/diagnostics.h"
#include "services/external_tool.h"
#include "services/file_services.h"
#include "services/line_split.h"
#include "services/overlay_file_system.h"
#include "services/posix_file_system.h"
#include "services/string_utils.h"

namespace {

constexpr std::string_view kUsage =
    "usage: qrlpack plan PACKAGE ACTION [MACRO{NAME}=VALUE | SYMBOL...]... "
    "[--json] [--diff] [--all-levels] [--allow-loose]";

std::vector<std::string> SplitOutput(const std::string& text) {
  const std::vector<std::string_view> lines =
      SplitLines(text, LineEnds::kLfOnly);
  return std::vector<std::string>(lines.begin(), lines.end());
}

// How the report names a changed path: relative to the working directory
// when it lies below it.
std::string ReportedPath(const std::string& path, const std::string& cwd) {
  const std::string prefix = cwd == "/" ? cwd : cwd + "/";
  if (!cwd.empty() && path.compare(0, prefix.size(), prefix) == 0 &&
      path.size() > prefix.size()) {
    return path.substr(prefix.size());
  }
  return path;
}

// The macros of qrlconsole's arguments (after the program's name), read as
// the console reads them.
TFASTMEMLIST CommandLineMacros(const std::vector<std::string>& args) {
  LineList arguments;
  arguments.Add("qrlconsole");
  for (const std::string& arg : args) {
    arguments.Add(arg);
  }
  TFASTMEMLIST macros;
  TSETTINGSBLOCK settings;
  MergeCommandLine(arguments, &macros, &settings);
  return macros;
}

void AddChanges(OverlayFileSystem& overlay, const std::string& cwd,
                const PlanBounds& bounds, Plan* plan) {
  for (const OverlayChange& change : overlay.Changes()) {
    PlannedFile file;
    file.path = ReportedPath(change.path, cwd);
    file.outside = !bounds.Inside(change.path);
    switch (change.kind) {
      case OverlayChange::Kind::kFileModified:
      case OverlayChange::Kind::kModeChanged:
        file.change = PlannedChange::kModify;
        file.had_before = file.has_after = true;
        break;
      case OverlayChange::Kind::kFileCreated:
        file.change = PlannedChange::kCreate;
        file.has_after = true;
        break;
      case OverlayChange::Kind::kFileRemoved:
        file.change = PlannedChange::kDelete;
        file.had_before = true;
        break;
      case OverlayChange::Kind::kDirectoryCreated:
        file.change = PlannedChange::kCreate;
        file.directory = true;
        break;
      case OverlayChange::Kind::kDirectoryRemoved:
        file.change = PlannedChange::kDelete;
        file.directory = true;
        break;
    }
    file.before = change.before;
    file.after =
        change.kind == OverlayChange::Kind::kModeChanged && change.after.empty()
            ? change.before
            : change.after;
    // A mode change alone changes no content; several changes of one
    // path (a link made anew) show as one.
    if (!plan->files.empty() && plan->files.back().path == file.path &&
        !file.directory) {
      PlannedFile& last = plan->files.back();
      last.change = PlannedChange::kModify;
      last.has_after = file.has_after;
      last.after = file.after;
      continue;
    }
    plan->files.push_back(std::move(file));
  }
}

// Runs the console with `args` on an overlay of `lower`, watched by
// `observer`, with tools never started.
int RunWatched(const std::vector<std::string>& args, OverlayFileSystem* overlay,
               PlanObserver* observer, std::ostringstream* out,
               std::ostringstream* err) {
  RunContext context;
  context.files = overlay;
  context.observer = observer;
  context.tools = [observer](const ExternalToolRequest&) {
    observer->ToolRequested();
    ExternalToolResult result;
    result.started = true;
    result.wait_status = 0;
    return result;
  };
  const ScopedRun in_force(context);
  std::vector<std::string> console_args = {"qrlconsole"};
  console_args.insert(console_args.end(), args.begin(), args.end());
  return RunConsole(console_args, *out, *err);
}

// Every level's verdict as if the levels at which the console stops had
// changed nothing: each such level is taken out of the package, which runs
// again from the start; the levels before it run as they did.
std::vector<PlannedLevel> AllLevels(const std::vector<std::string>& args,
                                    const TFASTMEMLIST& levels,
                                    const TSETTINGSBLOCK& settings,
                                    const PlanObserver& first_run,
                                    const std::string& cwd) {
  std::vector<PlannedLevel> planned;
  std::vector<uint64_t> kept;  // the records of the run: original places
  for (uint64_t i = 0; i < levels.Count(); ++i) {
    kept.push_back(i);
  }
  std::optional<PlanObserver> run;
  const PlanObserver* watched = &first_run;
  size_t taken = 0;  // levels of the last run already in `planned`
  const auto take = [&](size_t end) {
    for (size_t i = taken; i < end; ++i) {
      planned.push_back(watched->levels()[i]);
      planned.back().past_stop = watched != &first_run;
    }
  };
  while (watched->stop().has_value()) {
    const PlanObserver::Stop stop = *watched->stop();
    take(stop.level + 1);
    // The next run visits the levels before the stop again, as they were,
    // then goes on past it.
    taken = stop.level;
    kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(stop.record));
    TFASTMEMLIST rest;
    for (const uint64_t record : kept) {
      rest.Add(levels.View(record));
    }
    // The package without the stopping levels, in place of the file.
    OverlayFileSystem package_view(&SystemFileSystem(), cwd);
    {
      RunContext context;
      context.files = &package_view;
      const ScopedRun files(context);
      if (!StringToFile(args[0], PackageToData(rest, settings))) {
        break;
      }
    }
    OverlayFileSystem overlay(&package_view, cwd);
    run.emplace();
    std::ostringstream out;
    std::ostringstream err;
    RunWatched(args, &overlay, &*run, &out, &err);
    watched = &*run;
  }
  take(watched->levels().size());
  return planned;
}

}  // namespace

int MakePlan(const std::vector<std::string>& args, Plan* plan,
             std::string* err) {
  return MakePlan(args, PlanOptions(), plan, err);
}

int MakePlan(const std::vector<std::string>& args, const PlanOptions& options,
             Plan* plan, std::string* err) {
  if (args.size() < 2) {
    *err = std::string(kUsage);
    return kPlanUsage;
  }
  const std::string action = UpperCase(args[1]);
  if (action != "APPLY" && action != "REVERSE") {
    *err = "plan: the action must be apply or reverse, not \"" + args[1] +
           "\"\n" + std::string(kUsage);
    return kPlanUsage;
  }
  plan->action = action == "APPLY" ? "apply" : "reverse";
  TFASTMEMLIST levels;
  TSETTINGSBLOCK settings;
  std::string load_error;
  if (!LoadPackage(args[0], &levels, &settings, &load_error)) {
    *err = LoadFailureMessage(args[0], load_error);
    return kPlanUnloadable;
  }

  // The run: the console's own, on an overlay, with tools never started.
  const std::string cwd = SystemFileSystem().WorkingDirectory();
  OverlayFileSystem overlay(&SystemFileSystem(), cwd);
  PlanBounds bounds(&overlay, CommandLineMacros(args));
  PlanObserver observer(&bounds);
  std::ostringstream out;
  std::ostringstream said;
  plan->exit_code = RunWatched(args, &overlay, &observer, &out, &said);
  std::vector<std::string> printed = SplitOutput(out.str());
  if (!printed.empty()) {
    printed.erase(printed.begin());  // the banner
  }
  plan->would_print = std::move(printed);
  plan->would_say = SplitOutput(said.str());
  plan->levels = observer.levels();
  plan->uncertain = observer.uncertain();
  plan->all_levels = options.all_levels;
  if (options.all_levels) {
    plan->levels = AllLevels(args, levels, settings, observer, cwd);
  }
  // The levels of the run itself stand first, in their places.
  bounds.AddWarnings(&plan->levels);
  plan->outside = bounds.WroteOutside();
  AddChanges(overlay, cwd, bounds, plan);

  bool fails = plan->uncertain || plan->outside || plan->exit_code != 0;
  for (const PlannedLevel& level : plan->levels) {
    fails =
        fails || level.failure || (level.rewrites > 0 && !options.allow_loose);
  }
  return fails ? kPlanFails : kPlanSucceeds;
}

int RunPlanCommand(const std::vector<std::string>& args, PlanOptions options,
                   std::ostream& out, std::ostream& err) {
  Plan plan;
  std::string why;
  int code = MakePlan(args, options, &plan, &why);
  if (code != kPlanSucceeds && code != kPlanFails) {
    err << "qrlpack: " << why << '\n';
    return code;
  }
  if (options.diff) {
    // A diff that patch would take only in part is no diff to offer.
    const std::string refusal = PlanDiffRefusal(plan);
    if (!refusal.empty()) {
      err << "qrlpack: plan: no diff written: " << EscapeForTerminal(refusal)
          << '\n';
      options.diff = false;
      code = kPlanFails;
    }
  }
  if (options.json) {
    WritePlanJson(plan, options, out);
  } else {
    WritePlanText(plan, options, out);
  }
  return code;
}
