#include "engine/target_files.h"

#include <filesystem>

#include "gtest/gtest.h"
#include "services/failure.h"
#include "tests/test_util.h"

namespace {

TEST(TargetFiles, RewritesStayPendingUntilTheRunMovesOn) {
  ScratchDir dir;
  const std::string a = dir.Path("a.txt");
  const std::string b = dir.Path("b.txt");
  WriteFile(a, "a0");
  WriteFile(b, "b0");
  std::filesystem::create_symlink("a.txt", dir.Path("link"));
  {
    TargetFiles files;
    ASSERT_TRUE(files.Write(a, "a1"));
    ASSERT_TRUE(files.Write(dir.Path("link"), "a2"));  // the same file
    std::string content;
    ASSERT_TRUE(files.Read(dir.Path("./link"), &content));
    EXPECT_EQ(content, "a2");
    EXPECT_EQ(ReadFile(a), "a0");  // not installed yet

    ASSERT_TRUE(files.Write(b, "b1"));  // another file: a is installed
    EXPECT_EQ(ReadFile(a), "a2");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Path("link")));
    EXPECT_EQ(ReadFile(b), "b0");
    files.Flush();
    EXPECT_EQ(ReadFile(b), "b1");

    ASSERT_TRUE(files.Write(b, "b2"));
  }  // the end of the run installs what is pending
  EXPECT_EQ(ReadFile(b), "b2");
  EXPECT_FALSE(Exists(dir.Path("missing-dir/x")));
  TargetFiles files;
  EXPECT_FALSE(files.Write(dir.Path("missing-dir/x"), "x"));
}

TEST(TargetFiles, RewriteThatCannotBeInstalledRaisesFailure) {
  ScratchDir dir;
  const std::string sub = dir.Path("sub");
  WriteFile(sub + "/f.txt", "old");
  TargetFiles files;
  ASSERT_TRUE(files.Write(sub + "/f.txt", "new"));
  std::filesystem::remove_all(sub);  // takes the temporary file with it
  EXPECT_THROW(files.Flush(), Failure);
  files.Flush();  // nothing left pending
}

}  // namespace
