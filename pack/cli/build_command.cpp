// build: the package that a JSON description describes.
#include <memory>
#include <string>

#include "pack/cli/commands.h"
#include "pack/cli/pack_io.h"
#include "pack/json/assemble.h"

namespace {

struct BuildArguments {
  std::string input;
  std::string output;
};

int Build(const BuildArguments& arguments, const std::string& text,
          const PackStreams& streams) {
  Json description;
  try {
    description = Json::parse(text);
  } catch (const Json::parse_error& error) {
    return Fail(streams.err, arguments.input + ": " + ParseErrorText(error));
  }
  std::string package;
  std::string why;
  if (!AssemblePackage(description, &package, &why)) {
    return Fail(streams.err, arguments.input + ": " + why);
  }
  return Deliver(arguments.output, package, streams.out, streams.err);
}

}  // namespace

void AddBuildCommand(PackCommandLine* command_line) {
  auto arguments = std::make_shared<BuildArguments>();
  command_line
      ->Add({.name = "build",
             .synopsis = "DESC.json -o PKG.qrl",
             .summary = "build the package that DESC.json describes",
             .description =
                 "Builds the package that the JSON description DESC.json "
                 "describes and\n"
                 "writes it to PKG.qrl, which is replaced atomically. An "
                 "invalid\n"
                 "description writes nothing; the message names the first "
                 "invalid\n"
                 "element by its place in the description, for example\n"
                 "  qrlpack: desc.json: levels[3].entries[0].path: expected "
                 "a string\n"},
            [arguments](const PackStreams& streams) {
              return RunOnInput(arguments->input, streams,
                                [&](const std::string& text) {
                                  return Build(*arguments, text, streams);
                                });
            })
      .Input("DESC.json", &arguments->input)
      .FileOption("-o,--output", "PKG.qrl", &arguments->output,
                  "the package file to write", Required::kYes);
}
