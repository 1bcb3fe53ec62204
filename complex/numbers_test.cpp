#include "complex/numbers.h"

#include <string>

#include "gtest/gtest.h"

namespace {

TEST(ReadNumber, ReadsEveryBaseAndItsPrefixes) {
  struct Case {
    std::string text;
    uint64_t value;
  };
  const Case cases[] = {
      {"0", 0},
      {"42", 42},
      {"007", 7},
      {"+12", 12},
      {" \t 12", 12},
      {"$ff", 255},
      {"xFF", 255},
      {"X10", 16},
      {"0x1f", 31},
      {"0X1F", 31},
      {"%101", 5},
      {"&17", 15},
      {" +$41", 65},
      {"18446744073709551615", 18446744073709551615u},
      {"$FFFFFFFFFFFFFFFF", 18446744073709551615u},
      {std::string(254, ' ') + "9", 9},  // 255 bytes: still read
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadNumber(c.text), c.value) << "'" << c.text << "'";
  }
}

TEST(ReadNumber, RejectsAnythingElse) {
  const std::string rejected[] = {
      "",
      "   ",
      "-1",
      "+",
      "++1",
      "$",
      "0x",
      "12 ",  // nothing may follow the digits
      "1 2",
      "12a",
      "%102",  // a digit outside the base
      "&8",
      "$g",
      "+-1",
      "0b101",
      "18446744073709551616",  // 2^64
      "$10000000000000000",
      "99999999999999999999999",
      std::string(255, ' ') + "9",  // 256 bytes
      std::string(300, '0'),
  };
  for (const std::string& text : rejected) {
    EXPECT_EQ(ReadNumber(text), std::nullopt) << "'" << text << "'";
  }
}

TEST(ReadByteValue, AcceptsUpTo255) {
  EXPECT_EQ(ReadByteValue("10"), '\n');
  EXPECT_EQ(ReadByteValue("$41"), 'A');
  EXPECT_EQ(ReadByteValue("0"), '\0');
  EXPECT_EQ(ReadByteValue("255"), '\xff');
  EXPECT_EQ(ReadByteValue("256"), std::nullopt);
  EXPECT_EQ(ReadByteValue("-1"), std::nullopt);
  EXPECT_EQ(ReadByteValue(""), std::nullopt);
}

}  // namespace
