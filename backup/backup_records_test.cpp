#include "backup/backup_records.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

using namespace std::string_literals;

TEST(BackupRecords, FourItemsPerRecordWithAOneByteState) {
  TFASTMEMLIST backup;
  AddBackupRecord(&backup, PathState::kExisted, "/u/a.txt", "/u/", "a\0b"s);
  AddBackupRecord(&backup, PathState::kAbsent, "/u/new/", "/u/", "");
  EXPECT_EQ(backup.SaveToString(),
            Serialize({"\x01", "/u/a.txt", "/u/", "a\0b"s, "\0"s, "/u/new/",
                       "/u/", ""}));
  EXPECT_EQ(TFASTMEMLIST().SaveToString(), "\x01\x00"s);
}

TEST(LoadBackupFile, AcceptsWellFormedBackupsOnly) {
  ScratchDir dir;
  struct Case {
    std::string name;
    std::string data;
    bool accepted;
  };
  const std::string whole =
      Serialize({"\x01", "/p", "/", "c", "\0"s, "/q", "/", ""});
  const std::vector<Case> cases = {
      {"empty list", "\x01\x00"s, true},
      {"two records", whole, true},
      {"state other than 0 or 1", Serialize({"\x07", "/p", "", ""}), true},
      {"empty file", "", false},
      {"not a list", "backup", false},
      {"cut short", whole.substr(0, whole.size() - 1), false},
      {"bytes after the last item", whole + "x", false},
      {"lying length", "\x01\x01\xff"s + "abc", false},
      {"three items", Serialize({"\x01", "/p", "/"}), false},
      {"five items", Serialize({"\x01", "/p", "/", "c", "\x01"}), false},
      {"empty state item",
       Serialize({"\x01", "/p", "/", "c", "", "/q", "/", ""}), false},
  };
  for (const Case& c : cases) {
    WriteFile(dir.Path("b"), c.data);
    TFASTMEMLIST backup;
    backup.Add("stale");
    EXPECT_EQ(LoadBackupFile(dir.Path("b"), &backup), c.accepted) << c.name;
    if (c.accepted) {
      EXPECT_EQ(backup.SaveToString(), c.data) << c.name;
    } else {
      EXPECT_EQ(backup.Count(), 0u) << c.name;
    }
  }
  TFASTMEMLIST backup;
  EXPECT_FALSE(LoadBackupFile(dir.Path("missing"), &backup));
  EXPECT_FALSE(LoadBackupFile(dir.path(), &backup));
}

}  // namespace
