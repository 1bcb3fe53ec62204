// End-to-end tests of Complex levels: packages built from the JSON
// fixtures by qrlpack, run by the real qrlconsole in a scratch directory.
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

class ComplexEndToEnd : public ::testing::Test {
 protected:
  ProgramResult Run(const char* fixture, std::vector<std::string> args) {
    BuildPackageFromJson(
        SourcePath(std::string("tests/e2e/fixtures/") + fixture),
        dir_.Path("q.qrl"));
    args.insert(args.begin(), "q.qrl");
    return RunConsole(args, dir_.path());
  }

  ScratchDir dir_;
};

TEST_F(ComplexEndToEnd, ApplyRunsTheProgramWithMacrosAndSymbols) {
  const ProgramResult result =
      Run("complex_apply_reverse.json", {"apply", "MACRO{WHO}=you"});
  EXPECT_EQ(result.out, BannerLine() +
                            "Applying for you\n"
                            "Level 1 wrote greeting.txt\n");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(ReadFile(dir_.Path("greeting.txt")), "Hello from you");
}

TEST_F(ComplexEndToEnd, ReverseRunsTheSameProgram) {
  const ProgramResult result =
      Run("complex_apply_reverse.json", {"reverse", "MACRO{WHO}=me"});
  EXPECT_EQ(result.out, BannerLine() + "Reversing for me\n");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_FALSE(Exists(dir_.Path("greeting.txt")));
}

TEST_F(ComplexEndToEnd, RestartFinishAndHaltSteerTheLevels) {
  const ProgramResult result = Run("complex_run_flags.json", {"apply"});
  EXPECT_EQ(result.out, BannerLine() +
                            "x\nxx\nxxx\n"
                            "counted xxx\n"
                            "finishing level number 2\n"
                            "three\n");
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(ComplexEndToEnd, FailedProgramsAreReportedBySeverity) {
  const ProgramResult result = Run("complex_failures.json", {"apply"});
  EXPECT_EQ(result.out,
            BannerLine() +
                "before\n"
                "WARNING! COMPLEX ACTIONS FAILED FOR LEVEL 1 PROCESS WITH "
                "PRESENTATION: Unknown word\n"
                "back from the depths\n"
                "WARNING! COMPLEX ACTIONS FAILED FOR LEVEL 2 PROCESS WITH "
                "PRESENTATION: Runs itself\n"
                "still running\n"
                "ERROR! COMPLEX ACTIONS FAILED FOR LEVEL 3 PROCESS WITH "
                "PRESENTATION: Explicit failure\n");
  EXPECT_EQ(result.exit_code, 3);
}

TEST_F(ComplexEndToEnd, AnEarlierLevelsWorkingDirectoryHolds) {
  MakeTree(dir_.path(), {{"tree/src/a.txt", "a"},
                         {"tree/src/b.txt", "b"},
                         {"tree/src/c.c", "c"}});
  const ProgramResult result =
      Run("complex_files.json", {"apply", "MACRO{ROOT}=tree"});
  EXPECT_EQ(result.out, BannerLine() + "a.txt\nb.txt\n\n");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(TreeContents(dir_.Path("tree/backup")),
            (FileTree{{"a.txt", "a"}, {"b.txt", "b"}}));
}

// Permission bits bind only an unprivileged user, so a run as root drops
// to "nobody" in a child first.
TEST_F(ComplexEndToEnd, AWorkingDirectoryThatCannotBeEnteredEndsTheAction) {
  BuildPackageFromJson(
      SourcePath("tests/e2e/fixtures/complex_locked_directory.json"),
      dir_.Path("q.qrl"));
  ASSERT_EQ(::mkdir(dir_.Path("locked").c_str(), 0), 0);
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
  const ProgramResult child = RunInChild([&] {
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 ||
                             ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(2);
    }
    const ProgramResult run = RunConsole({"q.qrl", "apply"}, dir_.path());
    return std::to_string(run.exit_code) + "\n" + run.err + run.out;
  });
  ASSERT_EQ(child.exit_code, 0);
  EXPECT_EQ(child.out,
            "3\n"
            "qrlconsole: APPLY: cannot enter directory locked: Permission "
            "denied\n" +
                BannerLine() + "before\n");
}

// The worked example of the README is the demo package's last level.
TEST_F(ComplexEndToEnd, DemoPackageReportsWhatItDid) {
  std::filesystem::copy(SourcePath("examples/tree"), dir_.Path("tree"),
                        std::filesystem::copy_options::recursive);
  BuildPackageFromJson(SourcePath("examples/demo.json"), dir_.Path("d.qrl"));
  const std::string root = "MACRO{ROOT}=" + dir_.Path("tree/");
  const std::string greeted =
      "Greeted world in " + dir_.Path("tree/src/greeting.c") + "\n";
  ProgramResult result =
      RunConsole({"d.qrl", "apply", root, "MACRO{NAME}=world"}, dir_.path());
  EXPECT_EQ(result.out,
            BannerLine() +
                "WARNING! GLOBAL REQUIREMENTS ARE NOT FULFILLED FOR LEVEL 3 "
                "PROCESS WITH PRESENTATION: Turn the volume up\n" +
                greeted + "The volume stays at 1 (SYMBOL+LOUD raises it).\n");
  EXPECT_EQ(result.exit_code, 0);

  // The report is for apply only.
  result =
      RunConsole({"d.qrl", "reverse", root, "MACRO{NAME}=world"}, dir_.path());
  EXPECT_EQ(result.out.find("Greeted"), std::string::npos) << result.out;

  result =
      RunConsole({"d.qrl", "apply", root, "MACRO{NAME}=world", "SYMBOL+LOUD"},
                 dir_.path());
  EXPECT_EQ(result.out, BannerLine() + greeted + "The volume is up: 3.\n");
}

}  // namespace

namespace {

TEST(ComplexRunLimits, ACommandThatNeverStopsWritingEndsTheRunWithThree) {
  // Its output would become the buffer: past 256 MiB the command is killed
  // and the run ends, before memory runs out.
  ScratchDir dir;
  BuildPackageFromJson(R"({"levels": [{"kind": "Complex",
      "presentation": "Yes", "code": ["MESSAGE before", "IFEXECUTECOMMAND yes",
      "MESSAGE never"]}]})",
                       dir.Path("q.qrl"));
  const ProgramResult result = RunConsole({"q.qrl", "apply"}, dir.path());
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_EQ(result.err,
            "qrlconsole: APPLY: level 1 PROCESS WITH PRESENTATION: Yes: the "
            "command's output grew past 268435456 bytes\n");
  // What was collected is still printed.
  EXPECT_EQ(result.out, BannerLine() + "before\n");
}

}  // namespace
