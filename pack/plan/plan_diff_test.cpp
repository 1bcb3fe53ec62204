#include "pack/plan/plan_diff.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

TEST(DiffName, QuotesAsGitDoesWhatPatchWouldMisread) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"src/a.c", "src/a.c"},
      {"my file", "\"my file\""},
      {"a\nb", "\"a\\nb\""},
      {"tab\there", "\"tab\\there\""},
      {"q\"uote", "\"q\\\"uote\""},
      {"back\\slash", "\"back\\\\slash\""},
      {"t\xc3\xa4st", "\"t\\303\\244st\""},
      {std::string("\x01\x7f\x1b", 3), "\"\\001\\177\\033\""},
      {"\a\b\v\f\r", "\"\\a\\b\\v\\f\\r\""},
  };
  for (const auto& [name, written] : cases) {
    EXPECT_EQ(DiffName(name), written);
  }
}

TEST(NamePatchRefuses, AbsoluteNamesAndClimbingOnes) {
  EXPECT_EQ(NamePatchRefuses("tree/a"), "");
  EXPECT_EQ(NamePatchRefuses("tree/..a"), "");
  EXPECT_EQ(NamePatchRefuses("/etc/x"),
            "an absolute name, which patch refuses");
  EXPECT_EQ(NamePatchRefuses("a/../b"),
            "a name with a \"..\" component, which patch refuses");
  EXPECT_EQ(NamePatchRefuses(".."),
            "a name with a \"..\" component, which patch refuses");
  EXPECT_EQ(NamePatchRefuses(""), "an empty name");
}

}  // namespace
