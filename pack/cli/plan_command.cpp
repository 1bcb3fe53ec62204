// plan: what a package will do to a tree, before it does it. It reads its
// own arguments: after the package and the action they are qrlconsole's.
#include "pack/cli/commands.h"
#include "pack/cli/shell_completion.h"
#include "pack/plan/plan.h"

namespace {

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
  command_line->AddOwnParsing(
      {.name = "plan",
       .synopsis = "PACKAGE ACTION [MACRO{NAME}=VALUE | SYMBOL...]... "
                   "[--json] [--diff] [--all-levels] [--allow-loose]",
       .summary = "what a package will do to a tree, before it does it",
       .description = std::string(kPlanHelp)},
      [](const std::vector<std::string>& args, const PackStreams& streams) {
        for (size_t i = 2; i < args.size(); ++i) {
          if (args[i] == "-h" || args[i] == "--help") {
            streams.out << kPlanHelp;
            return kPackExitOk;
          }
        }
        return RunPlanCommand(
            std::vector<std::string>(args.begin() + 2, args.end()), streams.out,
            streams.err);
      },
      PlanCompletion());
}
