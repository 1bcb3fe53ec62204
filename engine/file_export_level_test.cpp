#include "engine/file_export_level.h"

#include <filesystem>

#include "gtest/gtest.h"
#include "package/level_record.h"
#include "tests/driver_runs.h"
#include "tests/test_util.h"

namespace {

using namespace std::string_literals;

class FileExportLevelTest : public ::testing::Test {
 protected:
  static LevelSpec Export(FileEntrySpec entry) {
    LevelSpec level;
    level.kind = "3";
    level.presentation = "Export";
    level.entries = {std::move(entry)};
    return level;
  }

  ScratchDir dir_{ScratchDir::Enter::kYes};
};

TEST_F(FileExportLevelTest, WritesTextOrBytesCreatingMissingDirectories) {
  struct Case {
    FileEntrySpec entry;
    std::string file;  // relative to the scratch directory
    std::string content;
  };
  const std::vector<Case> cases = {
      {{"/", dir_.Path("new/deep/t.txt"), "0", {"a", "b"}, ""},
       "new/deep/t.txt",
       "a\nb\n"},
      {{"/", dir_.Path("b.bin"), "1", {}, "\0\xff\r\n"s},
       "b.bin",
       "\0\xff\r\n"s},
      {{"/", dir_.Path("empty.txt"), "0", {}, ""}, "empty.txt", ""},
      // Written as "\" paths; no directory part means the working
      // directory.
      {{"\\", "sub\\w.txt", "0", {"w"}, ""}, "sub/w.txt", "w\n"},
      {{"/", "here.txt", "1", {}, "here"}, "here.txt", "here"},
  };
  for (const Case& c : cases) {
    const DriverRun run = RunApply({Export(c.entry)});
    EXPECT_TRUE(run.output.Empty()) << c.file;
    EXPECT_EQ(ReadFile(dir_.Path(c.file)), c.content) << c.file;
  }
  // An existing file is replaced and keeps its mode; reverse leaves it.
  WriteFile(dir_.Path("b.bin"), "old contents", 0600);
  const LevelSpec level = Export({"/", dir_.Path("b.bin"), "1", {}, "new"});
  RunApply({level});
  RunReverse({level});
  EXPECT_EQ(ReadFile(dir_.Path("b.bin")), "new");
  EXPECT_EQ(FileMode(dir_.Path("b.bin")), 0600u);
}

TEST_F(FileExportLevelTest, FailuresWriteNothing) {
  WriteFile(dir_.Path("plain"), "a file");
  std::filesystem::create_directory(dir_.Path("folder"));
  struct Case {
    LevelSpec level;
    std::string line;
  };
  const std::string tail = " PROCESS WITH PRESENTATION: Export";
  LevelSpec no_entry = Export({});
  no_entry.entries.clear();
  const std::vector<Case> cases = {
      {Export({"/", dir_.Path("plain/sub/x.txt"), "0", {"x"}, ""}),
       "WARNING! DIRECTORY " + dir_.Path("plain/sub/") +
           " DOESN'T EXIST AND CAN'T BE CREATED! CAN'T APPLY LEVEL 1" + tail},
      {Export({"/", dir_.Path("folder"), "1", {}, "x"}),
       "WARNING! FILE " + dir_.Path("folder") +
           " CAN'T BE SAVED! CAN'T APPLY LEVEL 1" + tail},
      {no_entry, "WARNING! FILE  CAN'T BE SAVED! CAN'T APPLY LEVEL 1" + tail},
      // An unknown content type writes nothing and succeeds.
      {Export({"/", dir_.Path("unknown.txt"), "2", {}, "x"}), ""},
  };
  for (const Case& c : cases) {
    const DriverRun run = RunApply({c.level});
    EXPECT_EQ(run.output.Text(), c.line.empty() ? "" : c.line + "\n");
  }
  EXPECT_EQ(ReadFile(dir_.Path("plain")), "a file");
  EXPECT_FALSE(Exists(dir_.Path("unknown.txt")));

  // Text content that does not decode is not written as an empty file.
  const std::string file = dir_.Path("damaged.txt");
  TFASTMEMLIST record;
  ASSERT_TRUE(record.LoadFromData(LevelRecord(Export({}))));
  record.Put(kFileEntries,
             Serialize({Serialize({"/", file, "0", "\x01\x05"})}));
  const LevelOutcome outcome = RunHandler(ApplyFileExportLevel, record, "1");
  EXPECT_EQ(outcome.message,
            "FILE " + file + " CAN'T BE SAVED! CAN'T APPLY LEVEL 1" + tail);
  EXPECT_FALSE(Exists(file));
}

TEST_F(FileExportLevelTest, PathWithANulByteIsRefused) {
  // The system would see "keep.txt" in each case.
  WriteFile(dir_.Path("keep.txt"), "old");
  TSETTINGSBLOCK settings;
  settings.macros = MacroData({{"{TAIL}", "\0.new"s}});
  const std::string tail =
      " CAN'T BE SAVED! CAN'T APPLY LEVEL 1 PROCESS "
      "WITH PRESENTATION: Export";
  for (const std::string& path : {"keep.txt\0.new"s, "keep.txt{TAIL}"s}) {
    const DriverRun run =
        RunApply({Export({"/", path, "1", {}, "new"})}, settings);
    EXPECT_EQ(run.output, (LineList{"WARNING! FILE keep.txt\0.new"s + tail}));
    EXPECT_EQ(ReadFile(dir_.Path("keep.txt")), "old");
  }
  EXPECT_EQ(DirectoryEntries(dir_.path()),
            (std::vector<std::string>{"keep.txt"}));
}

}  // namespace
