#include "pack/cli/command_line.h"

#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

// A command line with one command of each shape: "copy IN -o OUT [-v]"
// and "show IN".
class CommandLineTest : public ::testing::Test {
 protected:
  CommandLineTest() : command_line_("9.9", "Does things.", "Footer.\n") {
    command_line_
        .Add({.name = "copy",
              .synopsis = "IN -o OUT [-v]",
              .summary = "copy a file",
              .description = "Copies IN to OUT.\n"},
             [this](const PackStreams& streams) {
               streams.out << "copy " << input_ << " to " << output_
                           << (verbose_ ? " verbosely" : "") << '\n';
               return 7;
             })
        .Input("IN", &input_)
        .FileOption("-o,--output", "OUT", &output_, "where to", Required::kYes)
        .Flag("-v,--verbose", &verbose_, "say more");
    command_line_
        .Add({.name = "show",
              .synopsis = "IN",
              .summary = "show a file",
              .description = "Shows IN.\n"},
             [this](const PackStreams& streams) {
               streams.out << "show " << input_ << '\n';
               return 0;
             })
        .Input("IN", &input_);
  }

  struct Result {
    int code;
    std::string out;
    std::string err;
  };

  Result Run(std::vector<std::string> args) {
    args.insert(args.begin(), "qrlpack");
    std::ostringstream out;
    std::ostringstream err;
    const int code = command_line_.Run(args, {out, err});
    return {code, out.str(), err.str()};
  }

  PackCommandLine command_line_;
  std::string input_;
  std::string output_;
  bool verbose_ = false;
};

TEST_F(CommandLineTest, ParsedArgumentsReachTheCommand) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
    int code;
  };
  const std::vector<Case> cases = {
      {{"copy", "a", "-o", "b"}, "copy a to b\n", 7},
      {{"copy", "-o", "b", "a", "-v"}, "copy a to b verbosely\n", 7},
      {{"copy", "a", "--output=b", "--output", "c"}, "copy a to c\n", 7},
      {{"copy", "-ob", "--", "-a"}, "copy -a to b\n", 7},
      {{"copy", "-", "-o", "-"}, "copy - to -\n", 7},
      {{"show", "copy"}, "show copy\n", 0},
  };
  for (const Case& c : cases) {
    verbose_ = false;
    const Result result = Run(c.args);
    EXPECT_EQ(result.out, c.out) << c.args[1];
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.code, c.code);
  }
}

TEST_F(CommandLineTest, UsageErrorsNameTheCommandAndItsHelp) {
  struct Case {
    std::vector<std::string> args;
    std::string first_line;
  };
  const std::vector<Case> cases = {
      {{"move"}, "qrlpack: unknown command 'move'"},
      {{"copy"}, "qrlpack: copy: missing the input file"},
      {{"copy", "a"}, "qrlpack: copy: missing -o OUTPUT"},
      {{"copy", "a", "--output"},
       "qrlpack: copy: option --output needs a "
       "file name"},
      {{"copy", "a", "-o", ""}, "qrlpack: copy: option -o needs a file name"},
      // Not the next argument.
      {{"copy", "--output=", "a"},
       "qrlpack: copy: option --output needs a file name"},
      {{"copy", "a", "-o", "b", "-x"}, "qrlpack: copy: unknown option '-x'"},
      {{"show", "a", "b"}, "qrlpack: show: unexpected argument 'b'"},
      {{"show", "a", "--", "-b"}, "qrlpack: show: unexpected argument '-b'"},
      {{"show", "-h", "--verbose"},
       "qrlpack: show: unknown option '--verbose'"},
      {{"help", "move"},
       "qrlpack: help: expected one of the commands copy, show"},
  };
  for (const Case& c : cases) {
    const Result result = Run(c.args);
    const std::string try_line =
        c.args[0] == "move" || c.args[0] == "help"
            ? "Try 'qrlpack --help'.\n"
            : "Try 'qrlpack " + c.args[0] + " --help'.\n";
    EXPECT_EQ(result.err, c.first_line + "\n" + try_line);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.code, kPackExitUsage);
  }
}

TEST_F(CommandLineTest, HelpIsMadeFromTheRegistrations) {
  const std::string general =
      "Usage: qrlpack COMMAND [ARGUMENTS]\n"
      "\n"
      "Does things.\n"
      "\n"
      "Commands:\n"
      "  copy IN -o OUT [-v]   copy a file\n"
      "  show IN               show a file\n"
      "  help [COMMAND]        show this help, or the help of a command\n"
      "\n"
      "Options:\n"
      "  -h, --help          show this help; after a command, the "
      "command's help\n"
      "  --version           show the version\n"
      "  --bash-completion   print the bash completion of qrlpack and "
      "qrlconsole\n"
      "\n"
      "Footer.\n";
  EXPECT_EQ(command_line_.GeneralHelp(), general);
  EXPECT_EQ(Run({"--help"}).out, general);
  EXPECT_EQ(Run({"help"}).out, general);
  const Result bare = Run({});
  EXPECT_EQ(bare.err, general);
  EXPECT_EQ(bare.code, kPackExitUsage);

  const std::string copy =
      "Usage: qrlpack copy IN -o OUT [-v]\n"
      "\n"
      "Copies IN to OUT.\n"
      "\n"
      "Options:\n"
      "  -o, --output OUT   where to (required)\n"
      "  -v, --verbose      say more\n"
      "  -h, --help         show this help\n";
  EXPECT_EQ(command_line_.CommandHelp("copy"), copy);
  EXPECT_EQ(Run({"copy", "-h"}).out, copy);
  EXPECT_EQ(Run({"copy", "a", "--help"}).out, copy);
  EXPECT_EQ(Run({"help", "copy"}).out, copy);
  EXPECT_EQ(Run({"--version"}).out, "qrlpack 9.9\n");
}

