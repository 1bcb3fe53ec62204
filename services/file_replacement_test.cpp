#include "services/file_replacement.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

size_t EntryCount(const std::string& dir) {
  return static_cast<size_t>(
      std::distance(std::filesystem::directory_iterator(dir),
                    std::filesystem::directory_iterator()));
}

TEST(PosixFileReplacement, InstallsTheLastContentOnlyAtCommit) {
  ScratchDir dir;
  const std::string file = dir.Path("f.txt");
  WriteFile(file, "old", 0640);
  std::string err;
  PosixFileReplacement replacement;
  ASSERT_TRUE(replacement.Begin(file, &err)) << err;
  ASSERT_TRUE(replacement.Write("first", &err)) << err;
  ASSERT_TRUE(replacement.Write("second, longer", &err)) << err;
  ASSERT_TRUE(replacement.Write("third", &err)) << err;
  EXPECT_EQ(ReadFile(file), "old");
  ASSERT_TRUE(replacement.Commit(&err)) << err;
  EXPECT_EQ(ReadFile(file), "third");
  EXPECT_EQ(FileMode(file), 0640u);
  EXPECT_EQ(EntryCount(dir.path()), 1u);

  PosixFileReplacement discarded;
  ASSERT_TRUE(discarded.Begin(file, &err));
  ASSERT_TRUE(discarded.Write("never", &err));
  discarded.Discard();
  EXPECT_EQ(ReadFile(file), "third");
  EXPECT_EQ(EntryCount(dir.path()), 1u);
  EXPECT_FALSE(discarded.Commit(&err));
}

TEST(PosixFileReplacement, RefusesATargetWithANulByte) {
  // The system would read the name as "f.txt".
  ScratchDir dir;
  WriteFile(dir.Path("f.txt"), "old");
  std::string err;
  PosixFileReplacement replacement;
  EXPECT_FALSE(replacement.Begin(
      dir.Path("f.txt") + std::string(1, '\0') + ".new", &err));
  EXPECT_TRUE(err.ends_with("f.txt\\x00.new: the path holds a NUL byte"))
      << err;
  EXPECT_EQ(ReadFile(dir.Path("f.txt")), "old");
  EXPECT_EQ(EntryCount(dir.path()), 1u);
}

TEST(PosixFileReplacement, FailedWriteKeepsTheEarlierContentForTheCommit) {
  ScratchDir dir;
  const std::string file = dir.Path("f.txt");
  WriteFile(file, "old");
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit = {100, 100};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::string err;
    PosixFileReplacement replacement;
    const bool ok = replacement.Begin(file, &err) &&
                    replacement.Write("fits", &err) &&
                    !replacement.Write(std::string(1000, 'x'), &err) &&
                    replacement.Commit(&err);
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadFile(file), "fits");
  EXPECT_EQ(EntryCount(dir.path()), 1u);
}

}  // namespace
