#include "complex/file_copy.h"

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
  const auto copy_big = [&] {
    return CopyOneFile(dir.Path("big"), dir.Path("t"), Transfer::kMove) ? 1 : 0;
  };
  // Writes past 4096 bytes fail in the child.
  EXPECT_EQ(RunWithFileSizeLimit(4096, copy_big), 0);
  // A pipe is never read: it could block for ever.
  EXPECT_FALSE(CopyOneFile(dir.Path("pipe"), dir.Path("p"), Transfer::kCopy));
  ASSERT_EQ(::unlink(dir.Path("pipe").c_str()), 0);
  EXPECT_EQ(TreeContents(dir.path()),
            (FileTree{{"big", std::string(100000, 'b')}, {"t", "old"}}));
}

}  // namespace
