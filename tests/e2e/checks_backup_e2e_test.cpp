// End-to-end tests of EXECUTECHECKS, CREATEBACKUP and RESTOREBACKUP: the
// real binary on a scratch tree, with packages built from JSON descriptions
// by the real qrlpack; standard output byte for byte, the exit code and the
// files left.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

// A Requirement level with a duplicate entry, an External level with odd
// paths and FileDirectoryCreationRemoval lines with odd separators.
const char kChecksFixture[] = "tests/e2e/fixtures/checks.json";

// Greets by name in src/greeting.c; with +LOUD also raises the volume in
// src/config.h.
const char kGreetingFixture[] = "tests/e2e/fixtures/greeting.json";

// Changes a file, replaces another, writes a new one under new
// directories, creates a directory tree and removes another with all it
// holds, and removes a file.
const char kRoundTripFixture[] = "tests/e2e/fixtures/backup_round_trip.json";

using namespace std::string_literals;

class ChecksBackupEndToEnd : public ::testing::Test {
 protected:
  void Build(const std::string& fixture_or_json) {
    BuildPackageFromJson(fixture_or_json.starts_with("{")
                             ? fixture_or_json
                             : SourcePath(fixture_or_json),
                         dir_.Path("q.qrl"));
  }

  ProgramResult Run(const std::vector<std::string>& args) {
    return RunConsole(args, dir_.path());
  }

  std::string Root() const { return "MACRO{ROOT}=" + tree_; }

  ScratchDir dir_;
  const std::string tree_ = dir_.Path("tree/");
};

