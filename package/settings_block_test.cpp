#include "package/settings_block.h"

#include <string>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

using namespace std::string_literals;

TEST(SettingsFromData, DecodesEveryFieldByteForByte) {
  const std::string data = Serialize(
      {"// L ", " end", "\x01\x09"s, "<", ">", "\x00"s, "/*", "*/", "\x02"s,
       "user info\nline two", "text ten", Serialize({"{A}", "1"}), " +P ,-Q"});
  const TSETTINGSBLOCK settings = SettingsFromData(data);
  EXPECT_EQ(settings.level_marker, (TMARKERGROUP{"// L ", " end", 1}));
  EXPECT_EQ(settings.label_marker, (TMARKERGROUP{"<", ">", 0}));
  EXPECT_EQ(settings.comment_block, (TMARKERGROUP{"/*", "*/", 2}));
  EXPECT_EQ(settings.user_information, "user info\nline two");
  EXPECT_EQ(settings.text10, "text ten");
  EXPECT_EQ(settings.macros, Serialize({"{A}", "1"}));
  EXPECT_EQ(settings.symbols, " +P ,-Q");
  // Only the first byte of a position item counts, so the stored form of
  // the decoded block differs from the input in exactly that byte.
  EXPECT_EQ(SettingsFromData(SettingsToData(settings)), settings);
}

TEST(SettingsFromData, EmptyOrMalformedDataGivesAFreshBlock) {
  EXPECT_EQ(SettingsFromData(""), TSETTINGSBLOCK());
  EXPECT_EQ(SettingsFromData(Serialize({"only", "two"})), TSETTINGSBLOCK());
  EXPECT_TRUE(SettingsDataIsWellFormed("", nullptr));
  DecodeError error;
  EXPECT_FALSE(SettingsDataIsWellFormed(Serialize({"x"}), &error));
  EXPECT_EQ(error.what, "the settings hold 1 items instead of 13");
}

}  // namespace