TEST_F(CommandLineTest, LongDescriptionsWrapUnderTheirColumn) {
  command_line_
      .Add({.name = "wide",
            .synopsis = "",
            .summary = "s",
            .description = "D.\n"},
           [](const PackStreams&) { return 0; })
      .Flag("--long", &verbose_,
            "one two three four five six seven eight nine ten eleven "
            "twelve thirteen");
  EXPECT_EQ(command_line_.CommandHelp("wide"),
            "Usage: qrlpack wide\n"
            "\n"
            "D.\n"
            "\n"
            "Options:\n"
            "  --long       one two three four five six seven eight nine ten "
            "eleven twelve\n"
            "               thirteen\n"
            "  -h, --help   show this help\n");
}

// The other shapes: "make [-p N] [FILE...]", whose help is written by
// hand and which judges its files itself, and "pass [--json] ARGS...",
// which hands its other arguments on as given.
class CommandShapesTest : public CommandLineTest {
 protected:
  CommandShapesTest() {
    command_line_
        .Add({.name = "make",
              .synopsis = "[-p N] [FILE...]",
              .summary = "make",
              .help = "Usage: qrlpack make, by hand\n"},
             [this](const PackStreams& streams) {
               if (files_.size() > 1) {
                 return CommandUsageError(streams, "make", "one file at most");
               }
               streams.out << "make " << strip_ << ' ' << files_.size() << '\n';
               return 0;
             })
        .Inputs("FILE", &files_)
        .Value("-p,--strip", "N", &strip_, "strip");
    command_line_
        .Add({.name = "pass", .synopsis = "[--json] ARGS...", .summary = "p"},
             [this](const PackStreams& streams) {
               streams.out << (json_ ? "json" : "text");
               for (const std::string& arg : passed_) {
                 streams.out << " [" << arg << ']';
               }
               streams.out << '\n';
               return 0;
             })
        .Passthrough(&passed_)
        .Flag("--json", &json_, "json")
        .Completion("echo pass");
  }

  std::vector<std::string> files_;
  std::string strip_ = "1";
  std::vector<std::string> passed_;
  bool json_ = false;
};

TEST_F(CommandShapesTest, ArgumentsAndErrorsOfEachShape) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
    std::string err;
  };
  const std::string make_try = "\nTry 'qrlpack make --help'.\n";
  const std::vector<Case> cases = {
      {{"make"}, "make 1 0\n", ""},
      {{"make", "-p2", "a"}, "make 2 1\n", ""},
      {{"make", "--strip=", "a"}, "make  1\n", ""},  // any value, even none
      {{"make", "-p", "3", "-p", "4"}, "make 4 0\n", ""},
      {{"make", "a", "b"}, "", "qrlpack: make: one file at most" + make_try},
      {{"make", "-p"}, "", "qrlpack: make: option -p needs a value" + make_try},
      {{"make", "--strip"},
       "",
       "qrlpack: make: option --strip needs a value" + make_try},
      {{"make", "-q"}, "", "qrlpack: make: unknown option '-q'" + make_try},
      {{"make", "a", "-h"}, "Usage: qrlpack make, by hand\n", ""},
      {{"make", "--", "-h"}, "make 1 1\n", ""},
      // Every argument that is not exactly a flag is handed on, in order.
      {{"pass"}, "text\n", ""},
      {{"pass", "a", "--json", "-x", "--", "--json=1", "M{X}=v"},
       "json [a] [-x] [--] [--json=1] [M{X}=v]\n",
       ""},
      {{"pass", "a", "--help"}, "Usage: qrlpack pass [--json] ARGS...\n", ""},
  };
  for (const Case& c : cases) {
    json_ = false;
    strip_ = "1";
    files_.clear();
    const Result result = Run(c.args);
    const std::string shown = c.args.size() > 1 ? c.args[1] : c.args[0];
    EXPECT_EQ(result.out.substr(0, result.out.find('\n') + 1), c.out) << shown;
    EXPECT_EQ(result.err, c.err) << shown;
    EXPECT_EQ(result.code, c.err.empty() ? kPackExitOk : kPackExitUsage)
        << shown;
  }
}

TEST_F(CommandShapesTest, CompletionListsAHandWrittenHelpLast) {
  const std::string script = command_line_.BashCompletion();
  EXPECT_NE(script.find("    copy)\n      case $prev in -o|--output) return "
                        ";; esac\n      [[ $cur == -* ]] && COMPREPLY=($("
                        "compgen -W \"-h --help -o --output -v --verbose\""),
            std::string::npos)
      << script;
  EXPECT_NE(script.find("    make)\n      case $prev in -p|--strip) return "
                        ";; esac\n      [[ $cur == -* ]] && COMPREPLY=($("
                        "compgen -W \"-p --strip -h --help\""),
            std::string::npos)
      << script;
  EXPECT_NE(script.find("compgen -W \"-h --help --json\" -- \"$cur\"))\n"
                        "      echo pass\n"),
            std::string::npos)
      << script;
}

}  // namespace
