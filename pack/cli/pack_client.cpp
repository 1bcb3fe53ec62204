#include "pack/cli/pack_client.h"

#include "pack/cli/commands.h"
#include "pack/cli/shell_completion.h"

namespace {

// Every command, in the order of the help.
constexpr void (*kCommands[])(PackCommandLine*) = {
    AddBuildCommand,     AddDumpCommand, AddFromDiffCommand,
    AddFromTreesCommand, AddPlanCommand, AddRebaseCommand,
};

constexpr std::string_view kDescription =
    "Builds quorl packages from JSON descriptions, describes packages as "
    "JSON, makes packages from diffs and edited trees, tells what a "
    "package will do to a tree before it does it, and carries a package to "
    "a new release of the tree.";

constexpr std::string_view kFooter =
    "The file name \"-\" stands for standard input or standard output.\n"
    "The description format: docs/package-format.md.\n"
    "Exit status: 0 done, 1 invalid input or a file that cannot be read or\n"
    "written, 2 usage error.\n";

}  // namespace

int RunQrlpack(const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err) {
  if (args.size() > 1 && args[1] == kCompleteMacrosCommand) {
    return RunCompleteMacros(args, out);
  }
  PackCommandLine command_line(QRL_VERSION, std::string(kDescription),
                               std::string(kFooter));
  for (const auto add : kCommands) {
    add(&command_line);
  }
  command_line.AddCompletion(ConsoleCompletion());
  return command_line.Run(args, {out, err});
}
