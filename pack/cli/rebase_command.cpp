// rebase: carries a package to another release of the tree.
#include <memory>
#include <string>

#include "pack/cli/commands.h"
#include "pack/rebase/rebase.h"
#include "pack/rebase/rebase_report.h"
#include "services/diagnostics.h"

namespace {

struct RebaseArguments {
  RebaseOptions options;
  bool json = false;
};

int RunRebase(const RebaseArguments& arguments, const PackStreams& streams) {
  RebaseOutcome outcome;
  std::string why;
  const int code = Rebase(arguments.options, &outcome, &why);
  if (code == kRebaseUnreadable) {
    streams.err << "qrlpack: " << EscapeForTerminal(why) << '\n';
    if (outcome.levels.empty()) {
      return code;
    }
  }
  if (arguments.json) {
    WriteRebaseJson(arguments.options, outcome, code, streams.out);
  } else {
    WriteRebaseText(arguments.options, outcome, code, streams.out);
  }
  return code;
}

}  // namespace

void AddRebaseCommand(PackCommandLine* command_line) {
  auto arguments = std::make_shared<RebaseArguments>();
  RebaseOptions& options = arguments->options;
  command_line
      ->Add(
          {.name = "rebase",
           .synopsis = "PACKAGE --onto NEW [--base OLD] [-o OUT] "
                       "[--worktree DIR] [--json]",
           .summary = "carry a package to another release of the tree",
           .description =
               "Carries PACKAGE, whose paths stand under {ROOT} as from-diff "
               "and\n"
               "from-trees make them, to the release NEW of the tree. Each "
               "level is\n"
               "decided in run order on a copy of NEW in memory (NEW is never "
               "written):\n"
               "  unchanged               it applies as it is\n"
               "  re-anchored             its lines are there, its context "
               "moved or\n"
               "                          changed: rewritten with NEW's lines\n"
               "  merged                  NEW changed lines inside its block; "
               "merged\n"
               "  already in the release  NEW has its change: dropped\n"
               "  conflict                no place, or no merge, without a "
               "guess\n"
               "  kept, not analysed      not a Normal level, a whole file or "
               "the root\n"
               "                          guard: kept as it is\n"
               "With no conflict, OUT is written once the package, applied to "
               "NEW and\n"
               "reversed, gives NEW back byte for byte. With one, nothing is "
               "written;\n"
               "--worktree DIR then shows NEW with the carried levels and each "
               "conflict\n"
               "marked (<<<<<<< package, ||||||| base, =======, >>>>>>> NEW): "
               "edit the\n"
               "marked files and run qrlpack from-trees NEW DIR -o OUT.\n"
               "\n"
               "Exit status: 0 every level carried (OUT written), 1 "
               "conflicts, 2 usage\n"
               "error, 3 the package or a tree cannot be read, or OUT or DIR "
               "written.\n"},
          [arguments](const PackStreams& streams) {
            return RunRebase(*arguments, streams);
          })
      .Input("PACKAGE", &options.package)
      .FileOption("--onto", "NEW", &options.onto,
                  "the release to carry the package to", Required::kYes)
      .FileOption("--base", "OLD", &options.base,
                  "the release the package was made for: blocks are found "
                  "through its diff with NEW")
      .FileOption("-o,--output", "OUT", &options.output,
                  "the carried package, written when every level carries")
      .FileOption("--worktree", "DIR", &options.worktree,
                  "a new directory that gets NEW with the carried levels and "
                  "the conflicts marked")
      .Flag("--json", &arguments->json,
            "the report as one JSON document (see docs/rebase-format.md)");
}
