#include "pack/author/whole_file_levels.h"

#include <string>
#include <vector>

#include "complex/program_level.h"
#include "engine/apply.h"
#include "engine/reverse.h"
#include "gtest/gtest.h"
#include "package/level_record.h"
#include "tests/test_util.h"

namespace {

TFASTMEMLIST ListOf(const std::vector<LevelFields>& levels) {
  TFASTMEMLIST list;
  for (const LevelFields& level : levels) {
    list.Add(LevelRecordData(level));
  }
  return list;
}

std::string Shape(const WholeFile& file) {
  return std::to_string(static_cast<int>(file.change)) + " " + file.path +
         " [" + file.before + "] [" + file.after + "]" +
         (file.executable ? " x" : "");
}

TEST(WholeFileLevels, AreFoundAgainWithWhatTheyCarry) {
  const std::vector<WholeFile> files = {
      {WholeFileChange::kReplaced, "a/crlf.txt", "a\r\nb\r\n", "a\r\n", false,
       ""},
      {WholeFileChange::kCreated, "run.sh", "", "#!/bin/sh\n", true, ""},
      {WholeFileChange::kCreated, "empty", "", "", false, ""},
      {WholeFileChange::kRemoved, "old.sh", "echo\n", "", true, ""},
      {WholeFileChange::kRemoved, "gone", "g", "", false, ""},
  };
  std::vector<LevelFields> levels;
  std::vector<std::vector<uint64_t>> records;
  for (size_t k = 0; k < files.size(); ++k) {
    // A level of another kind between them.
    levels.push_back(NewLevel(1, kKindNormal, "other"));
    const size_t first = levels.size();
    AddWholeFileLevels(files[k], static_cast<int64_t>(k + 1) * 1000, &levels);
    records.emplace_back();
    for (size_t i = first; i < levels.size(); ++i) {
      records.back().push_back(i);
    }
  }
  const std::vector<FoundWholeFile> found = FindWholeFileLevels(ListOf(levels));
  ASSERT_EQ(found.size(), files.size());
  for (size_t k = 0; k < files.size(); ++k) {
    EXPECT_EQ(Shape(found[k].file), Shape(files[k]));
    EXPECT_EQ(found[k].records, records[k]) << files[k].path;
  }
  std::string path;
  std::string expected;
  ASSERT_TRUE(WholeFileExpectation(LevelRecordData(levels[records[0][0]]),
                                   &path, &expected));
  EXPECT_EQ(path + "|" + expected, "a/crlf.txt|a\r\nb\r\n");
  ASSERT_TRUE(WholeFileExpectation(LevelRecordData(levels[records[0][2]]),
                                   &path, &expected));
  EXPECT_EQ(path + "|" + expected, "a/crlf.txt|a\r\n");
  EXPECT_FALSE(WholeFileExpectation(LevelRecordData(levels[records[0][1]]),
                                    &path, &expected));
}

// Apply replaces the file only where it holds the old bytes, no more and
// no less; reverse puts them back only where it holds what apply wrote.
TEST(WholeFileLevels, WriteOnlyOverExactlyTheContentTheyExpect) {
  InstallProgramLevel();
  std::vector<LevelFields> levels;
  AddWholeFileLevels(
      {WholeFileChange::kReplaced, "f", "a\r\nb\r\n", "a\r\nc\r\n", false, ""},
      1000, &levels);
  const TFASTMEMLIST list = ListOf(levels);
  struct Case {
    bool apply;
    std::string content;
    std::string result;  // the content after the run
  };
  const std::vector<Case> cases = {
      {true, "a\r\nb\r\n", "a\r\nc\r\n"},
      {true, "a\r\nb\r\nadded\r\n", "a\r\nb\r\nadded\r\n"},
      {true, "a\r\n", "a\r\n"},
      {false, "a\r\nc\r\n", "a\r\nb\r\n"},
      {false, "a\r\nc\r\nadded\r\n", "a\r\nc\r\nadded\r\n"},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    WriteFile(dir.Path("f"), c.content);
    TSETTINGSBLOCK settings;
    TFASTMEMLIST macros;
    macros.Add("{ROOT}");
    macros.Add(dir.path() + "/");
    settings.macros = macros.SaveToString();
    LineList output;
    if (c.apply) {
      ApplyLevels(list, &settings, &output, true);
    } else {
      ReverseLevels(list, &settings, &output, true);
    }
    EXPECT_EQ(ReadFile(dir.Path("f")), c.result);
    EXPECT_EQ(output.Empty(), c.content != c.result) << c.content;
  }
}

TEST(DescribeContentDifference, NamesTheFirstLineThatDiffers) {
  const std::string prefix =
      "the file differs from the content the package expects: ";
  struct Case {
    std::string content;
    std::string expected;
    std::string words;
  };
  const std::vector<Case> cases = {
      {"a\nb\n", "a\nb\n", ""},
      {"a\nx\n", "a\nb\n", "line 2 reads \"x\", the package expects \"b\""},
      {"a\n", "a\nb\n",
       "it ends before line 2, where the package expects "
       "\"b\""},
      {"a\nb\nc\n", "a\nb\n", "line 3 \"c\" is more than the package expects"},
      {"a\nb", "a\nb\n",
       "line 2 reads \"b\" (no line end), the package "
       "expects \"b\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DescribeContentDifference(c.content, c.expected),
              c.words.empty() ? "" : prefix + c.words);
  }
}

}  // namespace
