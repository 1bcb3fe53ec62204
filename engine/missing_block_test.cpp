#include "engine/missing_block.h"

#include <gtest/gtest.h>

#include "package/level_record.h"
#include "tests/test_util.h"

namespace {

NormalLevelParts TextParts(const std::vector<std::string>& old_lines,
                           const LineList& wrapped) {
  NormalLevelParts parts;
  parts.well_formed = true;
  parts.old_type = std::string(kTypeText);
  parts.old_code = Serialize(old_lines);
  parts.text_code = true;
  parts.wrapped = wrapped;
  return parts;
}

TEST(NewCodeAt, OnlyNewCodeThatTellsSomething) {
  EditableText text(std::string("a\nNEW\nnext\nold\n"));
  EXPECT_EQ(NewCodeAt(text, TextParts({"old"}, LineList{"new", "next"})), 1);
  EXPECT_EQ(NewCodeAt(text, TextParts({"old"}, LineList{"gone"})), -1);
  // No new code, and new code that is the old code but for letter case,
  // stand anywhere.
  EXPECT_EQ(NewCodeAt(text, TextParts({"old"}, LineList{})), -1);
  EXPECT_EQ(NewCodeAt(text, TextParts({"Old"}, LineList{" OLD"})), -1);
  NormalLevelParts binary = TextParts({"old"}, LineList{"new"});
  binary.old_type = std::string(kTypeBinary);
  EXPECT_EQ(NewCodeAt(text, binary), -1);
}

TEST(BlockLines, TheItemsOfASerializedListOrNone) {
  EXPECT_EQ(BlockLines(Serialize({"a", "", "b"})),
            (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(BlockLines("\x05").empty());
  EXPECT_EQ(AlreadyAppliedReason(3),
            "the obsolete code is gone and the new code stands at line 4");
}

}  // namespace
