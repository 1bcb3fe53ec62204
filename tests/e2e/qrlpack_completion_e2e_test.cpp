// End-to-end tests of the bash completion of qrlpack and qrlconsole: the
// script qrlpack prints is loaded into a real bash and asked for
// completions, as the shell would ask when the user presses Tab.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

// The words typed so far, the last one being completed, and what the
// completion function offers.
struct Case {
  std::string words;
  std::string completions;
};

// Runs the cases in one bash that sourced the completion script, with the
// scratch directory as its working directory.
void ExpectCompletions(const ScratchDir& dir, const std::string& function,
                       const std::vector<Case>& cases) {
  const ProgramResult script = RunPack({"--bash-completion"});
  ASSERT_EQ(script.exit_code, 0);
  EXPECT_EQ(script.err, "");
  WriteFile(dir.Path("qrlpack.bash"), script.out);
  std::string program = "source qrlpack.bash\n";
  for (const Case& c : cases) {
    program += "COMP_WORDS=(" + c.words +
               "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); " + function +
               "; echo \"${COMPREPLY[*]}\"\n";
  }
  const ProgramResult result =
      RunProgram({"/bin/bash", "-c", program}, dir.path());
  ASSERT_EQ(result.exit_code, 0) << result.err;
  std::string expected;
  for (const Case& c : cases) {
    expected += c.completions + "\n";
  }
  EXPECT_EQ(result.out, expected);
  EXPECT_EQ(result.err, "");
}

// A package that stores {NAME} and {OTHER} and names {ROOT} in a path, and
// one whose macro name would run a command if the shell expanded it.
void WritePackages(const ScratchDir& dir) {
  BuildPackageFromJson(
      R"({"settings": {"macros": [{"name": "{NAME}", "value": "x"},
                                  {"name": "{OTHER}", "value": ""}]},
          "levels": [{"kind": "Normal",
                      "entries": [{"path": "{ROOT}src/a.c",
                                   "lines": ["a"]}]}]})",
      dir.Path("p.qrl"));
  BuildPackageFromJson(
      R"({"settings": {"macros": [{"name": "{$(touch ran)}", "value": ""}]},
          "levels": [{"kind": "Normal"}]})",
      dir.Path("evil.qrl"));
}

TEST(PackCompletion, BashCompletesCommandsOptionsAndFiles) {
  ScratchDir dir;
  WritePackages(dir);
  const std::string pack = QRLPACK_BIN;
  ExpectCompletions(
      dir, "_qrlpack",
      {
          {"qrlpack ''",
           "build dump from-diff from-trees plan rebase help -h --help "
           "--version "
           "--bash-completion"},
          {"qrlpack from-d", "from-diff"},
          {"qrlpack b", "build"},
          {"qrlpack --v", "--version"},
          {"qrlpack help ''", "build dump from-diff from-trees plan rebase"},
          {"qrlpack build -", "-h --help -o --output"},
          {"qrlpack dump p.qrl --o", "--output"},
          // The options of commands that read their own arguments, from
          // their help.
          {"qrlpack from-diff -",
           "-p --strip --tree --markers -o --output -h --help"},
          {"qrlpack from-trees old new --m", "--markers"},
          {"qrlpack plan --",
           "--json --diff --all-levels --allow-loose --help"},
          {"qrlpack plan p.qrl apply --a", "--all-levels --allow-loose"},
          {"qrlpack rebase p.qrl --",
           "--help --onto --base --output --worktree --json"},
          {"qrlpack rebase p.qrl --onto ''", ""},
          // A file name: bash's own file completion takes over.
          {"qrlpack build ''", ""},
          {"qrlpack dump p.qrl -o ''", ""},
          {"qrlpack from-diff --tree ''", ""},
          {"qrlpack plan ''", ""},
          // plan takes qrlconsole's arguments.
          {pack + " plan p.qrl ''", "apply reverse"},
          {pack + " plan --json p.qrl r", "reverse"},
          {pack + " plan p.qrl apply ''",
           "MACRO{ SYMBOL MACRO{NAME}= MACRO{OTHER}= MACRO{ROOT}="},
          {pack + " plan p.qrl apply MACRO{R", "MACRO{ROOT}="},
          {pack + " plan p.qrl apply MACRO{ROOT}=/t/ S", "SYMBOL"},
          {pack + " plan p.qrl apply MACRO{ROOT} = ''", ""},  // its value
      });
}

TEST(ConsoleCompletion, BashCompletesActionsMacrosAndSymbols) {
  ScratchDir dir;
  WritePackages(dir);
  // The qrlpack beside this qrlconsole reads the macro names.
  const std::string console = QRLCONSOLE_BIN;
  ExpectCompletions(
      dir, "_qrlconsole",
      {
          {console + " ''", ""},  // the package or parameter file
          {console + " -", "--help -h --version"},
          {console + " p.qrl ''",
           "apply reverse executechecks showuserinfo createbackup "
           "restorebackup"},
          {console + " p.qrl cr", "createbackup"},
          {console + " p.qrl apply ''",
           "MACRO{ SYMBOL MACRO{NAME}= MACRO{OTHER}= MACRO{ROOT}="},
          {console + " p.qrl reverse MACRO{N", "MACRO{NAME}="},
          {console + " p.qrl apply MACRO{NAME} = ''", ""},
          {console + " p.qrl.backup restorebackup ''", ""},
          // A name that the shell would expand is never offered, nor run.
          {console + " evil.qrl apply ''", "MACRO{ SYMBOL"},
          {console + " missing.qrl apply M", "MACRO{"},
      });
  EXPECT_FALSE(Exists(dir.Path("ran")));
}

}  // namespace
