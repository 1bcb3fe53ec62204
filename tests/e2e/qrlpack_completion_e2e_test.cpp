// End-to-end tests of qrlpack's bash completion: the script the binary
// prints is loaded into a real bash and asked for completions, as the
// shell would ask when the user presses Tab.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

TEST(PackCompletion, BashCompletesCommandsOptionsAndFiles) {
  ScratchDir dir;
  const ProgramResult script = RunPack({"--bash-completion"});
  ASSERT_EQ(script.exit_code, 0);
  EXPECT_EQ(script.err, "");
  WriteFile(dir.Path("qrlpack.bash"), script.out);
  // Each case is the words typed so far, the last one being completed.
  struct Case {
    std::string words;
    std::string completions;
  };
  const std::vector<Case> cases = {
      {"qrlpack ''",
       "build dump from-diff from-trees plan rebase help -h --help --version "
       "--bash-completion"},
      {"qrlpack from-d", "from-diff"},
      {"qrlpack b", "build"},
      {"qrlpack --v", "--version"},
      {"qrlpack help ''", "build dump from-diff from-trees plan rebase"},
      {"qrlpack build -", "-h --help -o --output"},
      {"qrlpack dump p.qrl --o", "--output"},
      {"qrlpack plan p.qrl apply --a", "--all-levels --allow-loose"},
      {"qrlpack rebase p.qrl --",
       "--help --onto --base --output --worktree --json"},
      {"qrlpack rebase p.qrl --onto ''", ""},
      // A file name: bash's own file completion takes over.
      {"qrlpack build ''", ""},
      {"qrlpack dump p.qrl -o ''", ""},
  };
  std::string program = "source qrlpack.bash\n";
  for (const Case& c : cases) {
    program += "COMP_WORDS=(" + c.words +
               "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _qrlpack; "
               "echo \"${COMPREPLY[*]}\"\n";
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

}  // namespace
