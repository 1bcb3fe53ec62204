#include "pack/cli/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <set>
#include <utility>

#include "services/diagnostics.h"

struct RegisteredCommand {
  CommandText text;
  CommandRun run;
  CLI::App* app;
  std::vector<std::string>* passthrough = nullptr;
  std::string completion = {};  // its own completion, in bash
  // Options whose value may be any word (PackCommand::Value).
  std::set<const CLI::Option*> any_value = {};
};

namespace {

constexpr size_t kHelpWidth = 79;
// A left entry longer than this has its description on the next line.
constexpr size_t kMaxLeftColumn = 32;

struct HelpRow {
  std::string left;
  std::string right;
};

// Two columns, the right one three blanks past the longest left entry and
// wrapped at word boundaries to the help width.
std::string Rows(const std::vector<HelpRow>& rows) {
  size_t width = 0;
  for (const HelpRow& row : rows) {
    if (row.left.size() <= kMaxLeftColumn) {
      width = std::max(width, row.left.size());
    }
  }
  const size_t indent = 2 + width + 3;
  std::string text;
  for (const HelpRow& row : rows) {
    std::string line = "  " + row.left;
    if (row.left.size() > width) {
      text += line + "\n";
      line.clear();
    }
    line.resize(indent, ' ');
    size_t column = indent;
    bool first_word = true;
    for (const std::string& word : CLI::detail::split(row.right, ' ')) {
      if (!first_word && column + 1 + word.size() > kHelpWidth) {
        text += line + "\n";
        line.assign(indent, ' ');
        column = indent;
        first_word = true;
      }
      if (!first_word) {
        line += ' ';
        ++column;
      }
      line += word;
      column += word.size();
      first_word = false;
    }
    text += line + "\n";
  }
  return text;
}

bool TakesValue(const CLI::Option& option) {
  return option.get_expected_max() > 0;
}

// "-o, --output PKG.qrl": the names, then the value for an option that
// takes one.
std::string OptionColumn(const CLI::Option& option) {
  std::string text;
  for (const std::string& name : option.get_snames()) {
    text += (text.empty() ? "-" : ", -") + name;
  }
  for (const std::string& name : option.get_lnames()) {
    text += (text.empty() ? "--" : ", --") + name;
  }
  if (TakesValue(option)) {
    text += " " + option.get_type_name();
  }
  return text;
}

enum class HelpFlag { kFirst, kLast };

// The options of `app` as help rows.
std::vector<HelpRow> OptionRows(const CLI::App& app, HelpFlag help_flag) {
  std::vector<HelpRow> rows;
  const CLI::Option* help = app.get_help_ptr();
  if (help != nullptr && help_flag == HelpFlag::kFirst) {
    rows.push_back({OptionColumn(*help), help->get_description()});
  }
  for (const CLI::Option* option : app.get_options()) {
    if (option->nonpositional() && option != help) {
      std::string description = option->get_description();
      if (option->get_required()) {
        description += " (required)";
      }
      rows.push_back({OptionColumn(*option), description});
    }
  }
  if (help != nullptr && help_flag == HelpFlag::kLast) {
    rows.push_back({OptionColumn(*help), help->get_description()});
  }
  return rows;
}

// Every name an option answers to on the command line, dashes included.
std::vector<std::string> OptionNames(const CLI::Option& option) {
  std::vector<std::string> names;
  for (const std::string& name : option.get_snames()) {
    names.push_back("-" + name);
  }
  for (const std::string& name : option.get_lnames()) {
    names.push_back("--" + name);
  }
  return names;
}

// The option as the user wrote it last among `args` ("-o", "--output"),
// else its first name.
std::string SpellingUsed(const CLI::Option& option,
                         const std::vector<std::string>& args) {
  const std::vector<std::string> names = OptionNames(option);
  for (auto arg = args.rbegin(); arg != args.rend(); ++arg) {
    for (const std::string& name : names) {
      if (*arg == name || arg->starts_with(name + "=") ||
          (name.size() == 2 && arg->starts_with(name))) {
        return name;
      }
    }
  }
  return names.empty() ? option.get_name() : names.front();
}

// The option of `app` that a CLI11 error about one option names: its
// message begins with the option's name and ": ".
const CLI::Option* OptionOfError(const CLI::App& app,
                                 const CLI::ParseError& error) {
  const std::string_view what = error.what();
  for (const CLI::Option* option : app.get_options()) {
    if (what.starts_with(option->get_name() + ": ")) {
      return option;
    }
  }
  return nullptr;
}

// The first required argument of `app` that was not given, in the order
// the arguments were added.
const CLI::Option* MissingArgument(const CLI::App& app) {
  for (const CLI::Option* option : app.get_options()) {
    if (option->get_required() && option->count() == 0) {
      return option;
    }
  }
  return nullptr;
}

std::string MissingText(const CLI::Option& option) {
  if (!option.nonpositional()) {
    return "missing the input file";
  }
  const std::vector<std::string> names = OptionNames(option);
  std::string value = option.get_lnames().empty() ? option.get_type_name()
                                                  : option.get_lnames()[0];
  std::transform(value.begin(), value.end(), value.begin(),
                 [](unsigned char c) { return std::toupper(c); });
  return "missing " + names.front() + " " + value;
}

// What CLI11 left over: an option it does not know, or an argument too
// many. After "--" everything is an argument.
std::string ExtraText(const std::vector<std::string>& remaining) {
  bool options_done = false;
  for (const std::string& arg : remaining) {
    if (arg == "--" && !options_done) {
      options_done = true;
    } else if (!options_done && arg.size() > 1 && arg[0] == '-') {
      return "unknown option '" + arg + "'";
    } else {
      return "unexpected argument '" + arg + "'";
    }
  }
  return std::string();
}

// "build DESC.json -o PKG.qrl": the name and the synopsis.
std::string Usage(const CommandText& text) {
  return text.synopsis.empty() ? text.name : text.name + " " + text.synopsis;
}

int UsageError(std::ostream& err, const std::string& text,
               const std::string& help_command) {
  err << "qrlpack: " << EscapeForTerminal(text) << "\nTry 'qrlpack "
      << help_command << "--help'.\n";
  return kPackExitUsage;
}

// The usage error of a command's arguments that CLI11 refused.
std::string FailureText(const RegisteredCommand& command,
                        const CLI::ParseError& failure,
                        const std::vector<std::string>& args) {
  const CLI::Option* missing = MissingArgument(*command.app);
  if (missing != nullptr && failure.get_name() == "RequiredError") {
    return MissingText(*missing);
  }
  if (const CLI::Option* option = OptionOfError(*command.app, failure);
      option != nullptr) {
    return "option " + SpellingUsed(*option, args) +
           (command.any_value.contains(option) ? " needs a value"
                                               : " needs a file name");
  }
  return failure.what();
}

// A value that may not be empty.
const CLI::Validator kNotEmpty(
    [](const std::string& value) {
      return value.empty() ? std::string("needs a value") : std::string();
    },
    "", "");

// The case of `command` in the completion function: no completion after
// an option that takes a value, its options after a "-", then its own.
std::string CompletionCase(const RegisteredCommand& command) {
  std::string options;
  std::string valued;
  const auto add = [&options, &valued](const CLI::Option& option,
                                       bool takes_value) {
    for (const std::string& spelling : OptionNames(option)) {
      options += " " + spelling;
      if (takes_value) {
        valued += (valued.empty() ? "" : "|") + spelling;
      }
    }
  };
  // In the order of the help: a help written by hand lists -h last.
  const CLI::Option* help = command.app->get_help_ptr();
  const bool help_last = !command.text.help.empty();
  for (const CLI::Option* option : command.app->get_options()) {
    if (option != help || !help_last) {
      add(*option, TakesValue(*option));
    }
  }
  if (help_last && help != nullptr) {
    add(*help, false);
  }
  std::string text = "    " + command.text.name + ")\n";
  if (!valued.empty()) {
    text += "      case $prev in " + valued + ") return ;; esac\n";
  }
  if (!options.empty()) {
    text += "      [[ $cur == -* ]] && COMPREPLY=($(compgen -W \"" +
            options.substr(1) + "\" -- \"$cur\"))\n";
  }
  if (!command.completion.empty()) {
    text += "      " + command.completion + "\n";
  }
  return text + "      ;;\n";
}

}  // namespace

