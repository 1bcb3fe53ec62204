#include "pack/json/assemble.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "pack/json/list_width.h"
#include "package/package.h"
#include "tests/package_builder.h"
#include "tests/test_util.h"

namespace {

using namespace std::string_literals;

std::string Build(const std::string& json_text) {
  std::string package;
  std::string err;
  EXPECT_TRUE(AssemblePackage(Json::parse(json_text), &package, &err)) << err;
  return package;
}

std::string BuildError(const Json& description) {
  std::string package = "untouched";
  std::string err;
  EXPECT_FALSE(AssemblePackage(description, &package, &err));
  EXPECT_EQ(package, "untouched");
  return err;
}

LevelSpec DefaultLevel(std::string kind) {
  LevelSpec level;
  level.kind = std::move(kind);
  level.severity = "3";
  return level;
}

TEST(AssemblePackage, OmittedFieldsTakeTheirDefaults) {
  // Level number 1, severity 3, empty texts, empty lists (comment lines,
  // entries, code), and the settings of a fresh block.
  EXPECT_EQ(Build(R"({"levels": [{"kind": "Requirement"}]})"),
            PackageData({DefaultLevel("1")}));
  EXPECT_EQ(Build(R"({"settings": {}, "levels": [{"kind": "Requirement",
                      "entries": [{"path": "/a"}, {"bytes": "b"}]}]})"),
            Build(R"({"levels": [{"kind": "Requirement", "entries": [
                       {"separator": "/", "path": "/a", "type": "text",
                        "lines": []},
                       {"path": "", "type": "binary", "bytes": "b"}]}]})"));
}

TEST(AssemblePackage, BuildsEveryFieldInItsNaturalShape) {
  const std::string built = Build(R"({
    "settings": {
      "level_marker": {"prefix": "// LEVEL ", "suffix": " end",
                       "position": "before"},
      "label_marker": {"prefix": "<", "suffix": ">", "position": 9},
      "comment_block": {"prefix": "/*", "suffix": "*/", "position": "after"},
      "user_information": "info\n",
      "text10": {"base64": "/w=="},
      "macros": [{"name": "{A}", "value": "1"}, {"name": "{A}", "value": ""}],
      "symbols": "+P,-Q"
    },
    "levels": [
      {"number": 10, "kind": "Normal", "presentation": "p", "label": "l",
       "item4": "i4", "severity": 2, "success_symbols": "+OK",
       "failure_symbols": "+BAD", "comment_lines": ["c1", "c2"],
       "requirements": "ACTION_APPLY,+P", "options": "IGNOREMACROS",
       "entries": [
         {"path": "/src/a.txt", "lines": ["old", ""]},
         {"separator": "\\", "path": "\\b.bin", "type": "binary",
          "bytes": {"base64": "AAE="}},
         {"path": "c", "type": {"code": "7"}, "bytes": "?"}],
       "code": ["new"]},
      {"number": "007", "kind": "External", "severity": -1,
       "code": {"options": "IGNOREEXITCODE", "start_directory": "//tmp",
                "executable": "/bin/sh", "process_directory": "//w",
                "parameters": ["-c", "true"]}},
      {"kind": "Package", "code": {"path": "//pkgs/sub.qrl"}},
      {"kind": "Package",
       "code": {"package": {"levels": [{"kind": "Requirement"}]}}},
      {"kind": "Normal", "code": {"bytes": "\u0000bytes"}},
      {"kind": {"code": "9"}, "code": {"items": ["a", "b", "c"]}}
    ]})");

  TSETTINGSBLOCK settings;
  settings.level_marker = {"// LEVEL ", " end", kMarkerBefore};
  settings.label_marker = {"<", ">", 9};
  settings.comment_block = {"/*", "*/", kMarkerAfter};
  settings.user_information = "info\n";
  settings.text10 = "\xFF";
  settings.macros = MacroData({{"{A}", "1"}, {"{A}", ""}});
  settings.symbols = "+P,-Q";
  LevelSpec normal = {"10",
                      "0",
                      "p",
                      "l",
                      "i4",
                      "2",
                      "+OK",
                      "+BAD",
                      {"c1", "c2"},
                      "ACTION_APPLY,+P",
                      "IGNOREMACROS",
                      {{"/", "/src/a.txt", "0", {"old", ""}, ""},
                       {"\\", "\\b.bin", "1", {}, "\0\1"s},
                       {"/", "c", "7", {}, "?"}},
                      {"0", "new"}};
  LevelSpec external = DefaultLevel("5");
  external.number = "007";
  external.severity = "-1";
  external.code = {"0",   "IGNOREEXITCODE", "//tmp", "/bin/sh", "//w", "-c",
                   "true"};
  LevelSpec by_path = DefaultLevel("6");
  by_path.code = {"0", "//pkgs/sub.qrl"};
  LevelSpec inline_package = DefaultLevel("6");
  inline_package.code = {"1", PackageData({DefaultLevel("1")})};
  LevelSpec binary = DefaultLevel("0");
  binary.code = {"1", "\0bytes"s};
  LevelSpec unknown = DefaultLevel("9");
  unknown.code = {"a", "b", "c"};
  EXPECT_EQ(built, PackageData({normal, external, by_path, inline_package,
                                binary, unknown},
                               settings));
}

