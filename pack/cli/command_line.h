// The qrlpack command line, on CLI11. Each command registers itself once,
// the same way: its name, usage, help text, arguments and what it runs.
// The general help, each command's help, the bash completion and every
// usage error are made from those registrations; a command's run only adds
// the usage errors of values it must judge itself (CommandUsageError).
// Never reads or writes a file.
#ifndef QRL_PACK_CLI_COMMAND_LINE_H_
#define QRL_PACK_CLI_COMMAND_LINE_H_

#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "pack/cli/exit_codes.h"

namespace CLI {
class App;
class Option;
class ParseError;
}  // namespace CLI

// Where a command writes: results to `out`, "qrlpack: ..." faults to `err`.
struct PackStreams {
  std::ostream& out;
  std::ostream& err;
};

// Runs a command once its arguments are parsed; returns the exit code.
using CommandRun = std::function<int(const PackStreams& streams)>;

// The usage error of a value that `command` judged itself: "qrlpack:
// COMMAND: TEXT" and where its help is, on streams.err; returns
// kPackExitUsage.
int CommandUsageError(const PackStreams& streams, const std::string& command,
                      const std::string& text);

// How a command introduces itself.
struct CommandText {
  std::string name;      // "build"
  std::string synopsis;  // its usage after the name: "DESC.json -o PKG.qrl"
  std::string summary;   // its line in the general help
  std::string description = {};  // the body of its help, lines ending in \n
  // A help written whole by hand, in place of the one made from
  // `description` and the options; it lists "-h, --help" last, and so
  // does the completion.
  std::string help = {};
};

enum class Required { kNo, kYes };

struct RegisteredCommand;

// One registered command; the arguments are added to it in the order they
// are to be checked.
class PackCommand {
 public:
  explicit PackCommand(RegisteredCommand* command) : command_(command) {}

  // A positional file argument, always required: without it the usage
  // error says "missing the input file". "-" is a valid name.
  PackCommand& Input(const std::string& name, std::string* target);

  // An option that names a file, such as "-o,--output": the value may not
  // be empty, and the last one given counts. A missing required option
  // says "missing -o OUTPUT" (its first name and its long name).
  PackCommand& FileOption(const std::string& names,
                          const std::string& value_name, std::string* target,
                          const std::string& description,
                          Required required = Required::kNo);

  // Positional file arguments, none or any number: the command judges
  // how many it takes.
  PackCommand& Inputs(const std::string& name,
                      std::vector<std::string>* target);

  // An option whose value is any word, even an empty one, such as
  // "-p,--strip": the next argument, or joined ("--strip=2", "-p2"). The
  // last one given counts; without its value the usage error says
  // "option -p needs a value".
  PackCommand& Value(const std::string& names, const std::string& value_name,
                     std::string* target, const std::string& description);

  // An option without a value.
  PackCommand& Flag(const std::string& names, bool* target,
                    const std::string& description);

  // For a command that hands on another program's arguments: every
  // argument after the command's name that is not exactly one of its
  // flags (or -h, --help) goes to `target`, in order, "--" and words that
  // look like options included. Only flags may be registered beside it.
  PackCommand& Passthrough(std::vector<std::string>* target);

  // Bash that completes the command's words past its options, with `i`
  // the index of the command's word; by default, file names.
  PackCommand& Completion(std::string bash);

  // For what the helpers above do not cover.
  CLI::App& app();

 private:
  RegisteredCommand* command_;
};

class PackCommandLine {
 public:
  // `description` and `footer` frame the general help.
  PackCommandLine(std::string version, std::string description,
                  std::string footer);
  ~PackCommandLine();
  PackCommandLine(const PackCommandLine&) = delete;
  PackCommandLine& operator=(const PackCommandLine&) = delete;

  // Registers a command; the help lists commands in registration order.
  PackCommand Add(const CommandText& text, CommandRun run);

  // More bash text for the completion script, after qrlpack's own: the
  // functions that commands' completions call, another program's.
  void AddCompletion(std::string script);

  // Parses `args` (args[0] is the program path) and runs the command they
  // name: its exit code, or kPackExitUsage with the error on `err`. A
  // command's values from an earlier Run stay where not given again.
  int Run(const std::vector<std::string>& args, const PackStreams& streams);

  std::string GeneralHelp() const;
  // The help of a registered command, by name; empty for another name.
  std::string CommandHelp(const std::string& name) const;
  // A bash completion script for qrlpack.
  std::string BashCompletion() const;

 private:
  using Command = RegisteredCommand;

  // What parsing left for the command to judge.
  struct Parse {
    bool help_asked = false;
    std::unique_ptr<CLI::ParseError> failure;
    std::vector<std::string> extras;  // what qrlpack itself could not place
  };

  const Command* Find(const std::string& name) const;
  int RunCommand(const Command& command, const Parse& parse,
                 const std::vector<std::string>& args,
                 const PackStreams& streams) const;
  int RunHelp(const std::vector<std::string>& words,
              const PackStreams& streams) const;
  std::string CommandNames() const;
  // `args` as CLI11 is to see them: a passthrough command's words for the
  // other program taken out (into its target), and an empty joined value
  // ("--output=") given apart, so that it stays empty.
  std::vector<std::string> CommandArguments(
      const std::vector<std::string>& args) const;

  std::unique_ptr<CLI::App> app_;
  std::string version_;
  std::string description_;
  std::string footer_;
  bool show_version_ = false;
  bool show_completion_ = false;
  CLI::App* help_ = nullptr;
  std::vector<std::unique_ptr<Command>> commands_;
  std::string more_completion_;
};

#endif  // QRL_PACK_CLI_COMMAND_LINE_H_