int CommandUsageError(const PackStreams& streams, const std::string& command,
                      const std::string& text) {
  return UsageError(streams.err, command + ": " + text, command + " ");
}

CLI::App& PackCommand::app() { return *command_->app; }

PackCommand& PackCommand::Input(const std::string& name, std::string* target) {
  app().add_option(name, *target)->required();
  return *this;
}

PackCommand& PackCommand::Inputs(const std::string& name,
                                 std::vector<std::string>* target) {
  app().add_option(name, *target);
  return *this;
}

PackCommand& PackCommand::Value(const std::string& names,
                                const std::string& value_name,
                                std::string* target,
                                const std::string& description) {
  CLI::Option* option =
      app()
          .add_option(names, *target, description)
          ->type_name(value_name)
          ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  command_->any_value.insert(option);
  return *this;
}

PackCommand& PackCommand::Passthrough(std::vector<std::string>* target) {
  command_->passthrough = target;
  return *this;
}

PackCommand& PackCommand::Completion(std::string bash) {
  command_->completion = std::move(bash);
  return *this;
}

PackCommand& PackCommand::FileOption(const std::string& names,
                                     const std::string& value_name,
                                     std::string* target,
                                     const std::string& description,
                                     Required required) {
  app()
      .add_option(names, *target, description)
      ->type_name(value_name)
      ->check(kNotEmpty)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
      ->required(required == Required::kYes);
  return *this;
}

