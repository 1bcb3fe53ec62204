#include "engine/file_directory_level.h"

#include <unistd.h>

#include <filesystem>

#include "gtest/gtest.h"
#include "tests/driver_runs.h"
#include "tests/test_util.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class FileDirectoryLevelTest : public ::testing::Test {
 protected:
  static LevelSpec Lines(std::vector<std::string> lines) {
    LevelSpec level;
    level.kind = "4";
    level.presentation = "Tree";
    level.code = {"0"};
    level.code.insert(level.code.end(), lines.begin(), lines.end());
    return level;
  }

  static std::string Failed(const std::string& line,
                            const std::string& number = "1") {
    return "FILE/DIRECTORY " + line +
           " CAN'T CREATED/REMOVED! CAN'T APPLY LEVEL " + number +
           " PROCESS WITH PRESENTATION: Tree";
  }

  ScratchDir dir_{ScratchDir::Enter::kYes};
};

TEST_F(FileDirectoryLevelTest, ApplyWalksForwardAndReverseUndoesBackward) {
  WriteFile(dir_.Path("tmp/q/old.txt"), "old content");
  WriteFile(dir_.Path("tmp/q/a/f.txt"), "replaced by an empty file");
  const LevelSpec level =
      Lines({"+/tmp/q/a/", "+/tmp/q/a/f.txt", "-/tmp/q/old.txt", "+/",
             "*/skipped/", "", "+\\tmp\\q\\b\\c\\", "+/" + dir_.Path("abs/")});
  DriverRun run = RunApply({level});
  EXPECT_TRUE(run.output.Empty());
  EXPECT_EQ(ReadFile(dir_.Path("tmp/q/a/f.txt")), "");
  EXPECT_FALSE(Exists(dir_.Path("tmp/q/old.txt")));
  EXPECT_TRUE(fs::is_directory(dir_.Path("tmp/q/b/c")));
  EXPECT_TRUE(fs::is_directory(dir_.Path("abs")));
  EXPECT_FALSE(Exists(dir_.Path("skipped")));

  WriteFile(dir_.Path("tmp/q/a/more/inside.txt"), "x");
  run = RunReverse({level});
  EXPECT_TRUE(run.output.Empty());
  EXPECT_FALSE(Exists(dir_.Path("abs")));
  EXPECT_FALSE(Exists(dir_.Path("tmp/q/b/c")));
  EXPECT_TRUE(fs::is_directory(dir_.Path("tmp/q/b")));
  EXPECT_EQ(ReadFile(dir_.Path("tmp/q/old.txt")), "");  // back, but empty
  EXPECT_FALSE(Exists(dir_.Path("tmp/q/a")));
}

TEST_F(FileDirectoryLevelTest, FirstFailureEndsTheWalkWithoutUndoing) {
  WriteFile(dir_.Path("file"), "x");
  struct Case {
    std::vector<std::string> lines;
    std::string failing;
  };
  const std::vector<Case> cases = {
      {{"+/made/", "-/missing.txt", "+/later/"}, "-/missing.txt"},
      {{"+/made/", "-/missing/", "+/later/"}, "-/missing/"},
      {{"+/made/", "+/file/sub/", "+/later/"}, "+/file/sub/"},
      {{"+/made/", "+/file/f.txt", "+/later/"}, "+/file/f.txt"},
      {{"+/made/", "-/made", "+/later/"}, "-/made"},  // a directory as file
  };
  for (const Case& c : cases) {
    const DriverRun run = RunApply({Lines(c.lines)});
    EXPECT_EQ(run.output, LineList{"WARNING! " + Failed(c.failing)})
        << c.failing;
    EXPECT_TRUE(fs::is_directory(dir_.Path("made"))) << c.failing;
    EXPECT_FALSE(Exists(dir_.Path("later"))) << c.failing;
    fs::remove_all(dir_.Path("made"));
  }
  // Reverse writes the same text, unprefixed, and also stops there.
  const DriverRun run = RunReverse({Lines({"+/later/", "+/gone.txt"})});
  EXPECT_EQ(run.output, LineList{Failed("+/gone.txt")});
}

TEST_F(FileDirectoryLevelTest, TreeRemovalNeverReachesOutsideTheTree) {
  WriteFile(dir_.Path("outside/keep.txt"), "keep");
  WriteFile(dir_.Path("tree/sub/f.txt"), "x");
  fs::create_directory_symlink(dir_.Path("outside"), dir_.Path("tree/sub/l"));
  fs::create_directory_symlink(dir_.Path("outside"), dir_.Path("link"));
  const DriverRun run = RunApply({Lines({"-/tree/", "-/link/"})});
  EXPECT_TRUE(run.output.Empty());
  EXPECT_FALSE(Exists(dir_.Path("tree")));
  EXPECT_FALSE(Exists(dir_.Path("link")));
  EXPECT_EQ(ReadFile(dir_.Path("outside/keep.txt")), "keep");
}

TEST_F(FileDirectoryLevelTest, PathsWithANulByteAreRefused) {
  // The system would see "keep.txt" and "tree/" (or "tree" for a file).
  WriteFile(dir_.Path("keep.txt"), "keep");
  WriteFile(dir_.Path("tree/f"), "f");
  for (const std::string& line :
       {"-/keep.txt\0.bak"s, "-/tree/\0x/"s, "-/tree\0/"s}) {
    const DriverRun run = RunApply({Lines({line})});
    EXPECT_EQ(run.output, LineList{"WARNING! " + Failed(line)});
  }
  const DriverRun run = RunReverse({Lines({"+/tree\0/"s})});
  EXPECT_EQ(run.output, LineList{Failed("+/tree\0/"s)});
  EXPECT_EQ(TreeContents(dir_.path()),
            (FileTree{{"keep.txt", "keep"}, {"tree/", ""}, {"tree/f", "f"}}));
}

TEST_F(FileDirectoryLevelTest, RootDirectoryIsNeverRemoved) {
  // Inside a chroot of the scratch directory "/" is the scratch directory,
  // so a fault here could only empty that.
  WriteFile(dir_.Path("canary.txt"), "alive");
  const ProgramResult child = RunInChild([&] {
    if (::chroot(dir_.path().c_str()) != 0 || ::chdir("/") != 0) {
      ::_exit(2);
    }
    LevelSpec dot = Lines({"-/./"});
    dot.number = "2";
    return RunApply({Lines({"-//", "+/after/"}), dot}).output.Text();
  });
  if (child.exit_code == 2) {
    GTEST_SKIP() << "chroot needs root";
  }
  EXPECT_EQ(child.out, "WARNING! " + Failed("-//") + "\nWARNING! " +
                           Failed("-/./", "2") + "\n");
  EXPECT_EQ(ReadFile(dir_.Path("canary.txt")), "alive");
  EXPECT_FALSE(Exists(dir_.Path("after")));
}

}  // namespace
