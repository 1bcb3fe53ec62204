// from-diff and from-trees: packages made from a change. Their helps are
// written by hand; what they run is in author_client.cpp.
#include <memory>

#include "pack/cli/author_client.h"
#include "pack/cli/commands.h"

namespace {

constexpr std::string_view kFromDiffHelp =
    "Usage: qrlpack from-diff [-p N] [--tree DIR] [--markers STYLE] "
    "[-o OUT] [DIFF]\n"
    "\n"
    "Makes the package that does to the tree DIR what \"patch -pN\" does\n"
    "with the unified diff DIFF (diff -ruN, git diff, git format-patch; \"-\"\n"
    "or none reads standard input), and that undoes it again. Its paths\n"
    "stand under the macro {ROOT}:\n"
    "  qrlconsole OUT apply MACRO{ROOT}=/path/to/tree/\n"
    "  qrlconsole OUT reverse MACRO{ROOT}=/path/to/tree/\n"
    "The package is checked on a scratch copy of the files before it is\n"
    "written; what a package cannot carry (binary changes, renames, mode\n"
    "changes, hunks that do not apply to DIR) is refused with the file and\n"
    "the diff line, and nothing is written. The package starts with a root\n"
    "guard that stops apply, reverse and createbackup on a tree it was not\n"
    "made for. A git format-patch series keeps each patch's subject.\n"
    "\n"
    "Options:\n"
    "  -p N, --strip N         strip N leading path components (default 1)\n"
    "  --tree DIR              the tree the diff applies to (default .)\n"
    "  --markers STYLE         frame the new code with comment lines: none\n"
    "                          (default), auto (by file type), c, hash,\n"
    "                          dash, semicolon, xml; never where a comment\n"
    "                          line changes the file's meaning (after a\n"
    "                          line ending in \\, in a here-document, ...):\n"
    "                          such a level stays unframed, with a note\n"
    "  -o, --output OUT        the package file (default: standard output)\n"
    "  -h, --help              show this help\n";

constexpr std::string_view kFromTreesHelp =
    "Usage: qrlpack from-trees OLD NEW [--markers STYLE] [-o OUT]\n"
    "\n"
    "Makes the package that turns the tree OLD into the tree NEW, and back:\n"
    "  qrlconsole OUT apply MACRO{ROOT}=/path/to/OLD/\n"
    "Text files change by their lines; binary files, and files with CR\n"
    "line ends or without a final line end, travel whole. The package is\n"
    "checked on a scratch copy before it is written.\n"
    "\n"
    "Options:\n"
    "  --markers STYLE     as for from-diff: none (default), auto, c, hash,\n"
    "                      dash, semicolon, xml\n"
    "  -o, --output OUT    the package file (default: standard output)\n"
    "  -h, --help          show this help\n";

}  // namespace

void AddFromDiffCommand(PackCommandLine* command_line) {
  auto arguments = std::make_shared<AuthorArguments>();
  command_line
      ->Add(
          {.name = "from-diff",
           .synopsis = "[-p N] [--tree DIR] [--markers STYLE] [-o OUT] [DIFF]",
           .summary = "the package that applies a unified diff to DIR and "
                      "reverses it",

           .help = std::string(kFromDiffHelp)},
          [arguments](const PackStreams& streams) {
            return RunFromDiff(*arguments, streams);
          })
      .Inputs("DIFF", &arguments->files)
      .Value("-p,--strip", "N", &arguments->strip,
             "strip N leading path components")
      .Value("--tree", "DIR", &arguments->tree, "the tree the diff applies to")
      .Value("--markers", "STYLE", &arguments->markers,
             "frame the new code with comment lines")
      .Value("-o,--output", "OUT", &arguments->output, "the package file");
}

void AddFromTreesCommand(PackCommandLine* command_line) {
  auto arguments = std::make_shared<AuthorArguments>();
  command_line
      ->Add({.name = "from-trees",
             .synopsis = "OLD NEW [--markers STYLE] [-o OUT]",
             .summary = "the package that turns the tree OLD into NEW",

             .help = std::string(kFromTreesHelp)},
            [arguments](const PackStreams& streams) {
              return RunFromTrees(*arguments, streams);
            })
      .Inputs("TREES", &arguments->files)
      .Value("--markers", "STYLE", &arguments->markers,
             "frame the new code with comment lines")
      .Value("-o,--output", "OUT", &arguments->output, "the package file");
}