PackCommand& PackCommand::Flag(const std::string& names, bool* target,
                               const std::string& description) {
  app().add_flag(names, *target, description);
  return *this;
}

PackCommandLine::PackCommandLine(std::string version, std::string description,
                                 std::string footer)
    : app_(std::make_unique<CLI::App>(description, "qrlpack")),
      version_(std::move(version)),
      description_(std::move(description)),
      footer_(std::move(footer)) {
  app_->set_help_flag("-h,--help",
                      "show this help; after a command, the command's help");
  app_->add_flag("--version", show_version_, "show the version");
  app_->add_flag("--bash-completion", show_completion_,
                 "print the bash completion of qrlpack and qrlconsole");
  app_->allow_extras();
  app_->require_subcommand(0, 1);
  // "help" takes its words as they come: "help build" names a command, it
  // does not run one.
  help_ = app_->add_subcommand("help",
                               "show this help, or the help of a "
                               "command");
  help_->set_help_flag();
  help_->prefix_command();
}

PackCommandLine::~PackCommandLine() = default;

PackCommand PackCommandLine::Add(const CommandText& text, CommandRun run) {
  CLI::App* app = app_->add_subcommand(text.name, text.summary);
  app->set_help_flag("-h,--help", "show this help");
  app->allow_extras();
  commands_.push_back(std::make_unique<Command>(
      Command{.text = text, .run = std::move(run), .app = app}));
  return PackCommand(commands_.back().get());
}

void PackCommandLine::AddCompletion(std::string script) {
  more_completion_ += script;
}

const PackCommandLine::Command* PackCommandLine::Find(
    const std::string& name) const {
  for (const std::unique_ptr<Command>& command : commands_) {
    if (command->text.name == name) {
      return command.get();
    }
  }
  return nullptr;
}

std::string PackCommandLine::CommandNames() const {
  std::string names;
  for (const std::unique_ptr<Command>& command : commands_) {
    names += (names.empty() ? "" : ", ") + command->text.name;
  }
  return names;
}

std::string PackCommandLine::GeneralHelp() const {
  std::vector<HelpRow> commands;
  for (const std::unique_ptr<Command>& command : commands_) {
    commands.push_back({Usage(command->text), command->text.summary});
  }
  commands.push_back({"help [COMMAND]", help_->get_description()});
  return "Usage: qrlpack COMMAND [ARGUMENTS]\n\n" + description_ +
         "\n\nCommands:\n" + Rows(commands) + "\nOptions:\n" +
         Rows(OptionRows(*app_, HelpFlag::kFirst)) + "\n" + footer_;
}

std::string PackCommandLine::CommandHelp(const std::string& name) const {
  const Command* command = Find(name);
  if (command == nullptr) {
    return std::string();
  }
  if (!command->text.help.empty()) {
    return command->text.help;
  }
  return "Usage: qrlpack " + Usage(command->text) + "\n\n" +
         command->text.description + "\nOptions:\n" +
         Rows(OptionRows(*command->app, HelpFlag::kLast));
}

int PackCommandLine::RunHelp(const std::vector<std::string>& words,
                             const PackStreams& streams) const {
  if (words.empty()) {
    streams.out << GeneralHelp();
    return kPackExitOk;
  }
  if (words.size() > 1 || Find(words[0]) == nullptr) {
    return UsageError(streams.err,
                      "help: expected one of the commands " + CommandNames(),
                      "");
  }
  streams.out << CommandHelp(words[0]);
  return kPackExitOk;
}

int PackCommandLine::Run(const std::vector<std::string>& args,
                         const PackStreams& streams) {
  if (args.size() <= 1) {
    streams.err << GeneralHelp();
    return kPackExitUsage;
  }
  show_version_ = false;
  show_completion_ = false;
  const std::vector<std::string> own = CommandArguments(args);
  // CLI11 takes the arguments last first, without the program path.
  std::vector<std::string> reversed(own.rbegin(), own.rend() - 1);
  Parse parse;
  try {
    app_->parse(reversed);
  } catch (const CLI::CallForHelp&) {
    parse.help_asked = true;
  } catch (const CLI::ParseError& error) {
    parse.failure = std::make_unique<CLI::ParseError>(error);
  }
  parse.extras = app_->remaining();

  // The first argument decides: a command, or what qrlpack itself does.
  const std::vector<CLI::App*> chosen = app_->get_subcommands();
  if (chosen.empty() || args[1] != chosen[0]->get_name()) {
    if (!parse.extras.empty()) {
      return UsageError(streams.err,
                        "unknown command '" + parse.extras[0] + "'", "");
    }
    if (show_completion_) {
      streams.out << BashCompletion();
      return kPackExitOk;
    }
    if (show_version_) {
      streams.out << "qrlpack " << version_ << '\n';
      return kPackExitOk;
    }
    if (chosen.empty() || app_->get_help_ptr()->count() > 0) {
      streams.out << GeneralHelp();
      return kPackExitOk;
    }
  }
  if (chosen[0] == help_) {
    return RunHelp(help_->remaining(), streams);
  }
  return RunCommand(*Find(chosen[0]->get_name()), parse, own, streams);
}

