#include "engine/normal_level.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "gtest/gtest.h"
#include "tests/driver_runs.h"
#include "tests/test_util.h"

namespace {

using namespace std::string_literals;

TSETTINGSBLOCK Frame(uint8_t position) {
  TSETTINGSBLOCK settings;
  settings.level_marker = {"// LEVEL ", " >", position};
  settings.label_marker = {"// ", "", position};
  settings.comment_block = {"/*", "*/", position};
  return settings;
}

TEST(WrapCode, FramesTheCodeAsThePositionsSay) {
  const LineList comments = {"why"};
  LineList before = {"code"};
  WrapCode(Frame(kMarkerBefore), comments, "Label", "3", &before);
  EXPECT_EQ(before,
            (LineList{"// LEVEL 3 >", "// Label", "/*", "why", "*/", "code"}));
  LineList after = {"code"};
  WrapCode(Frame(kMarkerAfter), comments, "Label", "3", &after);
  EXPECT_EQ(after,
            (LineList{"code", "/*", "why", "*/", "// Label", "// LEVEL 3 >"}));
  // No comment lines: no header or trailer; an empty label still gives its
  // line; position 0 leaves a group out.
  TSETTINGSBLOCK settings = Frame(kMarkerBefore);
  settings.level_marker.position = kMarkerNone;
  LineList bare = {"code"};
  WrapCode(settings, LineList{}, "", "3", &bare);
  EXPECT_EQ(bare, (LineList{"// ", "code"}));
}

TEST(ReplaceCode, TextMatchesTrimmedLinesIgnoringCaseFirstOccurrence) {
  std::string content = "x\r\nBEGIN  \r\n  x := 1; \r\nbegin\nx := 1;\n";
  const std::string block = Serialize({"begin", "   x := 1;"});
  ASSERT_TRUE(ReplaceCode(&content, block, "0", Serialize({"new"}), "0"));
  EXPECT_EQ(content, "x\nnew\nbegin\nx := 1;\n");

  std::string as_line = "a\nb\nc";
  ASSERT_TRUE(ReplaceCode(&as_line, Serialize({"b"}), "0", "raw\0"s, "1"));
  EXPECT_EQ(as_line, "a\nraw\0\nc\n"s);

  std::string unchanged = "a\r\nb";
  EXPECT_FALSE(ReplaceCode(&unchanged, Serialize({}), "0", "", "0"));
  EXPECT_FALSE(ReplaceCode(&unchanged, Serialize({"z"}), "0", "", "0"));
  EXPECT_FALSE(ReplaceCode(&unchanged, Serialize({"a"}), "0", "", "2"));
  EXPECT_FALSE(ReplaceCode(&unchanged, "a", "2", "", "1"));
  EXPECT_EQ(unchanged, "a\r\nb");
}

TEST(ReplaceCode, BytesAreReplacedWhereTheyStandWithoutDuplication) {
  std::string content = "head OLD tail OLD"s;
  ASSERT_TRUE(ReplaceCode(&content, "OLD", "1", "\0new\0"s, "1"));
  EXPECT_EQ(content, "head \0new\0 tail OLD"s);
  ASSERT_TRUE(ReplaceCode(&content, "OLD", "1", "", "1"));
  EXPECT_EQ(content, "head \0new\0 tail "s);
  EXPECT_FALSE(ReplaceCode(&content, "absent", "1", "x", "1"));
}

class NormalLevelTest : public ::testing::Test {
 protected:
  // A Normal level on `file`, replacing `old_code` (lines or bytes).
  LevelSpec Level(const std::string& file, FileEntrySpec entry,
                  std::vector<std::string> code) {
    LevelSpec level;
    level.number = "4";
    level.presentation = "Fix";
    level.label = "fix";
    level.comment_lines = {"why"};
    entry.path = file;
    level.entries = {entry};
    level.code = std::move(code);
    return level;
  }