TEST(AssemblePackage, RawFormsAndWidthsGiveTheExactBytes) {
  const std::string built = Build(R"({
    "settings": {"raw": ""},
    "levels": [
      {"kind": "Complex", "comment_lines": {"raw": ""},
       "entries": [{"path": "p", "lines": {"raw": "not a list"},
                    "width": 2}],
       "code": {"raw": {"base64": "CAEAAAAAAAAAAQAAAAAAAAAw"}},
       "width": 8}
    ],
    "width": 4})");
  const std::string entry = EncodeList({"/", "p", "0", "not a list"}, 2);
  const std::string level =
      EncodeList({"1", "2", "", "", "", "3", "", "", "", "", "",
                  Serialize({entry}), EncodeList({"0"}, 8)},
                 8);
  EXPECT_EQ(built, EncodeList({level, "", std::string(kPackageTrailer)}, 4));

  EXPECT_EQ(Build(R"({"settings": {"macros": {"raw": {"base64": "/w=="}},
                              "width": 2},
                "levels": [{"kind": "Requirement"}]})"),
            PackageDataFromRecords({LevelRecord(DefaultLevel("1"))},
                                   EncodeList({"", "", "\0"s, "", "", "\0"s, "",
                                               "", "\0"s, "", "", "\xFF", ""},
                                              2)));
}

