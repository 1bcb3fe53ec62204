#include "engine/separators.h"

#include "gtest/gtest.h"
#include "package/level_record.h"
#include "tests/package_builder.h"
#include "tests/test_util.h"

namespace {

TFASTMEMLIST Converted(const LevelSpec& fields, std::string_view source) {
  TFASTMEMLIST level;
  EXPECT_TRUE(level.LoadFromData(LevelRecord(fields)));
  ConvertSeparators(&level, source, "/");
  return level;
}

std::vector<std::string> CodeItems(const TFASTMEMLIST& level) {
  LineList lines;
  DataToStrings(level.View(kCode), &lines);
  return lines.lines();
}

TEST(ConvertSeparators, RewritesEveryStoredPathOfTheLevel) {
  LevelSpec normal;
  normal.options = "IGNOREMACROS,path \\x\\y,Z";
  normal.entries = {{"\\", "\\dir\\a.txt", "0", {"a\\b"}, ""},
                    {"/", "/keep\\this", "0", {}, ""}};
  const TFASTMEMLIST level = Converted(normal, "");
  EXPECT_EQ(level.Get(kOptions), "IGNOREMACROS,Z,PATH \\x\\y");
  EXPECT_EQ(FileEntryField(level, 0, kEntryPath), "/dir/a.txt");
  EXPECT_EQ(FileEntryField(level, 0, kEntrySeparator), "\\");  // stays
  EXPECT_EQ(FileEntryField(level, 0, kEntryContent), Serialize({"a\\b"}));
  EXPECT_EQ(FileEntryField(level, 1, kEntryPath), "/keep\\this");

  LevelSpec files;
  files.kind = "4";
  files.code = {"1", "+\\dir\\sub\\", "-/a/b", "+\\", "-:x:y"};
  EXPECT_EQ(
      CodeItems(Converted(files, "")),
      (std::vector<std::string>{"0", "+/dir/sub/", "-/a/b", "+\\", "-/x/y"}));
  EXPECT_EQ(
      CodeItems(Converted(files, "\\")),
      (std::vector<std::string>{"0", "+/dir/sub/", "-/a/b", "+\\", "-:x:y"}));

  LevelSpec external;
  external.kind = "5";
  external.code = {"0", "OPT\\A", "\\start\\dir", "\\bin\\tool", "", "\\p"};
  EXPECT_EQ(CodeItems(Converted(external, "")),
            (std::vector<std::string>{"0", "OPT\\A", "/start/dir", "/bin/tool",
                                      "", "\\p"}));

  LevelSpec package;
  package.kind = "6";
  package.code = {"0", "\\pkg\\nested.qrl"};
  EXPECT_EQ(CodeItems(Converted(package, "")),
            (std::vector<std::string>{"0", "/pkg/nested.qrl"}));
}

TEST(ConvertPathOption, MovesTheFirstPathItemToTheEnd) {
  std::string options = "A,PATH+ \\p,B";
  ConvertPathOption(&options, "\\", "/");
  EXPECT_EQ(options, "A,B,PATH+ /p");
  options = "PATH \\q";
  ConvertPathOption(&options, "", "/");
  EXPECT_EQ(options, "PATH \\q");  // no source: the value is kept
  options = "NOPATH";
  ConvertPathOption(&options, "\\", "/");
  EXPECT_EQ(options, "NOPATH");
}

TEST(StoredPathToPath, DropsTheSeparatorCharacter) {
  EXPECT_EQ(StoredPathToPath("\\dir\\sub\\file.txt"), "dir/sub/file.txt");
  EXPECT_EQ(StoredPathToPath("//home/x"), "/home/x");
  EXPECT_EQ(StoredPathToPath("/a\\b"), "a\\b");
  EXPECT_EQ(StoredPathToPath(""), "");
  LineList list = {"\\a\\b", ":c:d"};
  StoredPathsToPaths(&list);
  EXPECT_EQ(list, (LineList{"a/b", "c/d"}));
}

}  // namespace
