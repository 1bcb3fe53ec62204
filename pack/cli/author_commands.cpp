// from-diff and from-trees: packages made from a change. They read their
// own arguments (author_client.cpp); here they join the command line.
#include "pack/cli/author_client.h"
#include "pack/cli/commands.h"

void AddFromDiffCommand(PackCommandLine* command_line) {
  command_line->AddOwnParsing(
      {.name = "from-diff",
       .synopsis = "[-p N] [--tree DIR] [--markers STYLE] [-o OUT] [DIFF]",
       .summary = "the package that applies a unified diff to DIR and "
                  "reverses it",
       .description = std::string(kFromDiffHelp)},
      [](const std::vector<std::string>& args, const PackStreams& streams) {
        return RunFromDiff(args, streams.out, streams.err);
      });
}

void AddFromTreesCommand(PackCommandLine* command_line) {
  command_line->AddOwnParsing(
      {.name = "from-trees",
       .synopsis = "OLD NEW [--markers STYLE] [-o OUT]",
       .summary = "the package that turns the tree OLD into NEW",
       .description = std::string(kFromTreesHelp)},
      [](const std::vector<std::string>& args, const PackStreams& streams) {
        return RunFromTrees(args, streams.out, streams.err);
      });
}