  ScratchDir dir_;
};

TEST_F(NormalLevelTest, ApplyFramesTheCodeAndReverseRestoresTheLines) {
  const std::string file = dir_.Path("unit.pas");
  const std::string original = "program p;\r\nbegin\r\n  x := 1;\r\nend.\r\n";
  WriteFile(file, original, 0640);
  const LevelSpec level = Level(file, {"/", "", "0", {"BEGIN", "x := 1;"}, ""},
                                {"0", "begin", "  x := 2;"});
  DriverRun run = RunApply({level}, Frame(kMarkerBefore));
  EXPECT_TRUE(run.output.Empty());
  EXPECT_EQ(ReadFile(file),
            "program p;\n// LEVEL 4 >\n// fix\n/*\nwhy\n*/\nbegin\n  x := "
            "2;\nend.\n");
  EXPECT_EQ(FileMode(file), 0640u);

  // A different frame does not match what was applied.
  TSETTINGSBLOCK other = Frame(kMarkerBefore);
  other.label_marker.prefix = "# ";
  run = RunReverse({level}, other);
  EXPECT_EQ(run.output,
            (LineList{"FILE " + file +
                      " DOESN'T CONTAIN THE OBSOLETE CODE! CAN'T REVERSE "
                      "LEVEL 4 PROCESS WITH PRESENTATION: Fix"}));

  run = RunReverse({level}, Frame(kMarkerBefore));
  EXPECT_TRUE(run.output.Empty());
  EXPECT_EQ(ReadFile(file), "program p;\nBEGIN\nx := 1;\nend.\n");
}

TEST_F(NormalLevelTest, MissingObsoleteCodeFailsWithAnEmptyMessage) {
  const std::string file = dir_.Path("a.txt");
  WriteFile(file, "nothing here\n");
  LevelSpec level = Level(file, {"/", "", "0", {"absent"}, ""}, {"0", "x"});
  level.severity = "2";
  // Under apply the local requirement (the obsolete code) fails first...
  const DriverRun run = RunApply({level});
  EXPECT_EQ(run.output,
            (LineList{"WARNING! LOCAL REQUIREMENTS ARE NOT FULFILLED FOR LEVEL "
                      "4 PROCESS WITH PRESENTATION: Fix"}));
  // ...so the handler's own failure has no message to add.
  TFASTMEMLIST record;
  ASSERT_TRUE(record.LoadFromData(LevelRecord(level)));
  const LevelOutcome outcome = RunHandler(ApplyNormalLevel, record, "4");
  EXPECT_FALSE(outcome.success);
  EXPECT_EQ(outcome.message, "");
  EXPECT_EQ(ReadFile(file), "nothing here\n");
}

TEST_F(NormalLevelTest, BinaryCodePutsExactlyItsBytes) {
  struct Case {
    const char* name;
    FileEntrySpec old_code;
    std::vector<std::string> new_code;
    std::string before;
    std::string applied;
    std::string reversed;
  };
  const std::vector<Case> cases = {
      {"bytes for bytes",
       {"/", "", "1", {}, "OLD"},
       {"1", "\0NEW\xff"s},
       "head OLD tail",
       "head \0NEW\xff tail"s,
       "head OLD tail"},
      {"text for bytes",
       {"/", "", "1", {}, "OLD"},
       {"0", "new line"},
       "head OLD tail",
       "head // LEVEL 4 >\n// fix\n/*\nwhy\n*/\nnew line\n tail",
       "head OLD tail"},
      {"bytes for text",
       {"/", "", "0", {"old"}, ""},
       {"1", "BYTES"},
       "a\r\nold\r\nb\r\n",
       "a\nBYTES\nb\n",
       "a\nold\nb\n"},
  };
  for (const Case& c : cases) {
    const std::string file = dir_.Path("f.bin");
    WriteFile(file, c.before);
    const LevelSpec level = Level(file, c.old_code, c.new_code);
    DriverRun run = RunApply({level}, Frame(kMarkerBefore));
    EXPECT_TRUE(run.output.Empty()) << c.name;
    EXPECT_EQ(ReadFile(file), c.applied) << c.name;
    run = RunReverse({level}, Frame(kMarkerBefore));
    EXPECT_TRUE(run.output.Empty()) << c.name;
    EXPECT_EQ(ReadFile(file), c.reversed) << c.name;
  }
}

TEST_F(NormalLevelTest, ReverseRemovesTheSerializedFormOfEarlierVersions) {
  // Files changed by earlier versions hold the serialized code list where
  // bytes were put; reverse takes it out whole, length header included.
  const std::string file = dir_.Path("old.bin");
  const std::string serialized = Serialize({"NEW"});
  WriteFile(file, "head " + serialized + " tail");
  const LevelSpec level = Level(file, {"/", "", "1", {}, "OLD"}, {"1", "NEW"});
  const DriverRun run = RunReverse({level});
  EXPECT_TRUE(run.output.Empty());
  EXPECT_EQ(ReadFile(file), "head OLD tail");

  WriteFile(file, "a\n" + serialized + "\nb\n");
  const LevelSpec line_level =
      Level(file, {"/", "", "0", {"old", "lines"}, ""}, {"1", "NEW"});
  RunReverse({line_level});
  EXPECT_EQ(ReadFile(file), "a\nold\nlines\nb\n");
}

TEST_F(NormalLevelTest, RewriteKeepsLinksAndReportsFilesItCannotReach) {
  const std::string target = dir_.Path("real.txt");
  const std::string link = dir_.Path("link.txt");
  WriteFile(target, "old\n", 0600);
  std::filesystem::create_symlink("real.txt", link);
  const LevelSpec level =
      Level(link, {"/", "", "0", {"old"}, ""}, {"0", "new"});
  EXPECT_TRUE(RunApply({level}).output.Empty());
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFile(target), "new\n");
  EXPECT_EQ(FileMode(target), 0600u);

