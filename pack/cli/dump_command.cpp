// dump: the JSON description of a package.
#include <memory>
#include <string>

#include "pack/cli/commands.h"
#include "pack/cli/pack_io.h"
#include "pack/json/describe.h"

namespace {

struct DumpArguments {
  std::string input;
  std::string output;  // empty: standard output
};

int Dump(const DumpArguments& arguments, const std::string& data,
         const PackStreams& streams) {
  Json description;
  DecodeError error;
  if (!DescribePackage(data, &description, &error)) {
    return Fail(streams.err,
                arguments.input + ": not a package: " + error.Text());
  }
  const std::string text = description.dump(2) + "\n";
  return Deliver(arguments.output.empty() ? "-" : arguments.output, text,
                 streams.out, streams.err);
}

}  // namespace

void AddDumpCommand(PackCommandLine* command_line) {
  auto arguments = std::make_shared<DumpArguments>();
  command_line
      ->Add({.name = "dump",
             .synopsis = "PKG.qrl [-o DESC.json]",
             .summary = "describe a package (on standard output by default)",
             .description =
                 "Describes the package PKG.qrl as JSON; building the "
                 "description gives\n"
                 "back the package byte for byte. A file that qrlconsole "
                 "would not\n"
                 "accept is refused with the byte offset where it stops "
                 "making sense,\n"
                 "for example\n"
                 "  qrlpack: bad.qrl: not a package: at byte 18: the last "
                 "item is not the trailer ...\n"},
            [arguments](const PackStreams& streams) {
              return RunOnInput(arguments->input, streams,
                                [&](const std::string& data) {
                                  return Dump(*arguments, data, streams);
                                });
            })
      .Input("PKG.qrl", &arguments->input)
      .FileOption("-o,--output", "DESC.json", &arguments->output,
                  "write the description to this file (replaced "
                  "atomically) instead of standard output");
}
