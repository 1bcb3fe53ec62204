// plan: what a package will do to a tree, before it does it. Its own flags
// stand anywhere; every other argument is qrlconsole's, handed on as given.
#include <memory>

#include "pack/cli/commands.h"
#include "pack/cli/shell_completion.h"
#include "pack/plan/plan.h"

namespace {

// qrlconsole's arguments, and what plan does with them.
struct PlanArguments {
  std::vector<std::string> console_args;
  PlanOptions options;
};

constexpr std::string_view kPlanHelp =
    "Usage: qrlpack plan PACKAGE ACTION [MACRO{NAME}=VALUE | SYMBOL...]... "
    "[--json] [--diff] [--all-levels] [--allow-loose]\n"
    "\n"
    "Runs ACTION (apply or reverse) as qrlconsole would, with the same\n"
    "arguments, on a view of the file system that keeps every change in\n"
    "memory: the tree is never changed and no tool is started. Reports one\n"
    "line per level (applies, already applied, fails, skipped: requirements,\n"
    "not simulated), why a level fails and where the file drifted from it,\n"
    "warnings (a block that matches in several places or only because\n"
    "blanks and letter case do not count, new code that stands already, a\n"
    "macro that nothing defines, a change outside the tree of the root\n"
    "macro), then the lines qrlconsole would print, its exit code and the\n"
    "files it would change, those outside the tree marked. A level that runs\n"
    "a tool or command is assumed to succeed without output; what follows it\n"
    "is then uncertain. A level whose block matches only because blanks and\n"
    "letter case do not count \"applies, rewrites N tree lines\": it would\n"
    "write its own spelling over lines of the tree, so it fails the plan\n"
    "(carry the package with qrlpack rebase).\n"
    "\n"
    "Options:\n"
    "  --json          one JSON document instead (see docs/plan-format.md)\n"
    "  --diff          also a diff of every file that would change, in git's\n"
    "                  form, which patch -p0 applies from the working\n"
    "                  directory\n"
    "  --all-levels    also plan the levels after the one where qrlconsole\n"
    "                  stops, as if the failing levels had changed nothing\n"
    "  --allow-loose   levels that rewrite tree lines do not fail the plan\n"
    "  -h, --help      show this help\n"
    "\n"
    "Exit status: 0 every level would succeed, 1 a level would fail or\n"
    "rewrite tree lines, a change lands outside the tree or the prediction is\n"
    "uncertain, 2 usage error, 3 the package cannot be loaded.\n";

}  // namespace

void AddPlanCommand(PackCommandLine* command_line) {
  auto arguments = std::make_shared<PlanArguments>();
  PlanOptions& options = arguments->options;
  command_line
      ->Add({.name = "plan",
             .synopsis = "PACKAGE ACTION [MACRO{NAME}=VALUE | SYMBOL...]... "
                         "[--json] [--diff] [--all-levels] [--allow-loose]",
             .summary = "what a package will do to a tree, before it does it",

             .help = std::string(kPlanHelp)},
            [arguments](const PackStreams& streams) {
              return RunPlanCommand(arguments->console_args, arguments->options,
                                    streams.out, streams.err);
            })
      .Passthrough(&arguments->console_args)
      .Flag("--json", &options.json, "one JSON document instead")
      .Flag("--diff", &options.diff,
            "also a diff of every file that would change")
      .Flag("--all-levels", &options.all_levels,
            "also plan the levels after the one where qrlconsole stops")
      .Flag("--allow-loose", &options.allow_loose,
            "levels that rewrite tree lines do not fail the plan")
      .Completion(PlanCompletion());
}