TEST(AssemblePackage, NamesTheFirstInvalidElement) {
  const std::string kinds =
      "\"Normal\", \"Requirement\", \"Complex\", \"FileExport\", "
      "\"FileDirectoryCreationRemoval\", \"External\", \"Package\"";
  // Each description is wrapped as the only level of a package unless it
  // starts with "!".
  struct Case {
    std::string description;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"![]", "expected an object"},
      {"!{}", "levels: a package holds at least one level"},
      {R"(!{"levels": []})", "levels: a package holds at least one level"},
      {R"(!{"levels": {}})", "levels: expected an array"},
      {R"(!{"levels": [{"kind": "Normal"}], "extra": 1})",
       "unknown field \"extra\""},
      {R"({})", "levels[0].kind: missing; expected one of " + kinds},
      {R"({"kind": "Norml"})",
       "levels[0].kind: unknown kind \"Norml\"; "
       "expected one of " +
           kinds + " or {\"code\": ...}"},
      {R"({"kind": {"code": 1}})", "levels[0].kind.code: expected a string"},
      {R"(!{"levels": [{"kind": "Normal"}, {"kind": "Normal"},
                       {"kind": "Normal"},
                       {"kind": "Normal", "entries": [{"path": 5}]}]})",
       "levels[3].entries[0].path: expected a string"},
      {R"({"kind": "Normal", "label": {"base64": "%%%%"}})",
       "levels[0].label.base64: not valid base64"},
      {R"({"kind": "Normal", "label": {"text": "x"}})",
       "levels[0].label: expected a string or {\"base64\": \"...\"}"},
      {R"({"kind": "Normal", "number": 1.5})",
       "levels[0].number: expected an integer or a string"},
      {R"({"kind": "Normal", "severity": true})",
       "levels[0].severity: expected an integer or a string"},
      {R"({"kind": "Normal", "width": 3})",
       "levels[0].width: expected 1, 2, 4 or 8"},
      {R"({"kind": "Normal", "comment_lines": [{"raw": ""}]})",
       "levels[0].comment_lines[0]: expected a string or {\"base64\": "
       "\"...\"}"},
      {R"({"kind": "Normal", "comment_lines": {"raw": "x"}})",
       "levels[0].comment_lines.raw: not a serialized list: at byte 0: "
       "width 120 is not 1, 2, 4 or 8"},
      {R"({"kind": "Normal", "entries": {"raw": {"base64": "AQEIAQMBAQEvcDA="}}})",
       "levels[0].entries.raw: file entry 0 is not a list of 4 items"},
      {R"({"kind": "Normal", "entries": [{"type": "text", "bytes": "x"}]})",
       "levels[0].entries[0].bytes: a text entry keeps its content in "
       "\"lines\""},
      {R"({"kind": "Normal", "entries": [{"type": "binary", "lines": []}]})",
       "levels[0].entries[0].lines: this entry keeps its content in "
       "\"bytes\""},
      {R"({"kind": "Normal", "entries": [{"type": "pdf"}]})",
       "levels[0].entries[0].type: expected \"text\", \"binary\" or "
       "{\"code\": ...}"},
      {R"({"kind": "Normal", "code": {}})",
       "levels[0].code: expected an array of lines or an object (see the "
       "code forms)"},
      {R"({"kind": "Normal", "code": {"bytes": "a", "path": "b"}})",
       "levels[0].code: unknown field \"path\""},
      {R"({"kind": "External", "code": {"executable": "x", "arguments": []}})",
       "levels[0].code: unknown field \"arguments\""},
      {R"({"kind": "External", "code": {"parameters": "-c"}})",
       "levels[0].code.parameters: expected an array"},
      {R"({"kind": "Normal", "code": {"raw": "", "items": []}})",
       "levels[0].code: \"raw\" goes without other fields"},
      {R"({"kind": "Package", "code": {"package":
            {"levels": [{"kind": "Normal", "label": 1}]}}})",
       "levels[0].code.package.levels[0].label: expected a string"},
      {R"(!{"settings": {"raw": "x"}, "levels": [{"kind": "Normal"}]})",
       "settings.raw: not a settings item: at byte 0: width 120 is not 1, "
       "2, 4 or 8"},
      {R"(!{"settings": {"level_marker": {"position": "middle"}},
            "levels": [{"kind": "Normal"}]})",
       "settings.level_marker.position: expected \"none\", \"before\", "
       "\"after\", a number from 0 to 255 or {\"base64\": ...}"},
      {R"(!{"settings": {"comment_block": {"position": {"base64": ""}}},
            "levels": [{"kind": "Normal"}]})",
       "settings.comment_block.position: a position holds at least one "
       "byte"},
      {R"(!{"settings": {"macros": [{"name": "x", "val": "y"}]},
            "levels": [{"kind": "Normal"}]})",
       "settings.macros[0]: unknown field \"val\""},
      {R"(!{"settings": {"macros": {"{A}": "1"}},
            "levels": [{"kind": "Normal"}]})",
       "settings.macros: expected an array of {\"name\": ..., \"value\": "
       "...} or {\"raw\": ...}"},
  };
  for (const Case& c : cases) {
    const std::string text = c.description[0] == '!'
                                 ? c.description.substr(1)
                                 : R"({"levels": [)" + c.description + "]}";
    EXPECT_EQ(BuildError(Json::parse(text)), c.error) << text;
  }

  Json too_narrow = Json::parse(R"({"levels": [{"kind": "Normal"}]})");
  too_narrow["levels"][0]["presentation"] = std::string(256, 'p');
  too_narrow["levels"][0]["width"] = 1;
  EXPECT_EQ(BuildError(too_narrow),
            "levels[0].width: a width of 1 cannot hold the count and the "
            "lengths of the items");
}

TEST(AssemblePackage, NestingIsBounded) {
  // Packages nested 32 deep build; one more is refused by its location.
  const auto nested = [](int depth) {
    Json package = Json::parse(R"({"levels": [{"kind": "Requirement"}]})");
    for (int i = 0; i < depth; ++i) {
      Json outer = Json::parse(R"({"levels": [{"kind": "Package"}]})");
      outer["levels"][0]["code"]["package"] = std::move(package);
      package = std::move(outer);
    }
    return package;
  };
  std::string package;
  std::string err;
  EXPECT_TRUE(AssemblePackage(nested(32), &package, &err)) << err;
  err = BuildError(nested(33));
  EXPECT_TRUE(err.starts_with("levels[0].code.package.levels[0].code.package"))
      << err;
  EXPECT_TRUE(err.ends_with(": nested packages go deeper than 32 levels"))
      << err;
}

}  // namespace
