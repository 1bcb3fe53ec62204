#include "services/file_replacement.h"

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "services/diagnostics.h"
#include "services/file_system_rules.h"
#include "tests/test_util.h"

namespace {

// An owner and group that nobody on the machine is, for files that belong
// to someone else; and the unprivileged user that replaces them.
constexpr uid_t kOtherUser = 4321;
constexpr gid_t kOtherGroup = 4322;
constexpr uid_t kNobody = 65534;

// Replaces the file's content with "new", collecting the diagnostic lines
// (each ended with a line feed) or the error.
std::string ReplaceCollecting(const std::string& file) {
  std::string lines;
  ScopedDiagnosticSink sink(
      [&lines](std::string_view line) { (lines += line) += '\n'; });
  std::string err;
  PosixFileReplacement replacement;
  if (!replacement.Begin(file, &err) || !replacement.Write("new", &err) ||
      !replacement.Commit(&err)) {
    lines += "failed: " + err + "\n";
  }
  return lines;
}

// Runs `body` in a child that has given up root for kNobody, with the
// supplementary `groups`; "skip" when the child cannot do so or cannot
// reach `dir`.
ProgramResult AsUnprivileged(const std::string& dir,
                             const std::vector<gid_t>& groups,
                             const std::function<std::string()>& body) {
  return RunInChild([&] {
    if (::setgroups(groups.size(), groups.data()) != 0 ||
        ::setresgid(kNobody, kNobody, kNobody) != 0 ||
        ::setresuid(kNobody, kNobody, kNobody) != 0 ||
        ::access(dir.c_str(), W_OK | X_OK) != 0) {
      return std::string("skip");
    }
    return body();
  });
}

struct stat StatOf(const std::string& path) {
  struct stat st = {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st;
}

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

TEST(PosixFileReplacement, CreatesANewEmptyFileWithoutATemporaryFile) {
  ScratchDir dir;
  const std::string file = dir.Path("new.txt");
  std::string err;
  PosixFileReplacement replacement;
  ASSERT_TRUE(replacement.Begin(file, &err)) << err;
  ASSERT_TRUE(replacement.Write("", &err)) << err;
  EXPECT_EQ(EntryCount(dir.path()), 0u);
  // Something put there meanwhile is replaced as any file is.
  WriteFile(file, "came meanwhile", 0600);
  ASSERT_TRUE(replacement.Commit(&err)) << err;
  EXPECT_EQ(ReadFile(file), "");
  EXPECT_EQ(FileMode(file), 0600u);
  EXPECT_EQ(EntryCount(dir.path()), 1u);

  const std::string other = dir.Path("other.txt");
  ASSERT_TRUE(replacement.Begin(other, &err)) << err;
  ASSERT_TRUE(replacement.Write("", &err)) << err;
  ASSERT_TRUE(replacement.Commit(&err)) << err;
  EXPECT_EQ(ReadFile(other), "");
  EXPECT_EQ(FileMode(other), 0666u & ~ProcessUmask());
  EXPECT_EQ(EntryCount(dir.path()), 2u);

  // Nowhere to create it: said at the commit, nothing left behind.
  const std::string nowhere = dir.Path("gone/new.txt");
  ASSERT_TRUE(replacement.Begin(nowhere, &err)) << err;
  ASSERT_TRUE(replacement.Write("", &err)) << err;
  EXPECT_FALSE(replacement.Commit(&err));
  EXPECT_NE(err.find("cannot write " + nowhere), std::string::npos) << err;
}

TEST(PosixFileReplacement, RefusesWhatIsNotARegularFileWithoutOpeningIt) {
  // Opening a pipe without a reader for writing would wait forever;
  // replacing any of these would destroy it.
  ScratchDir dir;
  const std::string fifo = dir.Path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(::symlink("fifo", dir.Path("to_fifo").c_str()), 0);
  const std::string socket_path = dir.Path("socket");
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  struct sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size());
  ASSERT_EQ(::bind(listener, reinterpret_cast<struct sockaddr*>(&address),
                   sizeof address),
            0);
  const std::vector<std::string> before = DirectoryEntries(dir.path());
  struct Case {
    std::string name;
    std::string target;
  };
  for (const Case& c : std::vector<Case>{{fifo, fifo},
                                         {dir.Path("to_fifo"), fifo},
                                         {socket_path, socket_path},
                                         {"/dev/null", "/dev/null"}}) {
    std::string err;
    PosixFileReplacement replacement;
    EXPECT_FALSE(replacement.Begin(c.name, &err)) << c.name;
    EXPECT_EQ(err, "cannot write " + c.target +
                       ": it is a device, pipe or socket, not a regular file");
  }
  ::close(listener);
  EXPECT_TRUE(S_ISFIFO(StatOf(fifo).st_mode));
  EXPECT_TRUE(S_ISSOCK(StatOf(socket_path).st_mode));
  EXPECT_TRUE(S_ISCHR(StatOf("/dev/null").st_mode));
  EXPECT_EQ(DirectoryEntries(dir.path()), before);
}

TEST(PosixFileReplacement, KeepsOwnerGroupAndEveryModeBit) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "giving a file to another user needs root";
  }
  ScratchDir dir;
  const std::string file = dir.Path("f");
  for (const mode_t mode : {06755, 02775, 01644, 0640}) {
    WriteFile(file, "old");
    ASSERT_EQ(::chown(file.c_str(), kOtherUser, kOtherGroup), 0);
    ASSERT_EQ(::chmod(file.c_str(), mode), 0);
    EXPECT_EQ(ReplaceCollecting(file), "") << std::oct << mode;
    const struct stat st = StatOf(file);
    EXPECT_EQ(st.st_mode & 07777, mode) << std::oct << mode;
    EXPECT_EQ(st.st_uid, kOtherUser);
    EXPECT_EQ(st.st_gid, kOtherGroup);
    EXPECT_EQ(ReadFile(file), "new");
  }
}

