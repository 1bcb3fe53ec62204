// The qrlpack commands that make a package from a change: "from-diff" (a
// unified diff and the tree it applies to) and "from-trees" (the tree
// before and the tree after). Each parses its arguments and hands the work
// to PackageFromDiff or PackageFromTrees.
#ifndef QRL_PACK_CLI_AUTHOR_CLIENT_H_
#define QRL_PACK_CLI_AUTHOR_CLIENT_H_

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

extern const std::string_view kFromDiffHelp;
extern const std::string_view kFromTreesHelp;

// args[0] is the program, args[1] the command name. Returns the exit code:
// 0 written, 1 refused (one "qrlpack: ..." line per problem on `err`), 2
// usage. The package goes to the -o file, else to `out`.
int RunFromDiff(const std::vector<std::string>& args, std::ostream& out,
                std::ostream& err);
int RunFromTrees(const std::vector<std::string>& args, std::ostream& out,
                 std::ostream& err);

#endif  // QRL_PACK_CLI_AUTHOR_CLIENT_H_
