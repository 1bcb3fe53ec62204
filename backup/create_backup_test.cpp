#include "backup/create_backup.h"

#include <sys/stat.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/package_builder.h"
#include "tests/test_util.h"

namespace {

using namespace std::string_literals;

const std::string kExisted = "\x01";
const std::string kAbsent = "\0"s;

struct Record {
  std::string state;
  std::string path;
  std::string nearest;
  std::string content;

  bool operator==(const Record&) const = default;
};

void PrintTo(const Record& r, std::ostream* os) {
  *os << "{" << (r.state == kExisted ? "1" : "0") << ", " << r.path << ", "
      << r.nearest << ", " << r.content.size() << " bytes}";
}

std::vector<Record> Records(const std::string& backup_file) {
  TFASTMEMLIST list;
  EXPECT_TRUE(list.LoadFromFile(backup_file));
  std::vector<Record> records;
  for (uint64_t i = 0; i + 3 < list.Count(); i += 4) {
    records.push_back(
        {list.Get(i), list.Get(i + 1), list.Get(i + 2), list.Get(i + 3)});
  }
  return records;
}

LevelSpec Targeting(std::string kind, std::string separator, std::string path) {
  LevelSpec level;
  level.kind = std::move(kind);
  level.entries = {{separator, path, "0", {"new"}, ""},
                   {"/", "/requirement", "0", {"x"}, ""}};
  return level;
}

TEST(CollectBackupTargets, TargetFilesAndCreationRemovalLinesEachOnce) {
  LevelSpec external;
  external.kind = "5";
  external.code = {"0", "", "/s", "/bin/tool", "/run"};
  LevelSpec normal_without_entries;
  const std::vector<LevelSpec> levels = {
      Targeting("0", "/", "{ROOT}/a.txt"),
      Targeting("3", "\\", "\\w\\b.txt"),
      CreationRemovalLevel(
          {"+/{ROOT}/new/", "-/{ROOT}/a.txt", "+\\x\\y\\", "+/", "{X}/c"}),
      Targeting("0", "/", "{ROOT}/a.txt"),  // the same target again
      Targeting("1", "/", "/requirement"),
      Targeting("2", "/", "/complex"),
      external,
      normal_without_entries,
  };
  const TFASTMEMLIST list = LevelList(levels);
  TSETTINGSBLOCK settings;
  // Each macro once, in order: {ROOT} brought in by a later value stays.
  settings.macros =
      MacroData({{"{ROOT}", "/r{SUB}"}, {"{SUB}", "/s"}, {"{X}", "-/{ROOT}"}});
  EXPECT_EQ(
      CollectBackupTargets(list, settings, true).lines(),
      (std::vector<std::string>{"+//r/s/a.txt", "+\\/w/b.txt", "+//r/s/new/",
                                "-//r/s/a.txt", "+/x/y/", "+/", "-/{ROOT}/c"}));
  EXPECT_EQ(CollectBackupTargets(list, TSETTINGSBLOCK{}, false).lines(),
            (std::vector<std::string>{"+/{ROOT}/a.txt", "+\\\\w\\b.txt",
                                      "+/{ROOT}/new/", "-/{ROOT}/a.txt",
                                      "+\\x\\y\\", "+/", "{X}/c"}));
  EXPECT_EQ(list.SaveToString(), LevelList(levels).SaveToString());
}

class CreateBackupTest : public ::testing::Test {
 protected:
  std::string Create(const std::vector<LevelSpec>& levels) {
    return CreateBackup(LevelList(levels), TSETTINGSBLOCK{}, backup_, true);
  }

  ScratchDir dir_;
  const std::string root_ = dir_.Path("root");
  const std::string backup_ = dir_.Path("q.qrl.backup");
};

TEST_F(CreateBackupTest, RecordsFilesDirectoriesAndRemovedTreesEntryByEntry) {
  WriteFile(root_ + "/a.txt", "a\0\r\nb"s);
  WriteFile(root_ + "/old/sub/f.bin", "\xff\x00"s);
  WriteFile(root_ + "/keep/k", "k");
  const std::string r = root_ + "/";
  EXPECT_EQ(
      Create({Targeting("0", "/", r + "a.txt"),
              Targeting("3", "/", r + "missing.txt"),
              CreationRemovalLevel({"+/" + r + "new/sub/", "-/" + r + "old/",
                                    "+/" + r + "keep/", "+/", "-", "",
                                    "-/" + r + "keep/k"})}),
      "");
  EXPECT_EQ(Records(backup_),
            (std::vector<Record>{
                {kExisted, r + "a.txt", r, "a\0\r\nb"s},
                {kAbsent, r + "missing.txt", r, ""},
                {kAbsent, r + "new/sub/", r, ""},
                {kExisted, r + "old/", r + "old/", ""},
                {kExisted, r + "old/sub/", r + "old/sub/", ""},
                {kExisted, r + "old/sub/f.bin", r + "old/sub/", "\xff\x00"s},
                {kExisted, r + "keep/", r + "keep/", ""},
                {kExisted, r + "keep/k", r + "keep/", "k"},
            }));
}

TEST_F(CreateBackupTest, PackageWithoutTargetsWritesTheEmptyList) {
  LevelSpec complex;
  complex.kind = "2";
  complex.code = {"0", "DELETEFILE /x"};
  EXPECT_EQ(Create({complex}), "");
  EXPECT_EQ(ReadFile(backup_), "\x01\x00"s);
}

TEST_F(CreateBackupTest, FailedStepNamesItsPathAndWritesNoBackup) {
  WriteFile(root_ + "/tree/f", "f");
  ASSERT_EQ(::mkfifo((root_ + "/pipe").c_str(), 0644), 0);
  ASSERT_EQ(::mkfifo((root_ + "/tree/pipe").c_str(), 0644), 0);
  struct Case {
    LevelSpec level;
    std::string message;
  };
  const std::vector<Case> cases = {
      {CreationRemovalLevel({"-/" + root_ + "/none/"}),
       "Unable to read directoy content: " + root_ + "/none/"},
      {CreationRemovalLevel({"-/" + root_ + "/tree/f/"}),
       "Unable to read directoy content: " + root_ + "/tree/f/"},
      // Reading a pipe would wait for a writer that never comes.
      {Targeting("0", "/", root_ + "/pipe"),
       "Unable to read file: " + root_ + "/pipe"},
      {CreationRemovalLevel({"-/" + root_ + "/tree/"}),
       "Unable to read file: " + root_ + "/tree/pipe"},
      // A path that holds a NUL byte could never be restored.
      {Targeting("3", "/", root_ + "/tree/f\0.new"s),
       "Unable to read file: " + root_ + "/tree/f\0.new"s},
      {CreationRemovalLevel({"+/" + root_ + "/d\0/"s}),
       "Unable to read file: " + root_ + "/d\0/"s},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Create({c.level}), c.message);
    EXPECT_FALSE(Exists(backup_)) << c.message;
  }
  WriteFile(dir_.Path("dir.backup/x"), "");
  EXPECT_EQ(CreateBackup(LevelList({}), TSETTINGSBLOCK{},
                         dir_.Path("dir.backup"), true),
            "Unable to save content in " + dir_.Path("dir.backup"));
}

}  // namespace
