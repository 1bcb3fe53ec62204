#include "services/string_utils.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "services/line_list.h"

namespace {

using namespace std::string_literals;
constexpr CaseSensitive kYes = CaseSensitive::kYes;
constexpr CaseSensitive kNo = CaseSensitive::kNo;

TEST(FindBytes, ReportsTheFirstZeroBasedOffset) {
  struct Case {
    std::string pattern, text;
    bool found;
    uint64_t position;
  };
  const std::vector<Case> cases = {
      {"", "abc", true, 77},        {"abcd", "abc", false, 77},
      {"bc", "abcbc", true, 1},     {"c", "abc", true, 2},
      {"\0b"s, "a\0\0b"s, true, 2}, {"B", "abc", false, 77},
  };
  // 77 marks a position that must stay untouched.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern + " in " + c.text);
    uint64_t position = 77;
    EXPECT_EQ(FindBytes(c.pattern.data(), c.text.data(), c.pattern.size(),
                        c.text.size(), &position),
              c.found);
    EXPECT_EQ(position, c.position);
  }
}

TEST(FindNext, ReturnsTheOneBasedPositionAtOrAfterTheStart) {
  struct Case {
    std::string search, text;
    size_t start;
    CaseSensitive sensitive;
    size_t position;
  };
  const std::vector<Case> cases = {
      {"b", "abcb", 1, kYes, 2},    {"b", "abcb", 3, kYes, 4},
      {"b", "abcb", 5, kYes, 0},    {"b", "abcb", 0, kYes, 2},
      {"B", "abcb", 3, kYes, 0},    {"B", "abcb", 3, kNo, 4},
      {"cB", "abCb", 1, kNo, 3},    {"", "abcb", 1, kYes, 0},
      {"bcbx", "abcb", 1, kYes, 0}, {"\0"s, "a\0"s, 1, kYes, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.search + " in " + c.text + " from " +
                 std::to_string(c.start));
    EXPECT_EQ(FindNext(c.search, c.text, c.start, c.sensitive), c.position);
  }
}

TEST(ReplaceAll, SearchResumesAfterTheReplacement) {
  struct Case {
    std::string text, search, replacement;
    CaseSensitive sensitive;
    std::string result;
    bool replaced;
  };
  const std::vector<Case> cases = {
      {"aaaa", "aa", "a", kYes, "aa", true},
      {"aa", "a", "ab", kYes, "abab", true},
      {"xaBy", "Ab", "-", kNo, "x-y", true},
      {"XaBaby", "ab", "cd", kNo, "Xcdcdy", true},
      {"xaBy", "Ab", "-", kYes, "xaBy", false},
      {"ab", "ab", "AB", kNo, "AB", true},
      {"abc", "b", "b", kNo, "abc", false},
      {"abc", "", "x", kYes, "abc", false},
      {"a\0b\0"s, "\0"s, "", kYes, "ab", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.search + " -> " + c.replacement + " in " + c.text);
    std::string text = c.text;
    EXPECT_EQ(ReplaceAll(&text, c.search, c.replacement, c.sensitive),
              c.replaced);
    EXPECT_EQ(text, c.result);
  }
}

TEST(ReplaceAll, InListReportsWhetherAnyItemHadAnOccurrence) {
  LineList list = {"ab", "cd", "xABab"};
  EXPECT_TRUE(ReplaceAllInList("ab", "-", &list, kNo));
  EXPECT_EQ(list, (LineList{"-", "cd", "x--"}));
  EXPECT_FALSE(ReplaceAllInList("q", "-", &list, kNo));
  EXPECT_FALSE(ReplaceAllInList("cd", "cd", &list, kYes));
  EXPECT_EQ(list, (LineList{"-", "cd", "x--"}));
}

