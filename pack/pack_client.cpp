#include "pack/pack_client.h"

#include <new>
#include <string_view>

#include "fastmemlist/handle_io.h"
#include "pack/assemble.h"
#include "pack/author_client.h"
#include "pack/describe.h"
#include "services/diagnostics.h"
#include "services/file_services.h"
#include "services/posix_error.h"

namespace {

constexpr std::string_view kGeneralHelp =
    "Usage: qrlpack COMMAND [ARGUMENTS]\n"
    "\n"
    "Builds quorl packages from JSON descriptions, and describes packages "
    "as JSON.\n"
    "\n"
    "Commands:\n"
    "  build DESC.json -o PKG.qrl    build the package that DESC.json "
    "describes\n"
    "  dump PKG.qrl [-o DESC.json]   describe a package (on standard output "
    "by default)\n"
    "  from-diff [-p N] [--tree DIR] [--markers STYLE] [-o OUT] [DIFF]\n"
    "                                the package that applies a unified diff "
    "to DIR\n"
    "                                and reverses it\n"
    "  from-trees OLD NEW [--markers STYLE] [-o OUT]\n"
    "                                the package that turns the tree OLD into "
    "NEW\n"
    "  help [COMMAND]                show this help, or the help of a "
    "command\n"
    "\n"
    "Options:\n"
    "  -h, --help   show this help; after a command, the command's help\n"
    "  --version    show the version\n"
    "\n"
    "The file name \"-\" stands for standard input or standard output.\n"
    "The description format: docs/package-format.md.\n"
    "Exit status: 0 done, 1 invalid input or a file that cannot be read or\n"
    "written, 2 usage error.\n";

constexpr std::string_view kBuildHelp =
    "Usage: qrlpack build DESC.json -o PKG.qrl\n"
    "\n"
    "Builds the package that the JSON description DESC.json describes and\n"
    "writes it to PKG.qrl, which is replaced atomically. An invalid\n"
    "description writes nothing; the message names the first invalid\n"
    "element by its place in the description, for example\n"
    "  qrlpack: desc.json: levels[3].entries[0].path: expected a string\n"
    "\n"
    "Options:\n"
    "  -o, --output PKG.qrl   the package file to write (required)\n"
    "  -h, --help             show this help\n";

constexpr std::string_view kDumpHelp =
    "Usage: qrlpack dump PKG.qrl [-o DESC.json]\n"
    "\n"
    "Describes the package PKG.qrl as JSON; building the description gives\n"
    "back the package byte for byte. A file that qrlconsole would not\n"
    "accept is refused with the byte offset where it stops making sense,\n"
    "for example\n"
    "  qrlpack: bad.qrl: not a package: at byte 18: the last item is not "
    "the trailer ...\n"
    "\n"
    "Options:\n"
    "  -o, --output DESC.json   write the description to this file "
    "(replaced\n"
    "                           atomically) instead of standard output\n"
    "  -h, --help               show this help\n";

// The arguments after the command name.
struct Invocation {
  std::string input;
  std::string output;  // empty when not given
  bool help = false;
};

struct Command {
  std::string_view name;
  std::string_view help;
  bool output_required;
  // Runs on the bytes of the input file.
  int (*run)(const Invocation& invocation, const std::string& input,
             std::ostream& out, std::ostream& err);
};

int Fail(std::ostream& err, const std::string& text) {
  err << "qrlpack: " << EscapeForTerminal(text) << '\n';
  return kPackExitInvalid;
}

bool ReadInput(const std::string& name, std::string* data, std::string* why) {
  if (name != "-") {
    return ReadWholeFile(name, data, why);
  }
  int error = 0;
  if (!ReadWholeHandle(0, data, &error)) {
    *why = PosixError("cannot read", error);
    return false;
  }
  return true;
}

bool WriteOutput(const std::string& name, std::string_view data,
                 std::ostream& out, std::string* why) {
  if (name == "-") {
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.flush();
    if (!out) {
      *why = "cannot write to standard output";
      return false;
    }
    return true;
  }
  return StringToFile(name, data, why);
}

// Writes the result, or names the output file that could not be written.
int Deliver(const std::string& name, std::string_view data, std::ostream& out,
            std::ostream& err) {
  std::string why;
  if (!WriteOutput(name, data, out, &why)) {
    return Fail(err, name + ": " + why);
  }
  return kPackExitOk;
}

// nlohmann's parse message without its "[json.exception...] " prefix.
std::string ParseErrorText(const std::exception& error) {
  const std::string_view text = error.what();
  const size_t end = text.find("] ");
  return std::string(end == std::string_view::npos ? text
                                                   : text.substr(end + 2));
}

int RunBuild(const Invocation& invocation, const std::string& text,
             std::ostream& out, std::ostream& err) {
  Json description;
  try {
    description = Json::parse(text);
  } catch (const Json::parse_error& error) {
    return Fail(err, invocation.input + ": " + ParseErrorText(error));
  }
  std::string package;
  std::string why;
  if (!AssemblePackage(description, &package, &why)) {
    return Fail(err, invocation.input + ": " + why);
  }
  return Deliver(invocation.output, package, out, err);
}

int RunDump(const Invocation& invocation, const std::string& data,
            std::ostream& out, std::ostream& err) {
  Json description;
  DecodeError error;
  if (!DescribePackage(data, &description, &error)) {
    return Fail(err, invocation.input + ": not a package: " + error.Text());
  }
  const std::string text = description.dump(2) + "\n";
  return Deliver(invocation.output.empty() ? "-" : invocation.output, text, out,
                 err);
}

constexpr Command kCommands[] = {
    {"build", kBuildHelp, true, RunBuild},
    {"dump", kDumpHelp, false, RunDump},
};

const Command* FindCommand(std::string_view name) {
  for (const Command& command : kCommands) {
    if (command.name == name) {
      return &command;
    }
  }
  return nullptr;
}

int UsageError(std::ostream& err, const std::string& text,
               std::string_view help_command) {
  err << "qrlpack: " << EscapeForTerminal(text) << "\nTry 'qrlpack "
      << help_command << "--help'.\n";
  return kPackExitUsage;
}

// Options may stand before or after the file name; "--" ends them.
bool ParseArguments(const std::vector<std::string>& args, size_t first,
                    Invocation* invocation, std::string* why) {
  bool options_done = false;
  bool have_input = false;
  for (size_t i = first; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool option = !options_done && arg.size() > 1 && arg[0] == '-';
    if (!option) {
      if (have_input) {
        *why = "unexpected argument '" + arg + "'";
        return false;
      }
      invocation->input = arg;
      have_input = true;
    } else if (arg == "--") {
      options_done = true;
    } else if (arg == "-h" || arg == "--help") {
      invocation->help = true;
    } else if (arg == "-o" || arg == "--output") {
      if (i + 1 == args.size() || args[i + 1].empty()) {
        *why = "option " + arg + " needs a file name";
        return false;
      }
      invocation->output = args[++i];
    } else if (arg.starts_with("--output=") && arg.size() > 9) {
      invocation->output = arg.substr(9);
    } else {
      *why = "unknown option '" + arg + "'";
      return false;
    }
  }
  if (!invocation->help && !have_input) {
    *why = "missing the input file";
    return false;
  }
  return true;
}

int RunCommand(const Command& command, const std::vector<std::string>& args,
               std::ostream& out, std::ostream& err) {
  const std::string help_command = std::string(command.name) + " ";
  Invocation invocation;
  std::string why;
  if (!ParseArguments(args, 2, &invocation, &why)) {
    return UsageError(err, std::string(command.name) + ": " + why,
                      help_command);
  }
  if (invocation.help) {
    out << command.help;
    return kPackExitOk;
  }
  if (command.output_required && invocation.output.empty()) {
    return UsageError(err, std::string(command.name) + ": missing -o OUTPUT",
                      help_command);
  }
  std::string input;
  if (!ReadInput(invocation.input, &input, &why)) {
    return Fail(err, invocation.input + ": " + why);
  }
  try {
    return command.run(invocation, input, out, err);
  } catch (const std::bad_alloc&) {
    return Fail(err, invocation.input + ": out of memory");
  } catch (const Json::exception& error) {
    return Fail(err, invocation.input + ": " + ParseErrorText(error));
  }
}

}  // namespace

