// The qrlpack command line, on CLI11. Each command registers itself once:
// its name, usage, help text, arguments and what it runs. The general
// help, each command's help, the bash completion and every usage error
// are made from those registrations. Never reads or writes a file.
#ifndef QRL_PACK_CLI_COMMAND_LINE_H_
#define QRL_PACK_CLI_COMMAND_LINE_H_

#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
class ParseError;
}  // namespace CLI

// Exit codes.
inline constexpr int kPackExitOk = 0;
inline constexpr int kPackExitInvalid = 1;  // bad input, unreadable file
inline constexpr int kPackExitUsage = 2;

// Where a command writes: results to `out`, "qrlpack: ..." faults to `err`.
struct PackStreams {
  std::ostream& out;
  std::ostream& err;
};

// Runs a command once its arguments are parsed; returns the exit code.
using CommandRun = std::function<int(const PackStreams& streams)>;

// Runs a command that reads its own arguments: all of them, args[1] being
// the command's name.
using OwnParsingRun = std::function<int(const std::vector<std::string>& args,
                                        const PackStreams& streams)>;

// How a command introduces itself.
struct CommandText {
  std::string name;         // "build"
  std::string synopsis;     // its usage after the name: "DESC.json -o PKG.qrl"
  std::string summary;      // its line in the general help
  std::string description;  // the body of its own help, lines ending in \n
};

enum class Required { kNo, kYes };

// One registered command; the arguments are added to it in the order they
// are to be checked.
class PackCommand {
 public:
  explicit PackCommand(CLI::App* app) : app_(app) {}

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

  // An option without a value.
  PackCommand& Flag(const std::string& names, bool* target,
                    const std::string& description);

  // For what the helpers above do not cover.
  CLI::App& app() { return *app_; }

 private:
  CLI::App* app_;
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

  // Registers a command that reads its own arguments and words its own
  // usage errors; `text.description` is then its whole help. The
  // completion runs `completion` (bash, with `i` the index of the
  // command's word) for it, or offers file names only.
  void AddOwnParsing(const CommandText& text, OwnParsingRun run,
                     std::string completion = {});

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
  struct Command {
    CommandText text;
    CommandRun run;
    CLI::App* app;
    OwnParsingRun own_parsing;  // set for a command that parses itself
    std::string completion;     // its own completion, in bash
  };

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

  std::unique_ptr<CLI::App> app_;
  std::string version_;
  std::string description_;
  std::string footer_;
  bool show_version_ = false;
  bool show_completion_ = false;
  CLI::App* help_ = nullptr;
  std::vector<Command> commands_;
  std::string more_completion_;
};

#endif  // QRL_PACK_CLI_COMMAND_LINE_H_
