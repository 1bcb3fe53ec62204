#include "pack/cli/author_client.h"

#include <unistd.h>

#include <charconv>
#include <iostream>
#include <new>

#include "pack/author/from_diff.h"
#include "pack/author/from_trees.h"
#include "pack/cli/pack_io.h"
#include "services/diagnostics.h"
#include "services/file_services.h"

namespace {

constexpr std::string_view kFromDiff = "from-diff";
constexpr std::string_view kFromTrees = "from-trees";

int Refuse(std::ostream& err, const std::vector<std::string>& errors) {
  for (const std::string& error : errors) {
    Fail(err, error);
  }
  return Fail(err, "no package written");
}

// What the package does otherwise than asked, though it is written.
void Note(std::ostream& err, const std::vector<std::string>& notes) {
  for (const std::string& note : notes) {
    Fail(err, "note: " + note);
  }
}

// Writes the package to `output`; never to a terminal, where its bytes
// would mean nothing.
int DeliverPackage(const std::string& output, const std::string& package,
                   const PackStreams& streams) {
  if (output == "-" && &streams.out == &std::cout && ::isatty(STDOUT_FILENO)) {
    streams.err
        << "qrlpack: will not write a package to a terminal; use -o OUT\n";
    return kPackExitUsage;
  }
  std::string why;
  if (!WriteOutput(output, package, streams.out, &why)) {
    return Refuse(streams.err, {output == "-" ? why : output + ": " + why});
  }
  return kPackExitOk;
}

bool ParseMarkers(const AuthorArguments& arguments, MarkerStyle* markers,
                  std::string* err) {
  if (ParseMarkerStyle(arguments.markers, markers)) {
    return true;
  }
  *err = "unknown marker style '" + arguments.markers +
         "'; expected none, auto, c, hash, dash, semicolon or xml";
  return false;
}

// Runs `make`, which fills the package or the errors, and writes what it
// made.
template <typename Make>
int MakeAndDeliver(const std::string& output, const PackStreams& streams,
                   Make make) {
  try {
    std::string package;
    std::vector<std::string> errors;
    std::vector<std::string> notes;
    if (!make(&package, &errors, &notes)) {
      return Refuse(streams.err, errors);
    }
    Note(streams.err, notes);
    return DeliverPackage(output, package, streams);
  } catch (const std::bad_alloc&) {
    return Refuse(streams.err, {"out of memory"});
  }
}

}  // namespace

int RunFromDiff(const AuthorArguments& arguments, const PackStreams& streams) {
  const std::string command(kFromDiff);
  FromDiffOptions options;
  options.tree = arguments.tree;
  const std::string& strip = arguments.strip;
  const auto [end, error] =
      std::from_chars(strip.data(), strip.data() + strip.size(), options.strip);
  if (error != std::errc() || end != strip.data() + strip.size() ||
      options.strip < 0) {
    return CommandUsageError(streams, command,
                             "-p takes a number of path components");
  }
  std::string why;
  if (!ParseMarkers(arguments, &options.markers, &why)) {
    return CommandUsageError(streams, command, why);
  }
  if (arguments.files.size() > 1) {
    return CommandUsageError(
        streams, command, "unexpected argument '" + arguments.files[1] + "'");
  }
  const std::string input = arguments.files.empty() ? "-" : arguments.files[0];
  if (!DirectoryExists(options.tree)) {
    return Refuse(streams.err, {options.tree + ": not a directory"});
  }
  return MakeAndDeliver(
      arguments.output, streams,
      [&](std::string* package, std::vector<std::string>* errors,
          std::vector<std::string>* notes) {
        std::string diff;
        if (!ReadInput(input, &diff, &why)) {
          errors->push_back((input == "-" ? "standard input" : input) + ": " +
                            why);
          return false;
        }
        return PackageFromDiff(diff, options, package, errors, notes);
      });
}

int RunFromTrees(const AuthorArguments& arguments, const PackStreams& streams) {
  const std::string command(kFromTrees);
  MarkerStyle markers = MarkerStyle::kNone;
  std::string why;
  if (!ParseMarkers(arguments, &markers, &why)) {
    return CommandUsageError(streams, command, why);
  }
  if (arguments.files.size() != 2) {
    return CommandUsageError(streams, command,
                             "expected the two trees OLD and NEW");
  }
  for (const std::string& tree : arguments.files) {
    if (!DirectoryExists(tree)) {
      return Refuse(streams.err, {tree + ": not a directory"});
    }
  }
  return MakeAndDeliver(
      arguments.output, streams,
      [&](std::string* package, std::vector<std::string>* errors,
          std::vector<std::string>* notes) {
        return PackageFromTrees(arguments.files[0], arguments.files[1], markers,
                                package, errors, notes);
      });
}
