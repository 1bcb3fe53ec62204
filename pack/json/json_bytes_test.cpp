#include "pack/json/json_bytes.h"

#include <random>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

using namespace std::string_literals;

TEST(JsonBytes, Utf8IsStrict) {
  const std::vector<std::string> valid = {
      "",
      "plain ASCII with \t, \n and \0 inside"s,
      "\xC3\xA9t\xC3\xA9",  // été
      "\xE2\x82\xAC",       // U+20AC
      "\xED\x9F\xBF",       // U+D7FF, just below the surrogates
      "\xEF\xBF\xBF",       // U+FFFF
      "\xF0\x90\x80\x80",   // U+10000
      "\xF4\x8F\xBF\xBF",   // U+10FFFF
  };
  const std::vector<std::string> invalid = {
      "\x80",              // continuation without a lead
      "\xC0\x80",          // overlong NUL
      "\xC1\xBF",          // overlong
      "\xC3",              // cut short
      "\xE0\x80\x80",      // overlong three-byte form
      "\xED\xA0\x80",      // surrogate U+D800
      "\xE2\x82",          // cut short
      "\xF0\x80\x80\x80",  // overlong four-byte form
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "\xF5\x80\x80\x80",  // lead byte never used
      "ok\xFF",
  };
  for (const std::string& text : valid) {
    EXPECT_TRUE(IsValidUtf8(text)) << text;
  }
  for (const std::string& text : invalid) {
    EXPECT_FALSE(IsValidUtf8(text)) << text;
  }
}

TEST(JsonBytes, AgreesWithTheJsonWriterOnWhatIsText) {
  // A text goes out as a JSON string exactly when the JSON writer takes
  // it; a disagreement either way would lose bytes or abort a dump.
  std::mt19937 random(7);
  for (int round = 0; round < 20000; ++round) {
    std::string bytes(random() % 5, '\0');
    for (char& byte : bytes) {
      // Mostly bytes around the UTF-8 boundaries.
      static const unsigned char kPicks[] = {
          0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0,
          0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
      byte = static_cast<char>(kPicks[random() % sizeof kPicks]);
    }
    bool writer_takes_it = true;
    try {
      Json(bytes).dump();
    } catch (const Json::type_error&) {
      writer_takes_it = false;
    }
    EXPECT_EQ(IsValidUtf8(bytes), writer_takes_it) << Base64Encode(bytes);
  }
}

TEST(JsonBytes, Base64RoundTripsAndRejectsMalformedText) {
  const std::vector<std::pair<std::string, std::string>> vectors = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
  };
  for (const auto& [bytes, text] : vectors) {
    EXPECT_EQ(Base64Encode(bytes), text);
    std::string decoded;
    ASSERT_TRUE(Base64Decode(text, &decoded)) << text;
    EXPECT_EQ(decoded, bytes);
  }
  std::string every_byte;
  for (int i = 0; i < 256; ++i) {
    every_byte += static_cast<char>(i);
  }
  std::string decoded;
  ASSERT_TRUE(Base64Decode(Base64Encode(every_byte), &decoded));
  EXPECT_EQ(decoded, every_byte);

  for (const char* bad :
       {"Zg=", "Z===", "====", "Zg==Zg==", "Zm9v!A==", "Zm 9v", "Zm9v\n"}) {
    EXPECT_FALSE(Base64Decode(bad, &decoded)) << bad;
  }
}

TEST(JsonBytes, TextsAreStringsUnlessTheyAreNotUtf8) {
  EXPECT_EQ(TextToJson("a\0b"s), Json("a\0b"s));
  EXPECT_EQ(TextToJson("\xFF"), Json::parse(R"({"base64": "/w=="})"));
  EXPECT_EQ(BinaryToJson("abc"), Json::parse(R"({"base64": "YWJj"})"));
  // Contents that are text read as lines; the others keep their bytes.
  EXPECT_EQ(ContentToJson("a\n\nb\n"),
            Json::parse(R"({"lines": ["a", "", "b"]})"));
  for (const std::string& bytes : {"a\nb"s, "a\r\n"s, "\xFF\n"s, ""s}) {
    EXPECT_EQ(ContentToJson(bytes), BinaryToJson(bytes));
  }

  struct Case {
    const char* json;
    std::string bytes;  // empty when refused
    std::string what;
    std::string where;
  };
  const std::vector<Case> cases = {
      {R"("text")", "text", "", ""},
      {R"({"base64": "AAE="})", "\0\1"s, "", ""},
      {R"(5)", "", "expected a string", ""},
      {R"({"base64": 5})", "", "expected a string", "base64"},
      {R"({"base64": "A"})", "", "not valid base64", "base64"},
      {R"({"base64": "AA==", "x": 1})", "",
       "expected a string or {\"base64\": \"...\"}", ""},
      {R"({"lines": ["a", "", "\u0000"]})", "a\n\n\0\n"s, "", ""},
      {R"({"lines": []})", "", "", ""},
      {R"({"lines": "a"})", "", "expected an array of lines", "lines"},
      {R"({"lines": ["a", 1]})", "", "expected a string", "lines[1]"},
  };
  for (const Case& c : cases) {
    std::string bytes;
    std::string what;
    std::string where;
    const bool ok = JsonToBytes(Json::parse(c.json), &bytes, &what, &where);
    EXPECT_EQ(ok, c.what.empty()) << c.json;
    EXPECT_EQ(ok ? bytes : what, ok ? c.bytes : c.what) << c.json;
    EXPECT_EQ(where, c.where) << c.json;
  }
}

}  // namespace