std::vector<std::string> PackCommandLine::CommandArguments(
    const std::vector<std::string>& args) const {
  const Command* command = args.size() > 1 ? Find(args[1]) : nullptr;
  if (command == nullptr) {
    return args;
  }
  std::set<std::string> flags;
  std::set<std::string> valued;  // long names
  for (const CLI::Option* option : command->app->get_options()) {
    for (const std::string& name : OptionNames(*option)) {
      flags.insert(name);
    }
    for (const std::string& name : option->get_lnames()) {
      if (TakesValue(*option)) {
        valued.insert("--" + name + "=");
      }
    }
  }
  std::vector<std::string> own(args.begin(), args.begin() + 2);
  if (command->passthrough != nullptr) {
    command->passthrough->clear();
    for (size_t i = 2; i < args.size(); ++i) {
      (flags.contains(args[i]) ? own : *command->passthrough)
          .push_back(args[i]);
    }
    return own;
  }
  for (size_t i = 2; i < args.size(); ++i) {
    if (args[i] == "--") {
      own.insert(own.end(), args.begin() + static_cast<std::ptrdiff_t>(i),
                 args.end());
      break;
    }
    // CLI11 would take the next argument for the value "--output=" leaves
    // empty.
    if (valued.contains(args[i])) {
      own.push_back(args[i].substr(0, args[i].size() - 1));
      own.emplace_back();
    } else {
      own.push_back(args[i]);
    }
  }
  return own;
}

int PackCommandLine::RunCommand(const Command& command, const Parse& parse,
                                const std::vector<std::string>& args,
                                const PackStreams& streams) const {
  const std::string& name = command.text.name;
  // What the command could not place, and what CLI11 handed back to
  // qrlpack after it: arguments too many after "--".
  std::vector<std::string> extras = command.app->remaining();
  if (!parse.extras.empty() &&
      std::find(extras.begin(), extras.end(), "--") == extras.end()) {
    extras.push_back("--");
  }
  extras.insert(extras.end(), parse.extras.begin(), parse.extras.end());
  if (const std::string extra = ExtraText(extras); !extra.empty()) {
    return UsageError(streams.err, name + ": " + extra, name + " ");
  }
  if (parse.help_asked) {
    streams.out << CommandHelp(name);
    return kPackExitOk;
  }
  if (parse.failure != nullptr) {
    return UsageError(streams.err,
                      name + ": " + FailureText(command, *parse.failure, args),
                      name + " ");
  }
  return command.run(streams);
}

std::string PackCommandLine::BashCompletion() const {
  std::string names;
  std::string cases;
  for (const std::unique_ptr<Command>& command : commands_) {
    names += " " + command->text.name;
    cases += CompletionCase(*command);
  }
  std::string top_options;
  for (const CLI::Option* option : app_->get_options()) {
    for (const std::string& spelling : OptionNames(*option)) {
      top_options += " " + spelling;
    }
  }
  return "# bash completion of qrlpack, made by qrlpack --bash-completion\n"
         "_qrlpack() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]}\n"
         "  local prev=${COMP_WORDS[COMP_CWORD-1]}\n"
         "  local command= i\n"
         "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
         "    case ${COMP_WORDS[i]} in\n"
         "      " +
         CLI::detail::join(CLI::detail::split(names.substr(1), ' '), "|") +
         "|help) command=${COMP_WORDS[i]}; break ;;\n"
         "    esac\n"
         "  done\n"
         "  COMPREPLY=()\n"
         "  case $command in\n"
         "    '')\n"
         "      COMPREPLY=($(compgen -W \"" +
         names.substr(1) + " help" + top_options +
         "\" -- \"$cur\"))\n"
         "      ;;\n"
         "    help)\n"
         "      COMPREPLY=($(compgen -W \"" +
         names.substr(1) +
         "\" -- \"$cur\"))\n"
         "      ;;\n" +
         cases +
         "  esac\n"
         "}\n"
         "complete -o default -F _qrlpack qrlpack\n" +
         more_completion_;
}
