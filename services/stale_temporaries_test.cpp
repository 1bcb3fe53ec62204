#include "services/stale_temporaries.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "services/temporary_names.h"
#include "tests/test_util.h"

namespace {

// Sets the modification time of `path` itself (a link is not followed) to
// `age` seconds ago.
void MakeOld(const std::string& path, time_t age) {
  const struct timespec when = {std::time(nullptr) - age, 0};
  const struct timespec times[2] = {when, when};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0)
      << path;
}

TEST(ReplacementTemporaryName, HasTheFormThatIsRecognised) {
  for (int i = 0; i < 100; ++i) {
    const std::string name = ReplacementTemporaryName();
    EXPECT_TRUE(IsReplacementTemporaryName(name)) << name;
  }
  struct Case {
    std::string name;
    bool recognised;
  };
  for (const Case& c : std::vector<Case>{{".qrl-tmp-aZ09xY", true},
                                         {".qrl-tmp-aZ09x", false},
                                         {".qrl-tmp-aZ09xYz", false},
                                         {".qrl-tmp-aZ-9xY", false},
                                         {".qrl-tmp-aZ.9xY", false},
                                         {"x.qrl-tmp-aZ09xY", false},
                                         {".qrl-tmp-aZ09x/", false},
                                         {".QRL-tmp-aZ09xY", false},
                                         {".qrl-tmp-", false}}) {
    EXPECT_EQ(IsReplacementTemporaryName(c.name), c.recognised) << c.name;
  }
}

TEST(RemoveStaleTemporaries, RemovesOnlyOldUnheldPlainFilesOfItsNaming) {
  ScratchDir dir;
  const std::string old_one = dir.Path(".qrl-tmp-Old001");
  const std::string older = dir.Path(".qrl-tmp-Old002");
  WriteFile(old_one, "left behind");
  MakeOld(old_one, 2 * kStaleTemporarySeconds);
  WriteFile(older, "");
  MakeOld(older, 100000);
  // Written just now, or not long ago: someone may be writing it.
  WriteFile(dir.Path(".qrl-tmp-Fresh1"), "being written");
  WriteFile(dir.Path(".qrl-tmp-Fresh2"), "being written");
  MakeOld(dir.Path(".qrl-tmp-Fresh2"), kStaleTemporarySeconds - 10);
  // Held by a process that writes it: the lock is on another open file
  // description than the sweep's, as another process's would be.
  const std::string held = dir.Path(".qrl-tmp-Held01");
  WriteFile(held, "held");
  MakeOld(held, 2 * kStaleTemporarySeconds);
  const int holder = ::open(held.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  // Old, but not of the naming, or not a plain file; a link is never
  // followed, so what it leads to stays too.
  const std::vector<std::string> others = {
      ".qrl-tmp-Old01",  ".qrl-tmp-Old0001", ".qrl-tmp-Ol_001",
      "a.qrl-tmp-Old01", ".qrl-tmp-Old01~",  "victim"};
  for (const std::string& name : others) {
    WriteFile(dir.Path(name), name);
  }
  ASSERT_EQ(::symlink("victim", dir.Path(".qrl-tmp-Link01").c_str()), 0);
  ASSERT_EQ(::mkdir(dir.Path(".qrl-tmp-Dir001").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(dir.Path(".qrl-tmp-Fifo01").c_str(), 0644), 0);
  for (const std::string& name : others) {
    MakeOld(dir.Path(name), 2 * kStaleTemporarySeconds);
  }
  for (const char* name :
       {".qrl-tmp-Link01", ".qrl-tmp-Dir001", ".qrl-tmp-Fifo01"}) {
    MakeOld(dir.Path(name), 2 * kStaleTemporarySeconds);
  }
  std::vector<std::string> expected = DirectoryEntries(dir.path());
  std::erase(expected, ".qrl-tmp-Old001");
  std::erase(expected, ".qrl-tmp-Old002");

  RemoveStaleTemporaries(dir.path() + "/");
  EXPECT_EQ(DirectoryEntries(dir.path()), expected);
  EXPECT_EQ(ReadFile(dir.Path("victim")), "victim");
  EXPECT_EQ(ReadFile(held), "held");

  // Once let go of, the held file is a leftover like any other.
  ::close(holder);
  RemoveStaleTemporaries(dir.path());
  EXPECT_FALSE(Exists(held));
}

TEST(RemoveStaleTemporaries, SweepsTheWorkingDirectoryForAnEmptyName) {
  ScratchDir dir(ScratchDir::Enter::kYes);
  WriteFile(".qrl-tmp-Old001", "");
  MakeOld(".qrl-tmp-Old001", 2 * kStaleTemporarySeconds);
  RemoveStaleTemporaries("");
  EXPECT_EQ(DirectoryEntries(dir.path()), std::vector<std::string>{});
  RemoveStaleTemporaries(dir.Path("missing/"));  // passed over
}

TEST(RemoveStaleTemporariesOnce, SweepsADirectoryOnlyOnce) {
  ScratchDir dir;
  RemoveStaleTemporariesOnce(dir.Path(""));
  WriteFile(dir.Path(".qrl-tmp-Old001"), "");
  MakeOld(dir.Path(".qrl-tmp-Old001"), 2 * kStaleTemporarySeconds);
  // Another name of the same directory counts as the same.
  RemoveStaleTemporariesOnce(dir.path() + "/./");
  EXPECT_TRUE(Exists(dir.Path(".qrl-tmp-Old001")));
}

}  // namespace
