#include "engine/target_files.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "gtest/gtest.h"
#include "services/failure.h"
#include "tests/test_util.h"

namespace {

// Changes the held file as a level does: room first, then the text.
void Change(HeldFile* file, const std::string& put) {
  std::string err;
  EditableText& text = file->text();
  ASSERT_TRUE(file->PrepareChange(text.SizeAfterReplaceLines(0, 1, put), &err))
      << err;
  text.ReplaceLines(0, 1, put);
}

TEST(TargetFiles, RewritesStayPendingUntilTheStretchEnds) {
  ScratchDir dir;
  const std::string a = dir.Path("a.txt");
  const std::string b = dir.Path("b.txt");
  WriteFile(a, "a0\n", 0640);
  WriteFile(b, "b0\n");
  std::filesystem::create_symlink("a.txt", dir.Path("link"));
  {
    TargetFiles files;
    HeldFile* held = files.Hold(a);
    ASSERT_NE(held, nullptr);
    Change(held, "a1\n");
    EXPECT_EQ(files.Hold(dir.Path("./link")), held);  // the same file
    Change(files.Hold(b), "b1\n");
    EXPECT_EQ(files.Hold(dir.Path("link"))->text().Text(), "a1\n");
    EXPECT_EQ(ReadFile(a), "a0\n");  // nothing installed yet
    files.Flush();
    EXPECT_EQ(ReadFile(a), "a1\n");
    EXPECT_EQ(ReadFile(b), "b1\n");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Path("link")));
    EXPECT_EQ(FileMode(a), 0640u);
    Change(files.Hold(b), "b2\n");
  }  // the end of the run installs what is pending
  EXPECT_EQ(ReadFile(b), "b2\n");

  TargetFiles files;
  TargetFiles::Access access;
  EXPECT_EQ(files.Hold(dir.Path("missing"), &access), nullptr);
  EXPECT_EQ(access, TargetFiles::Access::kMissing);
  EXPECT_EQ(files.Hold(dir.path(), &access), nullptr);
  EXPECT_EQ(access, TargetFiles::Access::kMissing);
  ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0600), 0);
  EXPECT_EQ(files.Hold(dir.Path("fifo"), &access), nullptr);  // never waits
  EXPECT_EQ(access, TargetFiles::Access::kUnreadable);
}

TEST(TargetFiles, ManyFilesAreInstalledEarlyLeastRecentlyUsedFirst) {
  ScratchDir dir;
  TargetFiles files;
  const size_t count = kFewestHeldFiles + 16;
  for (size_t i = 0; i < count; ++i) {
    const std::string name = dir.Path(std::to_string(i));
    WriteFile(name, "old\n");
    Change(files.Hold(name), "new\n");
    if (i % 2 == 1) {
      files.Hold(dir.Path("0"));  // kept in use
    }
  }
  EXPECT_EQ(ReadFile(dir.Path("0")), "old\n");
  EXPECT_EQ(ReadFile(dir.Path("1")), "new\n");  // installed to make room
  files.Flush();
  for (size_t i = 0; i < count; ++i) {
    EXPECT_EQ(ReadFile(dir.Path(std::to_string(i))), "new\n") << i;
  }
}

TEST(TargetFiles, FilesWantedAgainAfterInstallingEarlyAreHeldLonger) {
  // Levels that cycle through more files than are held at first: after
  // the first round every file stays held, so each is read once.
  ScratchDir dir;
  const size_t count = kFewestHeldFiles * 3 / 2;
  for (size_t i = 0; i < count; ++i) {
    WriteFile(dir.Path(std::to_string(i)), "0\n");
  }
  TargetFiles files;
  for (int round = 1; round <= 3; ++round) {
    for (size_t i = 0; i < count; ++i) {
      Change(files.Hold(dir.Path(std::to_string(i))),
             std::to_string(round) + "\n");
    }
  }
  // Written early in the first round, the first files show 1; none was
  // installed again since.
  EXPECT_EQ(ReadFile(dir.Path("0")), "1\n");
  EXPECT_EQ(ReadFile(dir.Path(std::to_string(count - 1))), "0\n");
  files.Flush();
  for (size_t i = 0; i < count; ++i) {
    EXPECT_EQ(ReadFile(dir.Path(std::to_string(i))), "3\n") << i;
  }
}

TEST(TargetFiles, RewriteGoesOnlyOverTheFileItWasMadeFrom) {
  ScratchDir dir;
  const std::string sub = dir.Path("sub");
  WriteFile(sub + "/f.txt", "old\n");
  {
    TargetFiles files;
    Change(files.Hold(sub + "/f.txt"), "new\n");
    std::filesystem::remove_all(sub);  // takes the temporary file with it
    EXPECT_THROW(files.Flush(), Failure);
    files.Flush();  // nothing left pending
  }
  // Another program puts a new file under the name, or changes the file.
  const std::string replaced = dir.Path("replaced.txt");
  const std::string changed = dir.Path("changed.txt");
  WriteFile(replaced, "old\n");
  WriteFile(changed, "old\n");
  TargetFiles files;
  Change(files.Hold(replaced), "new\n");
  Change(files.Hold(changed), "new\n");
  WriteFile(dir.Path("other"), "other\n");
  std::filesystem::rename(dir.Path("other"), replaced);
  WriteFile(changed, "theirs, longer\n");
  EXPECT_THROW(files.Flush(), Failure);
  EXPECT_EQ(ReadFile(replaced), "other\n");
  EXPECT_EQ(ReadFile(changed), "theirs, longer\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            2);  // no temporary file left
}

}  // namespace
