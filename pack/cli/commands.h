// The commands of qrlpack. Each adds itself to the command line with its
// name, help, arguments and what it runs; a new command is one function
// here, its own file, and one row in RunQrlpack's list.
#ifndef QRL_PACK_CLI_COMMANDS_H_
#define QRL_PACK_CLI_COMMANDS_H_

#include "pack/cli/command_line.h"

// build DESC.json -o PKG.qrl
void AddBuildCommand(PackCommandLine* command_line);
// dump PKG.qrl [-o DESC.json]
void AddDumpCommand(PackCommandLine* command_line);
// from-diff [-p N] [--tree DIR] [--markers STYLE] [-o OUT] [DIFF]
void AddFromDiffCommand(PackCommandLine* command_line);
// from-trees OLD NEW [--markers STYLE] [-o OUT]
void AddFromTreesCommand(PackCommandLine* command_line);
// plan PACKAGE ACTION [MACRO{NAME}=VALUE | SYMBOL...]... [--json] [--diff]
void AddPlanCommand(PackCommandLine* command_line);
// rebase PACKAGE --onto NEW [--base OLD] [-o OUT] [--worktree DIR] [--json]
void AddRebaseCommand(PackCommandLine* command_line);

#endif  // QRL_PACK_CLI_COMMANDS_H_
