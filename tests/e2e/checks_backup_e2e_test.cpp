// End-to-end tests of EXECUTECHECKS, CREATEBACKUP and RESTOREBACKUP: the
// real binary in a scratch directory, its standard output byte for byte,
// its exit code and the files it leaves.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/package_builder.h"
#include "tests/test_util.h"

namespace {

class ChecksBackupEndToEnd : public ::testing::Test {
 protected:
  void WritePackage(const std::vector<LevelSpec>& levels,
                    const TSETTINGSBLOCK& settings = {}) {
    WriteFile(dir_.Path("q.qrl"), PackageData(levels, settings));
  }

  ProgramResult Run(const std::vector<std::string>& args) {
    return RunConsole(args, dir_.path());
  }

  ScratchDir dir_;
  const std::string tree_ = dir_.Path("tree");
};

TEST_F(ChecksBackupEndToEnd, ExecuteChecksPrintsEveryWarningAndExitsZero) {
  LevelSpec external;
  external.kind = "5";
  external.presentation = "Tool";
  external.requirements = "+VANILLAIDE";
  external.code = {"0", "", "", "/usr/bin/make", "src"};
  TSETTINGSBLOCK settings;
  settings.symbols = "+VANILLAIDE";
  WritePackage({external}, settings);
  const ProgramResult result =
      Run({"q.qrl", "ExecuteChecks", "MACRO{A}=1", "MACRO{A}=2", "SYMBOL x"});
  EXPECT_EQ(
      result.out,
      BannerLine() +
          "WARNING! Duplicate macro found \"{A}\".\n"
          "WARNING! Initial working directory line is empty at: External "
          "with presentation: \"Tool\"\n"
          "WARNING! Found \"src\" External process with strange directory "
          "separator: \"s\". Usually \"/\" or \"\\\" is used.\n"
          "WARNING! Unpleasant practice detected at \" x\" symbol. Use of "
          "spaces at begin/end of a symbol is higly discouraged.\n"
          "WARNING! Found \" x\" symbol that starts with a character "
          "different than \"%\", \"+\", \"-\", \"*\" or \"/\".\n"
          "WARNING! Required symbol \"VANILLAIDE\" can't be found within "
          "declared symbols.\n");
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(ChecksBackupEndToEnd, BackupApplyRestoreLeavesTheTreeAsItWas) {
  WriteFile(tree_ + "/src/main.c", "int main() {\n  return 1;\n}\n");
  WriteFile(tree_ + "/src/other.c", "other\n");
  const auto before = TreeContents(tree_);
  LevelSpec normal;
  normal.presentation = "Return zero";
  normal.entries = {{"/", "{ROOT}/src/main.c", "0", {"  return 1;"}, ""}};
  normal.code = {"0", "  return 0;"};
  WritePackage({normal});
  const std::string root = "MACRO{ROOT}=" + tree_;

  const ProgramResult backup = Run({"q.qrl", "createbackup", root});
  EXPECT_EQ(backup.out, BannerLine() + "\n");
  EXPECT_EQ(backup.exit_code, 0);
  ASSERT_TRUE(Exists(dir_.Path("q.qrl.backup")));

  const ProgramResult apply = Run({"q.qrl", "apply", root});
  EXPECT_EQ(apply.exit_code, 0) << apply.out;
  ASSERT_NE(TreeContents(tree_), before);

  const ProgramResult restore = Run({"q.qrl.backup", "RestoreBackup"});
  EXPECT_EQ(restore.out, BannerLine() + "\n");
  EXPECT_EQ(restore.exit_code, 0);
  EXPECT_EQ(TreeContents(tree_), before);
}

TEST_F(ChecksBackupEndToEnd, FailedBackupExitsWithThreeSoNothingIsApplied) {
  WriteFile(tree_ + "/a.txt", "old\n");
  const LevelSpec removal = CreationRemovalLevel({"-/" + tree_ + "/missing/"});
  LevelSpec normal;
  normal.entries = {{"/", tree_ + "/a.txt", "0", {"old"}, ""}};
  normal.code = {"0", "new"};
  WritePackage({removal, normal});
  // The shell's "&&" must not run the apply after a failed backup.
  const ProgramResult result = RunProgram(
      {"/bin/sh", "-c",
       "\"$0\" q.qrl createbackup && \"$0\" q.qrl apply; echo \"exit $?\"",
       QRLCONSOLE_BIN},
      dir_.path());
  EXPECT_EQ(result.out, BannerLine() + "Unable to read directoy content: " +
                            tree_ + "/missing/\nexit 3\n");
  EXPECT_FALSE(Exists(dir_.Path("q.qrl.backup")));
  EXPECT_EQ(ReadFile(tree_ + "/a.txt"), "old\n");
}

TEST_F(ChecksBackupEndToEnd, FailedRestoreExitsWithThree) {
  const ProgramResult missing = Run({"none.backup", "restorebackup"});
  EXPECT_EQ(missing.out,
            BannerLine() + "Unable to read from file \"none.backup\"\n");
  EXPECT_EQ(missing.exit_code, 3);

  // A package is no backup: its item count is not a multiple of 4.
  WritePackage({LevelSpec{}});
  const ProgramResult package = Run({"q.qrl", "restorebackup"});
  EXPECT_EQ(package.out, BannerLine() + "Unable to read from file \"q.qrl\"\n");
  EXPECT_EQ(package.exit_code, 3);
}

}  // namespace
