// End-to-end tests of what a rewrite does around the file it replaces: a
// target that is not a regular file is refused at once (a pipe without a
// reader must not make the run wait), temporary files that interrupted
// runs left beside it are removed, and the replacement of a read-only file
// is said on standard error.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

class ReplacementTargetsEndToEnd : public ::testing::Test {
 protected:
  // The console under a time limit, so that a run that waits fails the
  // test instead of hanging it.
  ProgramResult Console(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"/usr/bin/timeout", "60", QRLCONSOLE_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, dir_.path());
  }

  // Sets the modification time of the file to an hour ago.
  void MakeOld(const std::string& name) {
    const ProgramResult touched = RunProgram(
        {"/usr/bin/touch", "-h", "-d", "1 hour ago", dir_.Path(name)});
    ASSERT_EQ(touched.exit_code, 0) << touched.err;
  }

  void ExportPackage(const std::string& path) {
    BuildPackageFromJson(
        R"({"levels": [{"kind": "FileExport", "presentation": "Export",
            "entries": [{"path": ")" +
            path + R"(", "lines": ["new"]}]}]})",
        dir_.Path("q.qrl"));
  }

  ScratchDir dir_;
};

TEST_F(ReplacementTargetsEndToEnd, FileExportOntoAPipeFailsWithoutWaiting) {
  ASSERT_EQ(::mkfifo(dir_.Path("fifo").c_str(), 0644), 0);
  ExportPackage("fifo");
  const ProgramResult result = Console({"q.qrl", "apply"});
  const std::string failure =
      "FILE fifo CAN'T BE SAVED! CAN'T APPLY LEVEL 1 PROCESS WITH "
      "PRESENTATION: Export";
  EXPECT_EQ(result.out, BannerLine() + "ERROR! " + failure + "\n");
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_EQ(result.err,
            "qrlconsole: cannot write fifo: it is a device, pipe or socket, "
            "not a regular file\n"
            "qrlconsole: apply stopped: " +
                failure + "\n");
  struct stat st;
  ASSERT_EQ(::lstat(dir_.Path("fifo").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(DirectoryEntries(dir_.path()),
            (std::vector<std::string>{"fifo", "q.qrl"}));
}

TEST_F(ReplacementTargetsEndToEnd, RestoreBackupOntoAPipeFailsWithoutWaiting) {
  const std::string fifo = dir_.Path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  WriteFile(dir_.Path("q.qrl.backup"),
            Serialize({"\x01", fifo, dir_.path() + "/", "saved"}));
  const ProgramResult result = Console({"q.qrl.backup", "restorebackup"});
  EXPECT_EQ(result.out, BannerLine() + "Unable to create file " + fifo + "\n");
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_EQ(result.err,
            "qrlconsole: restorebackup failed: Unable to create "
            "file " +
                fifo + " (cannot write " + fifo +
                ": it is a device, pipe or socket, not a regular "
                "file)\n");
  struct stat st;
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(ReplacementTargetsEndToEnd, AWriteRemovesWhatInterruptedRunsLeftThere) {
  // In out/: a leftover of a killed run, one being written by a live run
  // (locked), one just created, and a file of another naming. The same
  // leftover in a directory the run does not write to stays.
  const std::vector<std::string> old = {
      "out/.qrl-tmp-Old001", "out/.qrl-tmp-Held01", "out/.qrl-tmp-Old01",
      "other/.qrl-tmp-Old001"};
  for (const std::string& name : old) {
    WriteFile(dir_.Path(name), "partial");
    MakeOld(name);
  }
  WriteFile(dir_.Path("out/.qrl-tmp-Fresh1"), "partial");
  const int holder =
      ::open(dir_.Path("out/.qrl-tmp-Held01").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  ExportPackage("out/new.txt");
  const ProgramResult result = Console({"q.qrl", "apply"});
  ::close(holder);
  EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(DirectoryEntries(dir_.Path("out")),
            (std::vector<std::string>{".qrl-tmp-Fresh1", ".qrl-tmp-Held01",
                                      ".qrl-tmp-Old01", "new.txt"}));
  EXPECT_EQ(DirectoryEntries(dir_.Path("other")),
            (std::vector<std::string>{".qrl-tmp-Old001"}));
  EXPECT_EQ(ReadFile(dir_.Path("out/new.txt")), "new\n");
}

TEST_F(ReplacementTargetsEndToEnd, ReplacingAReadOnlyFileIsSaid) {
  WriteFile(dir_.Path("ro.txt"), "old\n", 0444);
  ExportPackage("ro.txt");
  const ProgramResult result = Console({"q.qrl", "apply"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out.find("ERROR"), std::string::npos) << result.out;
  EXPECT_EQ(result.err, "qrlconsole: replaced the read-only file ro.txt\n");
  EXPECT_EQ(ReadFile(dir_.Path("ro.txt")), "new\n");
  EXPECT_EQ(FileMode(dir_.Path("ro.txt")), 0444u);
}

}  // namespace
