#include "complex/file_copy.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

TEST(CopyOneFile, AFailedCopyLeavesTheOldTargetWhole) {
  ScratchDir dir;
  MakeTree(dir.path(), {{"big", std::string(100000, 'b')}, {"t", "old"}});
  ASSERT_EQ(::mkfifo(dir.Path("pipe").c_str(), 0644), 0);
  // Writes past 4096 bytes fail in the child.
  const ProgramResult child = RunInChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit = {4096, 4096};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
      return std::string("no limit");
    }
    return std::string(
        CopyOneFile(dir.Path("big"), dir.Path("t"), Transfer::kMove)
            ? "copied"
            : "failed");
  });
  EXPECT_EQ(child.out, "failed");
  // A pipe is never read: it could block for ever.
  EXPECT_FALSE(CopyOneFile(dir.Path("pipe"), dir.Path("p"), Transfer::kCopy));
  ASSERT_EQ(::unlink(dir.Path("pipe").c_str()), 0);
  EXPECT_EQ(ReadTree(dir.path()),
            (FileTree{{"big", std::string(100000, 'b')}, {"t", "old"}}));
}

}  // namespace
