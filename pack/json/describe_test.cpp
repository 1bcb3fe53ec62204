#include "pack/json/describe.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "pack/json/assemble.h"
#include "pack/json/list_width.h"
#include "package/package.h"
#include "tests/package_builder.h"
#include "tests/test_util.h"

namespace {

using namespace std::string_literals;

Json Describe(const std::string& package) {
  Json description;
  DecodeError error;
  EXPECT_TRUE(DescribePackage(package, &description, &error)) << error.Text();
  return description;
}

std::string Assemble(const Json& description) {
  std::string package;
  std::string err;
  EXPECT_TRUE(AssemblePackage(description, &package, &err)) << err;
  return package;
}

TEST(DescribePackage, GivesEveryElementItsReadableForm) {
  // Written as dump writes it: described again after building, it comes
  // back the same, field order included.
  const Json description = Json::parse(R"({
    "settings": {
      "level_marker": {"prefix": "// LEVEL ", "position": "before"},
      "label_marker": {"suffix": ">", "position": 7},
      "comment_block": {"prefix": "/*", "suffix": "*/", "position": "after"},
      "user_information": "Adds a menu entry.",
      "text10": {"base64": "/w=="},
      "macros": [{"name": "{A}", "value": "1"}, {"name": "{A}", "value": ""}],
      "symbols": "+P"
    },
    "levels": [
      {"number": 1, "kind": "Normal", "presentation": "menu", "label": "l",
       "item4": "i", "severity": 2, "success_symbols": "+OK",
       "failure_symbols": "-OK", "comment_lines": ["why"],
       "requirements": "+P", "options": "IGNOREMACROS",
       "entries": [
         {"path": "/src/menu.txt", "type": "text", "lines": ["old", ""]},
         {"separator": "\\", "path": "\\b.bin", "type": "binary",
          "bytes": {"base64": "AAE="}},
         {"path": "", "type": {"code": "2"}}],
       "code": ["new", {"base64": "gA=="}]},
      {"number": -4, "kind": "Normal", "presentation": "", "severity": 0,
       "code": {"bytes": {"base64": "AGI="}}},
      {"number": "07", "kind": "Requirement", "presentation": "r",
       "severity": "high", "code": []},
      {"number": 2, "kind": "Complex", "presentation": "c", "severity": 3,
       "code": ["BUFFERCLEAR"]},
      {"number": 2, "kind": "FileExport", "presentation": "f", "severity": 3,
       "entries": [{"path": "/out.txt", "type": "text", "lines": ["x"]}]},
      {"number": 3, "kind": "FileDirectoryCreationRemoval",
       "presentation": "d", "severity": 3, "code": ["+//tmp/new/"]},
      {"number": 4, "kind": "External", "presentation": "e", "severity": 3,
       "code": {"options": "CAPTUREOUTPUT", "executable": "/bin/sh",
                "parameters": ["-c", "true"]}},
      {"number": 5, "kind": "External", "presentation": "e", "severity": 3,
       "code": {"executable": ""}},
      {"number": 6, "kind": "Package", "presentation": "p", "severity": 3,
       "code": {"path": "//sub.qrl"}},
      {"number": 7, "kind": "Package", "presentation": "p", "severity": 3,
       "code": {"package": {
         "levels": [{"number": 1, "kind": "Requirement", "presentation": "",
                     "severity": 3}]}}},
      {"number": 8, "kind": {"code": "x"}, "presentation": "", "severity": 3,
       "code": {"items": ["a"]}}
    ]})");
  EXPECT_EQ(Describe(Assemble(description)).dump(2), description.dump(2));
}

