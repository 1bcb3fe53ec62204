// End-to-end tests of the real binaries under a file size limit (RLIMIT_FSIZE
// lowered with prlimit): a write past the limit is an ordinary write error,
// reported as such; the old bytes stay and no temporary file is left.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

// Big enough for the package, the backup and the small files; too small
// for the large ones.
constexpr int kLimit = 4096;

class FileSizeLimitEndToEnd : public ::testing::Test {
 protected:
  ProgramResult Run(const char* binary, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {
        "/usr/bin/prlimit", "--fsize=" + std::to_string(kLimit), binary};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, dir_.path());
  }

  ScratchDir dir_;
  const std::string large_ = std::string(2 * kLimit, 'x');
};

TEST_F(FileSizeLimitEndToEnd, ApplyReportsTheLevelAndKeepsTheOldFile) {
  WriteFile(dir_.Path("big.txt"), "old");
  BuildPackageFromJson(
      R"({"levels": [{"kind": "FileExport", "presentation": "Big",
          "entries": [{"path": "big.txt", "lines": [")" +
          large_ + R"("]}]}]})",
      dir_.Path("q.qrl"));
  const ProgramResult result = Run(QRLCONSOLE_BIN, {"q.qrl", "apply"});
  EXPECT_EQ(result.out, BannerLine() +
                            "ERROR! FILE big.txt CAN'T BE SAVED! CAN'T "
                            "APPLY LEVEL 1 PROCESS WITH PRESENTATION: Big\n");
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_EQ(result.err,
            "qrlconsole: cannot write big.txt: File too large\n"
            "qrlconsole: apply stopped: FILE big.txt CAN'T BE SAVED! CAN'T "
            "APPLY LEVEL 1 PROCESS WITH PRESENTATION: Big\n");
  EXPECT_EQ(ReadFile(dir_.Path("big.txt")), "old");
  EXPECT_EQ(DirectoryEntries(dir_.path()),
            (std::vector<std::string>{"big.txt", "q.qrl"}));
}

TEST_F(FileSizeLimitEndToEnd, FileLargerThanTheLimitFailsOnlyItsLevel) {
  // The file is larger than the limit before anything runs; the level's own
  // line is the whole report, with the exit code its severity gives.
  std::string big;
  for (int i = 0; big.size() <= 2 * kLimit; ++i) {
    big += "line " + std::to_string(i) + "\n";
  }
  WriteFile(dir_.Path("big.txt"), big);
  BuildPackageFromJson(
      R"({"levels": [{"kind": "Normal", "presentation": "Big", "severity": 2,
          "entries": [{"path": "big.txt", "lines": ["line 5"]}],
          "code": ["line five"]}]})",
      dir_.Path("q.qrl"));
  const ProgramResult apply = Run(QRLCONSOLE_BIN, {"q.qrl", "apply"});
  EXPECT_EQ(apply.out, BannerLine() +
                           "WARNING! FILE big.txt CAN'T BE SAVED! CAN'T "
                           "APPLY LEVEL 1 PROCESS WITH PRESENTATION: Big\n");
  EXPECT_EQ(apply.err, "qrlconsole: cannot write big.txt: File too large\n");
  EXPECT_EQ(apply.exit_code, 0);  // a warning
  EXPECT_EQ(ReadFile(dir_.Path("big.txt")), big);

  // Applied without the limit, then reversed under it: a failed reverse.
  ASSERT_EQ(RunConsole({"q.qrl", "apply"}, dir_.path()).exit_code, 0);
  const std::string applied = ReadFile(dir_.Path("big.txt"));
  const ProgramResult reverse = Run(QRLCONSOLE_BIN, {"q.qrl", "reverse"});
  EXPECT_EQ(reverse.out, BannerLine() +
                             "FILE big.txt CAN'T BE SAVED! CAN'T REVERSE "
                             "LEVEL 1 PROCESS WITH PRESENTATION: Big\n");
  EXPECT_EQ(reverse.err,
            "qrlconsole: cannot write big.txt: File too large\n"
            "qrlconsole: reverse: 1 of 1 level could not be reversed; see "
            "the report\n");
  EXPECT_EQ(reverse.exit_code, 0);
  EXPECT_EQ(ReadFile(dir_.Path("big.txt")), applied);
  EXPECT_EQ(DirectoryEntries(dir_.path()),
            (std::vector<std::string>{"big.txt", "q.qrl"}));
}

TEST_F(FileSizeLimitEndToEnd, CreateBackupFailsWithoutABackup) {
  WriteFile(dir_.Path("big.txt"), large_);
  BuildPackageFromJson(
      R"({"levels": [{"kind": "FileExport", "presentation": "Big",
          "entries": [{"path": "big.txt", "lines": ["new"]}]}]})",
      dir_.Path("q.qrl"));
  const ProgramResult result = Run(QRLCONSOLE_BIN, {"q.qrl", "createbackup"});
  EXPECT_EQ(result.out,
            BannerLine() + "Unable to save content in q.qrl.backup\n");
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_EQ(result.err,
            "qrlconsole: createbackup failed: Unable to save content in "
            "q.qrl.backup (cannot write q.qrl.backup: File too large)\n");
  EXPECT_EQ(DirectoryEntries(dir_.path()),
            (std::vector<std::string>{"big.txt", "q.qrl"}));
}

TEST_F(FileSizeLimitEndToEnd, RestoreBackupFailsAndKeepsThePresentFile) {
  WriteFile(dir_.Path("q.qrl.backup"), Serialize({"\x01", dir_.Path("big.txt"),
                                                  dir_.path() + "/", large_}));
  WriteFile(dir_.Path("big.txt"), "present");
  // The backup itself is larger than the limit, but reading is not limited.
  const ProgramResult result =
      Run(QRLCONSOLE_BIN, {"q.qrl.backup", "restorebackup"});
  EXPECT_EQ(result.out, BannerLine() + "Unable to write to file " +
                            dir_.Path("big.txt") + "\n");
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_EQ(result.err,
            "qrlconsole: restorebackup failed: Unable to write "
            "to file " +
                dir_.Path("big.txt") + " (cannot write " +
                dir_.Path("big.txt") + ": File too large)\n");
  EXPECT_EQ(ReadFile(dir_.Path("big.txt")), "present");
  EXPECT_EQ(DirectoryEntries(dir_.path()),
            (std::vector<std::string>{"big.txt", "q.qrl.backup"}));
}

TEST_F(FileSizeLimitEndToEnd, QrlpackReportsTheWriteError) {
  WriteFile(dir_.Path("d.json"),
            R"({"levels": [{"kind": "FileExport", "entries": [{"path": "f",
                "lines": [")" +
                large_ + R"("]}]}]})");
  WriteFile(dir_.Path("out.qrl"), "old");
  const ProgramResult result =
      Run(QRLPACK_BIN, {"build", "d.json", "-o", "out.qrl"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find("File too large"), std::string::npos) << result.err;
  EXPECT_EQ(ReadFile(dir_.Path("out.qrl")), "old");
  EXPECT_EQ(DirectoryEntries(dir_.path()),
            (std::vector<std::string>{"d.json", "out.qrl"}));
}

}  // namespace
