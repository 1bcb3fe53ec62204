#include "backup/backup_rotation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/test_util.h"

namespace {

// The backups in the directory, "b" for b.backup and "1" for b.backup.1,
// each with its content.
std::vector<std::string> Backups(const ScratchDir& dir) {
  std::vector<std::string> backups;
  for (const std::string& name : DirectoryEntries(dir.path())) {
    const std::string place =
        name == "b.backup" ? "b" : name.substr(std::string("b.backup.").size());
    backups.push_back(place + "=" + ReadFile(dir.Path(name)));
  }
  return backups;
}

TEST(BackupRotation, MovesUpToTheFirstFreePlaceAndUndoes) {
  ScratchDir dir;
  const std::string newest = dir.Path("b.backup");
  WriteFile(newest, "new");
  WriteFile(newest + ".1", "one");
  WriteFile(newest + ".3", "three");  // after a gap: stays
  BackupRotation rotation(newest);
  std::string err;
  ASSERT_TRUE(rotation.MakeRoom(&err)) << err;
  EXPECT_EQ(rotation.kept_as(), newest + ".1");
  EXPECT_FALSE(rotation.dropped_oldest());
  EXPECT_EQ(Backups(dir),
            (std::vector<std::string>{"1=new", "2=one", "3=three"}));
  rotation.Undo();
  EXPECT_EQ(Backups(dir),
            (std::vector<std::string>{"b=new", "1=one", "3=three"}));
  EXPECT_EQ(rotation.kept_as(), "");
}

TEST(BackupRotation, DropsTheOldestOfNineOnlyWhenFinished) {
  ScratchDir dir;
  const std::string newest = dir.Path("b.backup");
  WriteFile(newest, "b");
  for (int i = 1; i <= kKeptBackups; ++i) {
    WriteFile(newest + "." + std::to_string(i), std::to_string(i));
  }
  const std::vector<std::string> before = Backups(dir);
  {
    BackupRotation rotation(newest);
    std::string err;
    ASSERT_TRUE(rotation.MakeRoom(&err)) << err;
    EXPECT_TRUE(rotation.dropped_oldest());
    rotation.Undo();
    EXPECT_EQ(Backups(dir), before);
  }
  BackupRotation rotation(newest);
  std::string err;
  ASSERT_TRUE(rotation.MakeRoom(&err)) << err;
  rotation.Finish();
  EXPECT_EQ(Backups(dir),
            (std::vector<std::string>{"1=b", "2=1", "3=2", "4=3", "5=4", "6=5",
                                      "7=6", "8=7", "9=8"}));
}

TEST(BackupRotation, OnlyAPlainFileMoves) {
  ScratchDir dir;
  const std::string newest = dir.Path("b.backup");
  BackupRotation none(newest);
  std::string err;
  EXPECT_TRUE(none.MakeRoom(&err));
  EXPECT_EQ(none.kept_as(), "");
  // A link is written through, as before; it does not move.
  MakeTree(dir.path(), {{"elsewhere", "x"}, {"b.backup", "-> elsewhere"}});
  BackupRotation link(newest);
  EXPECT_TRUE(link.MakeRoom(&err));
  EXPECT_EQ(link.kept_as(), "");
  EXPECT_EQ(DirectoryEntries(dir.path()),
            (std::vector<std::string>{"b.backup", "elsewhere"}));
}

}  // namespace