TEST_F(ChecksBackupEndToEnd, ExecuteChecksPrintsEveryWarningAndExitsZero) {
  Build(kChecksFixture);
  const ProgramResult result =
      Run({"q.qrl", "ExecuteChecks", "MACRO{A}=1", "MACRO{A}=2", "SYMBOL x"});
  EXPECT_EQ(
      result.out,
      BannerLine() +
          "WARNING! Duplicate macro found \"{A}\".\n"
          "WARNING! Initial working directory line is empty at: External "
          "with presentation: \"Rebuild\"\n"
          "WARNING! Found \"src\" External process with strange directory "
          "separator: \"s\". Usually \"/\" or \"\\\" is used.\n"
          "WARNING! Found \"-:{ROOT}old\" file/directory_creation/removal "
          "process with strange directory separator: \":\". Usually \"/\" or "
          "\"\\\" is used.\n"
          "WARNING! Found \"+/\" file/directory_creation/removal process with "
          "less than 3 characters.\n"
          "WARNING! Unpleasant practice detected at \" x\" symbol. Use of "
          "spaces at begin/end of a symbol is higly discouraged.\n"
          "WARNING! Found \" x\" symbol that starts with a character "
          "different than \"%\", \"+\", \"-\", \"*\" or \"/\".\n"
          "WARNING! Required symbol \"VANILLAIDE\" can't be found within "
          "declared symbols.\n"
          "WARNING! 1 entries regarding duplicate code requirements:\n"
          "Same requirement code can be found at index 0,0 and index 0,1\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(ChecksBackupEndToEnd, BackupApplyRestoreLeavesTheTreeAsItWas) {
  WriteFile(tree_ + "src/greeting.c",
            "int main(void) {\r\n    printf(\"Hello\\n\");\r\n}\r\n");
  WriteFile(tree_ + "src/config.h", "#define VOLUME 1\n");
  const auto before = TreeContents(tree_);
  Build(kGreetingFixture);

  const ProgramResult backup =
      Run({"q.qrl", "createbackup", Root(), "MACRO{NAME}=world"});
  EXPECT_EQ(backup.out, BannerLine() + "\n");
  EXPECT_EQ(backup.exit_code, 0);
  ASSERT_TRUE(Exists(dir_.Path("q.qrl.backup")));

  const ProgramResult apply =
      Run({"q.qrl", "apply", Root(), "MACRO{NAME}=world", "SYMBOL+LOUD"});
  EXPECT_EQ(apply.exit_code, 0) << apply.out;
  ASSERT_NE(TreeContents(tree_), before);

  const ProgramResult restore = Run({"q.qrl.backup", "RestoreBackup"});
  EXPECT_EQ(restore.out, BannerLine() + "\n");
  EXPECT_EQ(restore.exit_code, 0);
  EXPECT_EQ(TreeContents(tree_), before);
}

TEST_F(ChecksBackupEndToEnd, RestoreUndoesChangedCreatedAndRemovedTrees) {
  WriteFile(tree_ + "src/greeting.c",
            "int main(void) {\n    printf(\"Hello\\n\");\n}\n");
  WriteFile(tree_ + "src/obsolete.c", "old code\n");
  WriteFile(tree_ + "docs/notes.txt", "Notes\r\n");
  WriteFile(tree_ + "old/a.c", "a\n");
  WriteFile(tree_ + "old/sub/b.bin", "\0\x01\xff"s);
  ASSERT_EQ(::mkdir((tree_ + "old/empty").c_str(), 0755), 0);
  const auto before = TreeContents(tree_);
  Build(kRoundTripFixture);

  const ProgramResult backup = Run({"q.qrl", "CREATEBACKUP", Root()});
  EXPECT_EQ(backup.out, BannerLine() + "\n");
  EXPECT_EQ(backup.exit_code, 0);

  const ProgramResult apply = Run({"q.qrl", "apply", Root()});
  EXPECT_EQ(apply.out, BannerLine());
  EXPECT_EQ(apply.exit_code, 0);
  EXPECT_EQ(TreeContents(tree_),
            (std::map<std::string, std::string>{
                {"docs/", ""},
                {"docs/notes.txt", "Notes of the changed tree\n"},
                {"generated/", ""},
                {"generated/include/", ""},
                {"generated/include/version.h", "#define VERSION 2\n"},
                {"plugins/", ""},
                {"plugins/format/", ""},
                {"plugins/format/init.c", ""},
                {"src/", ""},
                {"src/greeting.c",
                 "int main(void) {\n/* QRL LEVEL 1 */\n    printf(\"Hello, "
                 "world!\\n\");\n}\n"},
            }));

  const ProgramResult restore = Run({"q.qrl.backup", "restorebackup"});
  EXPECT_EQ(restore.out, BannerLine() + "\n");
  EXPECT_EQ(restore.exit_code, 0);
  EXPECT_EQ(TreeContents(tree_), before);
}

TEST_F(ChecksBackupEndToEnd, FailedBackupExitsWithThreeSoNothingIsApplied) {
  WriteFile(tree_ + "a.txt", "old\n");
  Build(R"({"levels": [
    {"kind": "FileDirectoryCreationRemoval", "presentation": "Clean up",
     "code": ["-/{ROOT}missing/"]},
    {"kind": "Normal", "presentation": "Change a",
     "entries": [{"path": "{ROOT}a.txt", "lines": ["old"]}],
     "code": ["new"]}]})");
  // The shell's "&&" must not run the apply after a failed backup.
  const ProgramResult result = RunProgram(
      {"/bin/sh", "-c",
       "\"$0\" q.qrl createbackup \"$1\" && \"$0\" q.qrl apply \"$1\"; "
       "echo \"exit $?\"",
       QRLCONSOLE_BIN, Root()},
      dir_.path());
  EXPECT_EQ(result.out, BannerLine() + "Unable to read directoy content: " +
                            tree_ + "missing/\nexit 3\n");
  EXPECT_EQ(result.err,
            "qrlconsole: createbackup failed: Unable to read directoy "
            "content: " +
                tree_ + "missing/\n");
  EXPECT_FALSE(Exists(dir_.Path("q.qrl.backup")));
  EXPECT_EQ(ReadFile(tree_ + "a.txt"), "old\n");
}

TEST_F(ChecksBackupEndToEnd, FailedRestoreExitsWithThreeAndRestoresNothing) {
  const ProgramResult missing = Run({"none.backup", "restorebackup"});
  EXPECT_EQ(missing.out,
            BannerLine() + "Unable to read from file \"none.backup\"\n");
  EXPECT_EQ(missing.exit_code, 3);
  EXPECT_EQ(missing.err,
            "qrlconsole: restorebackup failed: Unable to read from file "
            "\"none.backup\" (cannot open: No such file or directory)\n");

  // A package is no backup: its item count is not a multiple of 4.
  Build(kGreetingFixture);
  const ProgramResult package = Run({"q.qrl", "restorebackup"});
  EXPECT_EQ(package.out, BannerLine() + "Unable to read from file \"q.qrl\"\n");
  EXPECT_EQ(package.exit_code, 3);
  EXPECT_TRUE(package.err.starts_with(
      "qrlconsole: restorebackup failed: Unable to read from file \"q.qrl\" "
      "(not a backup file: "))
      << package.err;
}

}  // namespace
