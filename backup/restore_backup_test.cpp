#include "backup/restore_backup.h"

#include <unistd.h>

#include <string>
#include <vector>

#include "backup/backup_records.h"
#include "backup/create_backup.h"
#include "gtest/gtest.h"
#include "services/file_services.h"
#include "tests/package_builder.h"
#include "tests/test_util.h"

namespace {

using namespace std::string_literals;

struct Record {
  bool existed;
  std::string path;
  std::string nearest;
  std::string content;
};

std::string BackupData(const std::vector<Record>& records) {
  TFASTMEMLIST backup;
  for (const Record& r : records) {
    AddBackupRecord(&backup,
                    r.existed ? PathState::kExisted : PathState::kAbsent,
                    r.path, r.nearest, r.content);
  }
  return backup.SaveToString();
}

LevelSpec Normal(std::string path) {
  LevelSpec level;
  level.entries = {{"/", std::move(path), "0", {"x"}, ""}};
  return level;
}

class RestoreBackupTest : public ::testing::Test {
 protected:
  std::string Restore(const std::vector<Record>& records) {
    WriteFile(backup_, BackupData(records));
    return RestoreBackup(backup_);
  }

  ScratchDir dir_;
  const std::string root_ = dir_.Path("root");
  const std::string backup_ = dir_.Path("q.qrl.backup");
};

TEST_F(RestoreBackupTest, RoundTripPutsTheTreeBackByteForByte) {
  const std::string src = root_ + "/src/";
  WriteFile(src + "a.txt", "old a\r\n");
  WriteFile(src + "b.bin", "\0\xff"s);
  WriteFile(src + "gone/x/y.txt", "y");
  WriteFile(src + "gone/z", "");
  WriteFile(src + "keep/k", "k");
  const auto before = TreeContents(root_);
  ASSERT_EQ(
      CreateBackup(
          LevelList({Normal(src + "a.txt"), Normal(src + "b.bin"),
                     CreationRemovalLevel(
                         {"+/" + src + "new/deep/", "-/" + src + "gone/",
                          "+/" + src + "keep/c.txt", "-/" + src + "b.bin"})}),
          TSETTINGSBLOCK{}, backup_, true),
      "");
  // What applying such a package does to the tree.
  WriteFile(src + "a.txt", "new a");
  ASSERT_EQ(::unlink((src + "b.bin").c_str()), 0);
  WriteFile(src + "new/deep/made", "m");
  WriteFile(src + "new/side", "s");
  ASSERT_TRUE(DeleteDirectoryTree(src + "gone/"));
  WriteFile(src + "keep/c.txt", "c");
  ASSERT_NE(TreeContents(root_), before);

  EXPECT_EQ(RestoreBackup(backup_), "");
  EXPECT_EQ(TreeContents(root_), before);
  // Restoring again changes nothing.
  EXPECT_EQ(RestoreBackup(backup_), "");
  EXPECT_EQ(TreeContents(root_), before);
}

TEST_F(RestoreBackupTest, RecreatesDirectoriesAndFilesWithMissingParents) {
  const std::string r = root_ + "/";
  EXPECT_EQ(Restore({{true, r + "d1/d2/", r, ""},
                     {true, r + "p/q/f", r, "first"},
                     {true, r + "p/q/f", r, "later wins"},
                     {true, r + "empty", r, ""}}),
            "");
  EXPECT_EQ(TreeContents(root_),
            (std::map<std::string, std::string>{{"d1/", ""},
                                                {"d1/d2/", ""},
                                                {"empty", ""},
                                                {"p/", ""},
                                                {"p/q/", ""},
                                                {"p/q/f", "later wins"}}));
}

TEST_F(RestoreBackupTest, FileWithoutADirectoryPartGoesToTheWorkingDirectory) {
  ScratchDir work(ScratchDir::Enter::kYes);
  EXPECT_EQ(Restore({{true, "relative.txt", "", "r"}}), "");
  EXPECT_EQ(ReadFile(work.Path("relative.txt")), "r");
  EXPECT_EQ(Restore({{false, "relative.txt", "", ""}}), "");
  EXPECT_FALSE(Exists(work.Path("relative.txt")));
}

TEST_F(RestoreBackupTest, RestoredFileIsReplacedWholeAndKeepsItsMode) {
  const std::string file = root_ + "/f";
  WriteFile(file, "a longer present content", 0750);
  ASSERT_EQ(::link(file.c_str(), dir_.Path("hard").c_str()), 0);
  EXPECT_EQ(Restore({{true, file, root_ + "/", "saved"}}), "");
  EXPECT_EQ(ReadFile(file), "saved");
  EXPECT_EQ(FileMode(file), 0750u);
  // A new file took the name: the old one was never truncated in place.
  EXPECT_EQ(ReadFile(dir_.Path("hard")), "a longer present content");
}

TEST_F(RestoreBackupTest, DeletesWhatDidNotExistAndTheDirectoriesMadeSince) {
  const std::string r = root_ + "/";
  WriteFile(r + "n1/n2/f.txt", "f");
  WriteFile(r + "n1/other", "o");
  WriteFile(r + "d/x/y", "y");
  WriteFile(r + "kept/g", "g");
  WriteFile(r + "odd/h", "h");
  EXPECT_EQ(Restore({{false, r + "n1/n2/f.txt", r, ""},
                     {false, r + "d/x/", r + "d/", ""},
                     {false, r + "kept/g", r + "kept/", ""},
                     {false, r + "never/there", r, ""},
                     // A nearest directory that is not above the path climbs
                     // nowhere.
                     {false, r + "odd/h", "/elsewhere/", ""}}),
            "");
  EXPECT_EQ(TreeContents(root_), (std::map<std::string, std::string>{
                                     {"d/", ""}, {"kept/", ""}, {"odd/", ""}}));
}

TEST_F(RestoreBackupTest, DeletedTreesLoseLinksButNotWhatTheyPointTo) {
  WriteFile(root_ + "/outside/o", "o");
  WriteFile(root_ + "/t/f", "f");
  ASSERT_EQ(::symlink((root_ + "/outside").c_str(), (root_ + "/t/l").c_str()),
            0);
  ASSERT_EQ(
      ::symlink((root_ + "/outside").c_str(), (root_ + "/dirlink").c_str()), 0);
  EXPECT_EQ(Restore({{false, root_ + "/t/", root_ + "/", ""},
                     {false, root_ + "/dirlink/", root_ + "/", ""}}),
            "");
  EXPECT_EQ(TreeContents(root_), (std::map<std::string, std::string>{
                                     {"outside/", ""}, {"outside/o", "o"}}));
}

TEST_F(RestoreBackupTest, MalformedOrMissingBackupRestoresNothing) {
  const std::string made = root_ + "/made";
  const std::string first = BackupData({{true, made, root_ + "/", "m"}});
  const std::vector<std::string> malformed = {
      "",
      first.substr(0, first.size() - 1),
      first + "x",
      Serialize({"\x01", made, root_ + "/", "m", "\x01"}),
      Serialize({"\x01", made, root_ + "/", "m", "", made + "2", "", ""}),
      // A record whose path or directory the system would read cut short
      // at a NUL byte: the whole backup is refused.
      BackupData({{true, made, root_ + "/", "m"},
                  {false, root_ + "/keep.txt\0.bak"s, root_ + "/", ""}}),
      BackupData({{true, made, root_ + "/", "m"},
                  {false, root_ + "/keep.txt", root_ + "/\0x/"s, ""}}),
  };
  WriteFile(root_ + "/keep.txt", "keep");
  const std::string message = "Unable to read from file \"" + backup_ + "\"";
  for (const std::string& data : malformed) {
    WriteFile(backup_, data);
    EXPECT_EQ(RestoreBackup(backup_), message);
    EXPECT_FALSE(Exists(made));
  }
  EXPECT_EQ(ReadFile(root_ + "/keep.txt"), "keep");
  EXPECT_EQ(RestoreBackup(dir_.Path("missing")),
            "Unable to read from file \"" + dir_.Path("missing") + "\"");
}

TEST_F(RestoreBackupTest, FailedStepEndsTheRestoreWithItsMessage) {
  const std::string r = root_ + "/";
  WriteFile(r + "plain", "p");
  WriteFile(r + "dir/x", "");
  const std::string after = r + "after";
  struct Case {
    Record record;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{true, r + "plain/sub/", r, ""},
       "Unable to create directory " + r + "plain/sub/"},
      {{true, r + "plain/f", r, "c"},
       "Unable to create directory " + r + "plain/"},
      {{true, r + "dir", r, "c"}, "Unable to create file " + r + "dir"},
      // The system never lets go of its process files.
      {{false, "/proc/self/status", "/proc/self/", ""},
       "Unable to delete file /proc/self/status"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Restore({c.record, {true, after, r, "a"}}), c.message);
    EXPECT_FALSE(Exists(after)) << c.message;
  }
  EXPECT_EQ(ReadFile(r + "plain"), "p");
}

TEST_F(RestoreBackupTest, DirectoryThatCannotBeRemovedEndsTheRestore) {
  // The working directory is emptied but cannot be removed by its "." name.
  ScratchDir work(ScratchDir::Enter::kYes);
  WriteFile("sub/f", "f");
  EXPECT_EQ(Restore({{false, "./", "", ""}, {true, "after", "", "a"}}),
            "Unable to delete directory ./");
  EXPECT_FALSE(Exists("after"));
}

TEST_F(RestoreBackupTest, FailedWriteLeavesThePresentFile) {
  const std::string file = root_ + "/f";
  WriteFile(file, "present");
  WriteFile(
      backup_,
      BackupData({{true, file, root_ + "/", std::string(64 * 1024, 'x')}}));
  const std::string message = "Unable to write to file " + file;
  EXPECT_EQ(
      RunWithFileSizeLimit(
          4096, [&] { return RestoreBackup(backup_) == message ? 0 : 1; }),
      0);
  EXPECT_EQ(TreeContents(root_),
            (std::map<std::string, std::string>{{"f", "present"}}));
}

}  // namespace
