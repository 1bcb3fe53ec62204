// What the qrlpack commands that make a package from a change do once
// their arguments are parsed: "from-diff" (a unified diff and the tree it
// applies to) and "from-trees" (the tree before and the tree after). Each
// checks the values it takes, hands the work to PackageFromDiff or
// PackageFromTrees and writes the package with pack_io's helpers.
#ifndef QRL_PACK_CLI_AUTHOR_CLIENT_H_
#define QRL_PACK_CLI_AUTHOR_CLIENT_H_

#include <string>
#include <vector>

#include "pack/cli/command_line.h"

// The arguments of both commands, as given; from-trees has no tree or
// strip.
struct AuthorArguments {
  std::vector<std::string> files;
  std::string output = "-";
  std::string tree = ".";
  std::string strip = "1";
  std::string markers = "none";
};

// Return the exit code: kPackExitOk written, kPackExitInvalid refused (one
// "qrlpack: ..." line per problem on streams.err), kPackExitUsage for a
// value they do not take. The package goes to the -o file, else to
// streams.out (never to a terminal).
int RunFromDiff(const AuthorArguments& arguments, const PackStreams& streams);
int RunFromTrees(const AuthorArguments& arguments, const PackStreams& streams);

#endif  // QRL_PACK_CLI_AUTHOR_CLIENT_H_