  const std::string missing = dir_.Path("missing.txt");
  const LevelSpec gone = Level(missing, {"/", "", "0", {"x"}, ""}, {"0", "y"});
  EXPECT_EQ(RunReverse({gone}).output,
            (LineList{"FILE " + missing +
                      " DOESN'T EXIST! CAN'T REVERSE LEVEL 4 PROCESS WITH "
                      "PRESENTATION: Fix"}));
}

TEST_F(NormalLevelTest, FailedWriteKeepsTheOldFileAndSaysCantBeSaved) {
  const std::string file = dir_.Path("big.txt");
  const std::string original = "keep\n" + std::string(4000, 'k') + "\n";
  WriteFile(file, original);
  const LevelSpec level =
      Level(file, {"/", "", "0", {"keep"}, ""}, {"0", std::string(9000, 'n')});
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    // A file size limit makes the write fail part way.
    ::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit = {6000, 6000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const DriverRun run = RunApply({level});
    const std::string text = run.output.Text();
    const ssize_t written = ::write(pipe_fds[1], text.data(), text.size());
    ::_exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
  }
  ::close(pipe_fds[1]);
  std::string output;
  char chunk[512];
  for (ssize_t n; (n = ::read(pipe_fds[0], chunk, sizeof chunk)) > 0;) {
    output.append(chunk, static_cast<size_t>(n));
  }
  ::close(pipe_fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_EQ(output, "WARNING! FILE " + file +
                        " CAN'T BE SAVED! CAN'T APPLY LEVEL 4 PROCESS WITH "
                        "PRESENTATION: Fix\n");
  EXPECT_EQ(ReadFile(file), original);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()),
                          std::filesystem::directory_iterator()),
            1);  // no temporary file left
}

TEST_F(NormalLevelTest, APathWithANulByteIsNeverCutShort) {
  // The system would see "keep.txt" alone: the level's own entry names a
  // file that cannot be read, so its requirements do not hold.
  const std::string keep = dir_.Path("keep.txt");
  WriteFile(keep, "old\n");
  const std::string named = keep + std::string(1, '\0') + ".new";
  const LevelSpec level =
      Level(named, {"/", "", "0", {"old"}, ""}, {"0", "new"});
  EXPECT_EQ(RunApply({level}).output,
            (LineList{"WARNING! LOCAL REQUIREMENTS ARE NOT FULFILLED FOR LEVEL "
                      "4 PROCESS WITH PRESENTATION: Fix"}));
  RunReverse({level});
  EXPECT_EQ(ReadFile(keep), "old\n");
}

}  // namespace
