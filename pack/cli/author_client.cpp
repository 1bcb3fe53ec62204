#include "pack/cli/author_client.h"

#include <unistd.h>

#include <charconv>
#include <iostream>
#include <new>

#include "pack/author/from_diff.h"
#include "pack/author/from_trees.h"
#include "pack/cli/pack_client.h"
#include "services/diagnostics.h"
#include "services/file_services.h"
#include "services/handle_io.h"
#include "services/posix_error.h"

const std::string_view kFromDiffHelp =
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

const std::string_view kFromTreesHelp =
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

namespace {

struct AuthorArguments {
  std::vector<std::string> files;
  std::string output = "-";
  std::string tree = ".";
  std::string strip = "1";
  std::string markers = "none";
  bool help = false;
};

// Options take their value as the next argument or after "=".
bool ParseAuthorArguments(const std::vector<std::string>& args,
                          bool diff_options, AuthorArguments* parsed,
                          std::string* err) {
  struct Valued {
    std::string_view short_name;
    std::string_view long_name;
    std::string* value;
    bool diff_only;
  };
  const Valued valued[] = {
      {"-o", "--output", &parsed->output, false},
      {"", "--markers", &parsed->markers, false},
      {"-p", "--strip", &parsed->strip, true},
      {"", "--tree", &parsed->tree, true},
  };
  bool options_done = false;
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_done || arg.size() < 2 || arg[0] != '-') {
      parsed->files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_done = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      parsed->help = true;
      continue;
    }
    bool known = false;
    for (const Valued& option : valued) {
      if (option.diff_only && !diff_options) {
        continue;
      }
      const std::string joined = std::string(option.long_name) + "=";
      if (arg == option.short_name || arg == option.long_name) {
        if (i + 1 == args.size()) {
          *err = "option " + arg + " needs a value";
          return false;
        }
        *option.value = args[++i];
        known = true;
      } else if (arg.starts_with(joined)) {
        *option.value = arg.substr(joined.size());
        known = true;
      } else if (!option.short_name.empty() && arg.size() > 2 &&
                 arg.starts_with(option.short_name)) {
        *option.value = arg.substr(2);  // "-p1", as patch takes it
        known = true;
      }
      if (known) {
        break;
      }
    }
    if (!known) {
      *err = "unknown option '" + arg + "'";
      return false;
    }
  }
  return true;
}

int Usage(std::ostream& err, std::string_view command, const std::string& why) {
  err << "qrlpack: " << command << ": " << EscapeForTerminal(why)
      << "\nTry 'qrlpack " << command << " --help'.\n";
  return kPackExitUsage;
}

int Refuse(std::ostream& err, const std::vector<std::string>& errors) {
  for (const std::string& error : errors) {
    err << "qrlpack: " << EscapeForTerminal(error) << '\n';
  }
  err << "qrlpack: no package written\n";
  return kPackExitInvalid;
}

// What the package does otherwise than asked, though it is written.
void Note(std::ostream& err, const std::vector<std::string>& notes) {
  for (const std::string& note : notes) {
    err << "qrlpack: note: " << EscapeForTerminal(note) << '\n';
  }
}

int Deliver(const std::string& output, const std::string& package,
            std::ostream& out, std::ostream& err) {
  if (output == "-") {
    if (&out == &std::cout && ::isatty(STDOUT_FILENO)) {
      err << "qrlpack: will not write a package to a terminal; use -o OUT\n";
      return kPackExitUsage;
    }
    out.write(package.data(), static_cast<std::streamsize>(package.size()));
    out.flush();
    return out ? kPackExitOk : Refuse(err, {"cannot write to standard output"});
  }
  std::string why;
  if (!StringToFile(output, package, &why)) {
    return Refuse(err, {output + ": " + why});
  }
  return kPackExitOk;
}

template <typename Body>
int Guarded(std::ostream& err, Body body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return Refuse(err, {"out of memory"});
  }
}

}  // namespace

int RunFromDiff(const std::vector<std::string>& args, std::ostream& out,
                std::ostream& err) {
  constexpr std::string_view kCommand = "from-diff";
  AuthorArguments parsed;
  std::string why;
  if (!ParseAuthorArguments(args, true, &parsed, &why)) {
    return Usage(err, kCommand, why);
  }
  if (parsed.help) {
    out << kFromDiffHelp;
    return kPackExitOk;
  }
  FromDiffOptions options;
  options.tree = parsed.tree;
  const auto [end, error] =
      std::from_chars(parsed.strip.data(),
                      parsed.strip.data() + parsed.strip.size(), options.strip);
  if (error != std::errc() ||
      end != parsed.strip.data() + parsed.strip.size() || options.strip < 0) {
    return Usage(err, kCommand, "-p takes a number of path components");
  }
  if (!ParseMarkerStyle(parsed.markers, &options.markers)) {
    return Usage(err, kCommand,
                 "unknown marker style '" + parsed.markers +
                     "'; expected none, auto, c, hash, dash, semicolon or xml");
  }
  if (parsed.files.size() > 1) {
    return Usage(err, kCommand,
                 "unexpected argument '" + parsed.files[1] + "'");
  }
  const std::string input = parsed.files.empty() ? "-" : parsed.files[0];
  if (!DirectoryExists(options.tree)) {
    return Refuse(err, {options.tree + ": not a directory"});
  }
  return Guarded(err, [&] {
    std::string diff;
    if (input == "-") {
      int read_error = 0;
      if (!ReadWholeHandle(0, &diff, &read_error)) {
        return Refuse(err,
                      {PosixError("standard input: cannot read", read_error)});
      }
    } else if (!ReadWholeFile(input, &diff, &why)) {
      return Refuse(err, {input + ": " + why});
    }
    std::string package;
    std::vector<std::string> errors;
    std::vector<std::string> notes;
    if (!PackageFromDiff(diff, options, &package, &errors, &notes)) {
      return Refuse(err, errors);
    }
    Note(err, notes);
    return Deliver(parsed.output, package, out, err);
  });
}

int RunFromTrees(const std::vector<std::string>& args, std::ostream& out,
                 std::ostream& err) {
  constexpr std::string_view kCommand = "from-trees";
  AuthorArguments parsed;
  std::string why;
  if (!ParseAuthorArguments(args, false, &parsed, &why)) {
    return Usage(err, kCommand, why);
  }
  if (parsed.help) {
    out << kFromTreesHelp;
    return kPackExitOk;
  }
  MarkerStyle markers = MarkerStyle::kNone;
  if (!ParseMarkerStyle(parsed.markers, &markers)) {
    return Usage(err, kCommand,
                 "unknown marker style '" + parsed.markers +
                     "'; expected none, auto, c, hash, dash, semicolon or xml");
  }
  if (parsed.files.size() != 2) {
    return Usage(err, kCommand, "expected the two trees OLD and NEW");
  }
  for (const std::string& tree : parsed.files) {
    if (!DirectoryExists(tree)) {
      return Refuse(err, {tree + ": not a directory"});
    }
  }
  return Guarded(err, [&] {
    std::string package;
    std::vector<std::string> errors;
    std::vector<std::string> notes;
    if (!PackageFromTrees(parsed.files[0], parsed.files[1], markers, &package,
                          &errors, &notes)) {
      return Refuse(err, errors);
    }
    Note(err, notes);
    return Deliver(parsed.output, package, out, err);
  });
}