TEST(DescribePackage, FallsBackWhereTheReadableFormWouldLoseBytes) {
  const std::string settings = SettingsToData({});
  const auto level = [](std::vector<std::string> items) {
    items.resize(13);
    return Serialize(items);
  };
  const auto entry_level = [&](const std::string& entry) {
    return level({"1", "3", "", "", "", "3", "", "", "", "", "",
                  Serialize({entry}), ""});
  };
  const auto code_level = [&](const std::string& kind,
                              std::vector<std::string> code) {
    return level(
        {"1", kind, "", "", "", "3", "", "", "", "", "", "", Serialize(code)});
  };
  const auto package = [&](const std::string& record) {
    return PackageDataFromRecords({record}, settings);
  };
  const auto with_settings = [&](std::vector<std::string> items) {
    return PackageDataFromRecords({code_level("1", {})}, Serialize(items));
  };
  std::vector<std::string> plain_settings = {
      "", "", "\0"s, "", "", "\0"s, "", "", "\0"s, "", "", "", ""};
  std::vector<std::string> two_byte_position = plain_settings;
  two_byte_position[2] = "\x01\x09";
  std::vector<std::string> odd_macros = plain_settings;
  odd_macros[11] = Serialize({"{A}"});
  std::vector<std::string> empty_macros = plain_settings;
  empty_macros[11] = Serialize({});

  struct Case {
    std::string package;
    std::string pointer;
    std::string json;  // "" when the field must be absent
  };
  const std::vector<Case> cases = {
      {PackageDataFromRecords({code_level("1", {})}, ""), "/settings",
       R"({"raw": ""})"},
      {with_settings(two_byte_position), "/settings/level_marker/position",
       R"({"base64": "AQk="})"},
      {with_settings(odd_macros), "/settings/macros",
       R"({"raw": {"base64": "AQEDe0F9"}})"},
      {with_settings(empty_macros), "/settings/macros", "[]"},
      {with_settings(plain_settings), "/settings", ""},
      {PackageDataFromRecords({code_level("1", {})},
                              EncodeList(plain_settings, 2)),
       "/settings", R"({"width": 2})"},
      {package(level({"007"})), "/levels/0/number", R"("007")"},
      {package(level({"-0"})), "/levels/0/number", R"("-0")"},
      {package(level({"18446744073709551615"})), "/levels/0/number",
       "18446744073709551615"},
      {package(level({"18446744073709551616"})), "/levels/0/number",
       R"("18446744073709551616")"},
      {package(level({"1", "9"})), "/levels/0/kind", R"({"code": "9"})"},
      {package(level({"1", ""})), "/levels/0/kind", R"({"code": ""})"},
      {package(level({"1", "0"})), "/levels/0/comment_lines", R"({"raw": ""})"},
      {package(EncodeList({"1", "0", "", "", "", "3", "", "",
                           EncodeList({"c"}, 2), "", "", "", ""},
                          8)),
       "/levels/0", R"({"number": 1, "kind": "Normal", "presentation": "",
         "severity": 3, "comment_lines": {"raw": {"base64": "AgEAAQBj"}},
         "entries": {"raw": ""}, "code": {"raw": ""}, "width": 8})"},
      {package(entry_level(Serialize({"/", "p", "7", "?"}))),
       "/levels/0/entries/0/type", R"({"code": "7"})"},
      {package(entry_level(Serialize({"/", "p", "0", "not a list"}))),
       "/levels/0/entries/0/lines", R"({"raw": "not a list"})"},
      {package(entry_level(EncodeList({"/", "p", "1", ""}, 4))),
       "/levels/0/entries/0", R"({"path": "p", "type": "binary",
                                  "width": 4})"},
      {package(level({"1", "0", "", "", "", "3", "", "", "", "", "",
                      EncodeList({Serialize({"/", "p", "1", ""})}, 2)})),
       "/levels/0/entries", R"({"raw": {"base64": "AgEACQABBAEBAQAvcDE="}})"},
      {package(code_level("6", {"0", "//sub.qrl", "extra"})), "/levels/0/code",
       R"(["//sub.qrl", "extra"])"},
      {package(code_level("6", {"1", "not a package"})), "/levels/0/code",
       R"({"bytes": {"base64": "bm90IGEgcGFja2FnZQ=="}})"},
      {package(code_level("6", {"2", "x"})), "/levels/0/code",
       R"({"items": ["2", "x"]})"},
      {package(code_level("5", {"0", "o", "s", "e"})), "/levels/0/code",
       R"(["o", "s", "e"])"},
      {package(code_level("0", {"1", "a", "b"})), "/levels/0/code",
       R"({"items": ["1", "a", "b"]})"},
      {package(code_level("1", {})), "/levels/0/code", ""},
      {package(level({"1", "1", "", "", "", "3", "", "", "", "", "", "",
                      EncodeList({"0"}, 2)})),
       "/levels/0/code", R"({"raw": {"base64": "AgEAAQAw"}})"},
      {EncodeList({code_level("1", {}), settings, std::string(kPackageTrailer)},
                  2),
       "/width", "2"},
  };
  for (const Case& c : cases) {
    const Json description = Describe(c.package);
    const Json::json_pointer pointer(c.pointer);
    if (c.json.empty()) {
      EXPECT_FALSE(description.contains(pointer)) << description.dump();
    } else {
      ASSERT_TRUE(description.contains(pointer)) << description.dump();
      EXPECT_EQ(description[pointer], Json::parse(c.json))
          << description.dump();
    }
    EXPECT_EQ(Assemble(description), c.package) << description.dump();
  }
}

TEST(DescribePackage, DescribesNestedPackagesUpToTheNestingLimit) {
  std::string package = PackageData({LevelSpec()});
  for (int depth = 0; depth < 34; ++depth) {
    LevelSpec outer;
    outer.kind = "6";
    outer.code = {"1", package};
    package = PackageData({outer});
  }
  const Json description = Describe(package);
  std::string pointer;
  for (int depth = 0; depth < 32; ++depth) {
    pointer += "/levels/0/code/package";
  }
  EXPECT_TRUE(description.contains(Json::json_pointer(pointer)));
  EXPECT_TRUE(description.contains(
      Json::json_pointer(pointer + "/levels/0/code/bytes")));
  EXPECT_EQ(Assemble(description), package);
}

TEST(DescribePackage, RefusesWhatQrlconsoleRefuses) {
  const std::string data =
      Serialize({LevelRecord(LevelSpec()), SettingsToData({}),
                 "quorling control system 20230101"});
  Json description = "untouched";
  DecodeError error;
  EXPECT_FALSE(DescribePackage(data, &description, &error));
  EXPECT_EQ(description, "untouched");
  TFASTMEMLIST levels;
  TSETTINGSBLOCK settings;
  DecodeError load_error;
  LoadPackageFromData(data, &levels, &settings, &load_error);
  EXPECT_EQ(error.Text(), load_error.Text());
  EXPECT_EQ(error.offset, data.size() - kPackageTrailer.size());
}

}  // namespace