// A file of kOtherUser and kOtherGroup with `mode`, in a directory where
// anybody may create files, replaced by kNobody with the supplementary
// `groups`.
class ReplacedByAnotherUser : public ::testing::Test {
 protected:
  void Replace(mode_t mode, const std::vector<gid_t>& groups) {
    if (::geteuid() != 0) {
      GTEST_SKIP() << "the test takes another user's place";
    }
    ::chmod(dir_.path().c_str(), 0777);
    WriteFile(file_, "old");
    ASSERT_EQ(::chown(file_.c_str(), kOtherUser, kOtherGroup), 0);
    ASSERT_EQ(::chmod(file_.c_str(), mode), 0);
    said_ = AsUnprivileged(dir_.path(), groups, [this] {
              return ReplaceCollecting(file_);
            }).out;
    if (said_ == "skip") {
      GTEST_SKIP() << "an unprivileged user cannot reach " << dir_.path();
    }
    after_ = StatOf(file_);
    EXPECT_EQ(ReadFile(file_), "new");
  }

  ScratchDir dir_;
  const std::string file_ = dir_.Path("theirs");
  std::string said_;
  struct stat after_ = {};
};

TEST_F(ReplacedByAnotherUser, AMemberOfTheGroupKeepsGroupAndSetGroupId) {
  // The owner cannot be kept without privileges, the group can; and with
  // the group the set-group-ID bit stays.
  Replace(02664, {kOtherGroup});
  if (IsSkipped()) {
    return;
  }
  EXPECT_EQ(said_, "cannot keep the owner (user 4321) of " + file_ +
                       ": Operation not permitted\n");
  EXPECT_EQ(after_.st_mode & 07777, 02664u);
  EXPECT_EQ(after_.st_uid, kNobody);
  EXPECT_EQ(after_.st_gid, kOtherGroup);
}

TEST_F(ReplacedByAnotherUser, SaysWhatCannotBeKept) {
  // Neither owner nor group can be kept, and the set-ID bits, which were
  // given for them, go with them.
  Replace(06775, {});
  if (IsSkipped()) {
    return;
  }
  EXPECT_EQ(said_, "cannot keep the owner (user 4321) of " + file_ +
                       ": Operation not permitted\n"
                       "cannot keep the group (group 4322) of " +
                       file_ +
                       ": Operation not permitted\n"
                       "cannot keep the mode 6775 of " +
                       file_ + ": it is 0775 now\n");
  EXPECT_EQ(after_.st_mode & 07777, 0775u);
  EXPECT_EQ(after_.st_uid, kNobody);
  EXPECT_EQ(after_.st_gid, kNobody);
}

TEST(PosixFileReplacement, SaysWhenAReadOnlyFileIsReplaced) {
  ScratchDir dir;
  struct Case {
    mode_t mode;
    bool noted;
  };
  for (const Case& c : std::vector<Case>{{0444, true},
                                         {0400, true},
                                         {0, true},
                                         {0644, false},
                                         {0200, false}}) {
    const std::string file = dir.Path("f");
    WriteFile(file, "old", c.mode);
    EXPECT_EQ(ReplaceCollecting(file),
              c.noted ? "replaced the read-only file " + file + "\n" : "")
        << std::oct << c.mode;
    EXPECT_EQ(FileMode(file), c.mode);
    ::chmod(file.c_str(), 0644);
    EXPECT_EQ(ReadFile(file), "new");
  }
  // Nothing is said about a replacement that is never committed.
  WriteFile(dir.Path("g"), "old", 0444);
  std::string lines;
  {
    ScopedDiagnosticSink sink(
        [&lines](std::string_view line) { lines += line; });
    std::string err;
    PosixFileReplacement discarded;
    ASSERT_TRUE(discarded.Begin(dir.Path("g"), &err)) << err;
    ASSERT_TRUE(discarded.Write("never", &err)) << err;
  }
  EXPECT_EQ(lines, "");
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
