#include "services/line_list.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

using namespace std::string_literals;

TEST(LineList, SetTextSplitsAtLfCrAndCrLf) {
  struct Case {
    std::string text;
    LineList lines;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"\n", {""}},
      {"a\r\nb", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {"a\r\n\r\n", {"a", ""}},
      {"\r\r", {"", ""}},
      {"a\0b\n"s, {"a\0b"s}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    LineList list = {"left over"};
    list.SetText(c.text);
    EXPECT_EQ(list, c.lines);
  }
}

TEST(LineList, TextWritesLfAfterEveryLine) {
  EXPECT_EQ(LineList().Text(), "");
  EXPECT_EQ(LineList({""}).Text(), "\n");
  EXPECT_EQ(LineList({"a", "", "b"}).Text(), "a\n\nb\n");
  for (const LineList& list :
       {LineList{"a"}, LineList{"", ""}, LineList{" x ", "", "y"}}) {
    LineList copy;
    copy.SetText(list.Text());
    EXPECT_EQ(copy, list);
  }
}

}  // namespace