TEST(SeparatedText, SplitKeepsEmptyItemsAndHonoursTheLimit) {
  struct Case {
    std::string text;
    size_t limit;
    LineList items;
  };
  const std::vector<Case> cases = {
      {"", 0, {}},
      {"a", 0, {"a"}},
      {"a,", 0, {"a", ""}},
      {",", 0, {"", ""}},
      {",a", 0, {"", "a"}},
      {"a,,b", 0, {"a", "", "b"}},
      {"a,b,c", 2, {"a", "b"}},
      {"a,b,", 2, {"a", "b"}},
      {"a,b,", 3, {"a", "b", ""}},
      {"a,", 1, {"a"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + " limit " + std::to_string(c.limit));
    LineList list = {"left over"};
    SplitByCharacter(c.text, &list, c.limit, ',');
    EXPECT_EQ(list, c.items);
  }
}

TEST(SeparatedText, SplitByStringCutsAtWholeSeparators) {
  struct Case {
    std::string text, separator;
    size_t limit;
    LineList items;
  };
  const std::vector<Case> cases = {
      {"a::b::", "::", 0, {"a", "b", ""}}, {"a:b::c", "::", 0, {"a:b", "c"}},
      {"::", "::", 0, {"", ""}},           {"a:::", "::", 0, {"a", ":"}},
      {"a::b::c", "::", 2, {"a", "b"}},    {"a,b", "", 0, {"a,b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + " at " + c.separator);
    LineList list;
    SplitByString(c.text, &list, c.limit, c.separator);
    EXPECT_EQ(list, c.items);
  }
}

TEST(SeparatedText, JoinGivesTheSplitTextBack) {
  for (const std::string text : {"a", ",", "a,", ",a", "a,,b", ",,", "a,b,c"}) {
    SCOPED_TRACE(text);
    LineList list;
    SplitByCharacter(text, &list, 0, ',');
    EXPECT_EQ(JoinWithCharacter(list, ','), text);
  }
  for (const std::string text : {"a::b::", "::", "a:::", "a::::b"}) {
    SCOPED_TRACE(text);
    LineList list;
    SplitByString(text, &list, 0, "::");
    EXPECT_EQ(JoinWithString(list, "::"), text);
  }
  EXPECT_EQ(JoinWithCharacter({}, ','), "");
  EXPECT_EQ(JoinWithCharacter({""}, ','), "");
  EXPECT_EQ(JoinWithString({"", ""}, ", "), ", ");
}

TEST(SeparatedText, LookupsMatchWholeItems) {
  const LineList list = {"ab", "Cd", "cd"};
  EXPECT_EQ(IndexOfItem("cd", list, kYes), 2);
  EXPECT_EQ(IndexOfItem("cd", list, kNo), 1);
  EXPECT_EQ(IndexOfItem("c", list, kNo), -1);

  EXPECT_TRUE(TextContainsItem("B", "a,b", ',', kNo));
  EXPECT_FALSE(TextContainsItem("B", "a,b", ',', kYes));
  EXPECT_FALSE(TextContainsItem("a", "a b,c", ',', kYes));
  EXPECT_TRUE(TextContainsItem("", "a,", ',', kYes));
  EXPECT_FALSE(TextContainsItem("", "", ',', kYes));

  const std::string options = "OUTPUTMACRO=m,path+ /a, PATH /c,PATH /b";
  EXPECT_EQ(FindItemWithPrefix("PATH ", options, ','), "PATH /b");
  EXPECT_EQ(FindItemWithPrefix("PATH+ ", options, ','), "path+ /a");
  EXPECT_EQ(FindItemWithPrefix("outputmacro", options, ','), "OUTPUTMACRO=m");
  EXPECT_EQ(FindItemWithPrefix("PATH", "PAT,x", ','), "");
}

TEST(SeparatedText, AppendAddsTheSeparatorOnlyBetweenItems) {
  struct Case {
    std::string text, item, result;
  };
  const std::vector<Case> cases = {
      {"", "a", "a"}, {"", "", ""}, {"a", "b", "a;b"}, {"a", "", "a"}};
  for (const Case& c : cases) {
    std::string text = c.text;
    AppendWithSeparator(c.item, ';', &text);
    EXPECT_EQ(text, c.result) << c.text << " + " << c.item;
  }
}

TEST(ListCleanUp, RemovesMatchingEmptyAndDuplicateItems) {
  std::string text = "x, y, X, z";
  RemoveItemFromSeparatedText(&text, ", ", "x", kNo);
  EXPECT_EQ(text, "y, z");
  text = "x";
  RemoveItemFromSeparatedText(&text, ", ", "x", kYes);
  EXPECT_EQ(text, "");

  LineList lines = {"", "a", " ", "", "b", ""};
  RemoveEmptyLines(&lines);
  EXPECT_EQ(lines, (LineList{"a", " ", "b"}));

  LineList mixed = {"A", "b", "a", "B"};
  RemoveDuplicateLines(&mixed, kYes);
  EXPECT_EQ(mixed, (LineList{"A", "b", "a", "B"}));
  RemoveDuplicateLines(&mixed, kNo);
  EXPECT_EQ(mixed, (LineList{"A", "b"}));
  LineList repeated = {"c", "a", "c", "b", "a", "c", ""};
  RemoveDuplicateLines(&repeated, kYes);
  EXPECT_EQ(repeated, (LineList{"c", "a", "b", ""}));
}

TEST(InsertList, ClampsTheIndexAndKeepsTheOrder) {
  struct Case {
    int64_t index;
    LineList result;
  };
  const std::vector<Case> cases = {
      {-5, {"x", "y", "a", "b"}}, {0, {"x", "y", "a", "b"}},
      {1, {"a", "x", "y", "b"}},  {2, {"a", "b", "x", "y"}},
      {99, {"a", "b", "x", "y"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    LineList target = {"a", "b"};
    InsertList({"x", "y"}, &target, c.index);
    EXPECT_EQ(target, c.result);
  }
  LineList self = {"a", "b"};
  InsertList(self, &self, 1);
  EXPECT_EQ(self, (LineList{"a", "a", "b", "b"}));
}

TEST(CaseFolding, ChangesOnlyAsciiLetters) {
  const std::string text("aZ09_\xe4\xc4{}");
  EXPECT_EQ(UpperCase(text), "AZ09_\xe4\xc4{}");
  EXPECT_EQ(LowerCase(text), "az09_\xe4\xc4{}");
}

}  // namespace
