#include "pack/plan.h"

#include <sstream>
#include <utility>

#include "console/console_client.h"
#include "engine/level_observer.h"
#include "pack/plan_bounds.h"
#include "pack/plan_diff.h"
#include "pack/plan_observer.h"
#include "package/package.h"
#include "services/diagnostics.h"
#include "services/external_tool.h"
#include "services/overlay_file_system.h"
#include "services/posix_file_system.h"
#include "services/string_utils.h"

namespace {

constexpr std::string_view kUsage =
    "usage: qrlpack plan PACKAGE ACTION [MACRO{NAME}=VALUE | SYMBOL...]... "
    "[--json] [--diff]";

std::vector<std::string> SplitOutput(const std::string& text) {
  const std::vector<std::string_view> lines = SplitLinesAtLineFeeds(text);
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

// The macros of qrlconsole's arguments, read as the console reads them.
TFASTMEMLIST CommandLineMacros(const std::vector<std::string>& console_args) {
  LineList arguments;
  for (const std::string& arg : console_args) {
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
    file.after = change.kind == OverlayChange::Kind::kModeChanged &&
                         change.after.empty()
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

}  // namespace

int MakePlan(const std::vector<std::string>& args, Plan* plan,
             std::string* why) {
  if (args.size() < 2) {
    *why = std::string(kUsage);
    return 2;
  }
  const std::string action = UpperCase(args[1]);
  if (action != "APPLY" && action != "REVERSE") {
    *why = "plan: the action must be apply or reverse, not \"" + args[1] +
           "\"\n" + std::string(kUsage);
    return 2;
  }
  plan->action = action == "APPLY" ? "apply" : "reverse";
  TFASTMEMLIST levels;
  TSETTINGSBLOCK settings;
  std::string load_error;
  if (!LoadPackage(args[0], &levels, &settings, &load_error)) {
    *why = "cannot load package '" + args[0] + "': " + load_error;
    return 3;
  }

  // The run: the console's own, on an overlay, with tools never started.
  const std::string cwd = SystemFileSystem().WorkingDirectory();
  std::vector<std::string> console_args = {"qrlconsole"};
  console_args.insert(console_args.end(), args.begin(), args.end());
  OverlayFileSystem overlay(&SystemFileSystem(), cwd);
  PlanBounds bounds(&overlay, CommandLineMacros(console_args));
  PlanObserver observer(&bounds);
  std::ostringstream out;
  std::ostringstream err;
  {
    ScopedFileSystem files(&overlay);
    ScopedLevelObserver watching(&observer);
    ScopedToolRunner tools([&observer](const ExternalToolRequest&) {
      observer.ToolRequested();
      ExternalToolResult result;
      result.started = true;
      result.wait_status = 0;
      return result;
    });
    plan->exit_code = RunConsole(console_args, out, err);
  }
  std::vector<std::string> printed = SplitOutput(out.str());
  if (!printed.empty()) {
    printed.erase(printed.begin());  // the banner
  }
  plan->would_print = std::move(printed);
  plan->would_say = SplitOutput(err.str());
  plan->levels = observer.levels();
  plan->uncertain = observer.uncertain();
  bounds.AddWarnings(&plan->levels);
  plan->outside = bounds.WroteOutside();
  AddChanges(overlay, cwd, bounds, plan);

  bool fails = plan->uncertain || plan->outside || plan->exit_code != 0;
  for (const PlannedLevel& level : plan->levels) {
    fails = fails || level.failure;
  }
  return fails ? 1 : 0;
}

int RunPlanCommand(const std::vector<std::string>& args, std::ostream& out,
                   std::ostream& err) {
  PlanOptions options;
  std::vector<std::string> console_args;
  for (const std::string& arg : args) {
    if (arg == "--json") {
      options.json = true;
    } else if (arg == "--diff") {
      options.diff = true;
    } else {
      console_args.push_back(arg);
    }
  }
  Plan plan;
  std::string why;
  int code = MakePlan(console_args, &plan, &why);
  if (code >= 2) {
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
      code = 1;
    }
  }
  if (options.json) {
    WritePlanJson(plan, options, out);
  } else {
    WritePlanText(plan, options, out);
  }
  return code;
}