int RunQrlpack(const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err) {
  const std::string first = args.size() > 1 ? args[1] : "";
  if (args.size() <= 1) {
    err << kGeneralHelp;
    return kPackExitUsage;
  }
  if (first == "-h" || first == "--help") {
    out << kGeneralHelp;
    return kPackExitOk;
  }
  if (first == "--version") {
    out << "qrlpack " << QRL_VERSION << '\n';
    return kPackExitOk;
  }
  if (first == "help") {
    if (args.size() == 2) {
      out << kGeneralHelp;
      return kPackExitOk;
    }
    if (args.size() == 3 && args[2] == "from-diff") {
      out << kFromDiffHelp;
      return kPackExitOk;
    }
    if (args.size() == 3 && args[2] == "from-trees") {
      out << kFromTreesHelp;
      return kPackExitOk;
    }
    const Command* command = FindCommand(args[2]);
    if (command == nullptr || args.size() > 3) {
      return UsageError(
          err,
          "help: expected one of the commands build, dump, from-diff, "
          "from-trees",
          "");
    }
    out << command->help;
    return kPackExitOk;
  }
  // The commands that make a package from a change parse their own
  // arguments.
  if (first == "from-diff") {
    return RunFromDiff(args, out, err);
  }
  if (first == "from-trees") {
    return RunFromTrees(args, out, err);
  }
  const Command* command = FindCommand(first);
  if (command == nullptr) {
    return UsageError(err, "unknown command '" + first + "'", "");
  }
  return RunCommand(*command, args, out, err);
}
