// The qrlpack program: its commands on the command line. "build" turns a
// JSON description into a package and "dump" a package into one;
// "from-diff" and "from-trees" make packages from a change, "plan" tells
// what a package will do to a tree, "rebase" carries it to a new release.
#ifndef QRL_PACK_CLI_PACK_CLIENT_H_
#define QRL_PACK_CLI_PACK_CLIENT_H_

#include <ostream>
#include <string>
#include <vector>

#include "pack/cli/command_line.h"

// Runs qrlpack on `args` (args[0] is the program path) and returns the
// exit code. Results go to `out` (dump without -o, help, version); every
// fault is one "qrlpack: ..." line on `err`.
int RunQrlpack(const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err);

#endif  // QRL_PACK_CLI_PACK_CLIENT_H_
