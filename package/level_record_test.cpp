#include "package/level_record.h"

#include <string>

#include "gtest/gtest.h"
#include "tests/package_builder.h"
#include "tests/test_util.h"

namespace {

TFASTMEMLIST Decoded(const LevelSpec& fields) {
  TFASTMEMLIST level;
  EXPECT_TRUE(level.LoadFromData(LevelRecord(fields)));
  return level;
}

TEST(LevelRecord, FileEntryAccessorsReachIntoItemEleven) {
  LevelSpec fields;
  fields.entries.push_back({"\\", "\\dir\\a.txt", "0", {"x", "y"}, ""});
  fields.entries.push_back({"/", "/b.bin", "1", {}, std::string("\0\1", 2)});
  TFASTMEMLIST level = Decoded(fields);
  ASSERT_EQ(FileEntryCount(level), 2u);
  EXPECT_EQ(FileEntryField(level, 0, kEntryPath), "\\dir\\a.txt");
  EXPECT_EQ(FileEntryField(level, 1, kEntryContent), std::string("\0\1", 2));
  TFASTMEMLIST entry;
  GetFileEntry(level, 0, &entry);
  EXPECT_EQ(entry.Get(kEntryContent), Serialize({"x", "y"}));

  // Replacing entry 0 leaves entry 1 and every other item as they were.
  const TFASTMEMLIST before = level;
  entry.Put(kEntryPath, "/dir/a.txt");
  PutFileEntry(&level, entry, 0);
  EXPECT_EQ(FileEntryField(level, 0, kEntryPath), "/dir/a.txt");
  EXPECT_EQ(DataItem(level.View(kFileEntries), 1),
            DataItem(before.View(kFileEntries), 1));
  for (uint64_t i = 0; i < kLevelItemCount; ++i) {
    if (i != kFileEntries) {
      EXPECT_EQ(level.Get(i), before.Get(i)) << i;
    }
  }
}

TEST(LevelRecord, NoFileEntriesCountsZero) {
  LevelSpec fields;
  EXPECT_EQ(FileEntryCount(Decoded(fields)), 0u);
}

TEST(LevelRecord, KindNamesAndCodes) {
  EXPECT_EQ(KindName("0"), "Normal");
  EXPECT_EQ(KindName("4"), "FileDirectoryCreationRemoval");
  EXPECT_EQ(KindName("6"), "Package");
  EXPECT_EQ(KindName("7"), "");
  EXPECT_EQ(KindName("00"), "");
  EXPECT_EQ(KindCode("External"), "5");
  EXPECT_EQ(KindCode("external"), "");
}

}  // namespace
