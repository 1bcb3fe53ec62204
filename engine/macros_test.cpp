#include "engine/macros.h"

#include "engine/run_limits.h"
#include "gtest/gtest.h"
#include "package/level_record.h"
#include "tests/package_builder.h"
#include "tests/test_util.h"

namespace {

using namespace std::string_literals;

TFASTMEMLIST Macros(
    const std::vector<std::pair<std::string, std::string>>& pairs) {
  TFASTMEMLIST list;
  list.LoadFromData(MacroData(pairs));
  return list;
}

TFASTMEMLIST Decoded(const LevelSpec& fields) {
  TFASTMEMLIST level;
  EXPECT_TRUE(level.LoadFromData(LevelRecord(fields)));
  return level;
}

TEST(FindMacro, LooksAtNamesOrValues) {
  const TFASTMEMLIST macros = Macros({{"{A}", "x"}, {"{b}", ""}});
  EXPECT_EQ(FindMacro(macros, "{A}", LookIn::kNames, CaseSensitive::kYes), 0);
  EXPECT_EQ(FindMacro(macros, "{B}", LookIn::kNames, CaseSensitive::kYes), -1);
  EXPECT_EQ(FindMacro(macros, "{B}", LookIn::kNames, CaseSensitive::kNo), 2);
  EXPECT_EQ(FindMacro(macros, "X", LookIn::kValues, CaseSensitive::kNo), 1);
  EXPECT_EQ(FindMacro(macros, "", LookIn::kValues, CaseSensitive::kYes), 3);
}

TEST(ExpandMacros, ExpandsChainsInAnyOrderAndEveryText) {
  LevelSpec fields;
  fields.number = "{N}";
  fields.presentation = "at {A}";
  fields.comment_lines = {"{B}", "none"};
  fields.entries = {{"/", "{ROOT}/a.txt", "0", {"old {A}"}, ""},
                    {"/", "{ROOT}/b.bin", "1", {}, "{A} stays"}};
  fields.code = {"0", "new {A}", "{A}{B}"};
  TFASTMEMLIST level = Decoded(fields);
  const TFASTMEMLIST macros = Macros({{"{A}", "x{B}"},
                                      {"{B}", "y"},
                                      {"{ROOT}", "/src"},
                                      {"{N}", "7"},
                                      {"{ODD}", "unused"},
                                      {"{LAST}"s, ""}});
  ASSERT_EQ(ExpandMacros(&level, macros, CaseSensitive::kYes),
            Expansion::kComplete);
  EXPECT_EQ(level.Get(kLevelNumber), "7");
  EXPECT_EQ(level.Get(kPresentation), "at xy");
  EXPECT_EQ(level.Get(kCommentLines), Serialize({"y", "none"}));
  EXPECT_EQ(FileEntryField(level, 0, kEntryPath), "/src/a.txt");
  EXPECT_EQ(FileEntryField(level, 0, kEntryContent), Serialize({"old xy"}));
  EXPECT_EQ(FileEntryField(level, 1, kEntryContent), "{A} stays");
  EXPECT_EQ(level.Get(kCode), Serialize({"0", "new xy", "xyy"}));
}

TEST(ExpandMacros, ReplacesInBinaryCodeButNotInAnInlinePackage) {
  LevelSpec binary;
  binary.code = {"1", "bytes {A}"};
  TFASTMEMLIST level = Decoded(binary);
  ASSERT_EQ(ExpandMacros(&level, Macros({{"{A}", "1"}}), CaseSensitive::kYes),
            Expansion::kComplete);
  EXPECT_EQ(level.Get(kCode), Serialize({"1", "bytes 1"}));

  LevelSpec package;
  package.kind = "6";
  LevelSpec inner;
  inner.presentation = "{A}";
  const std::string nested = PackageData({inner});
  package.code = {"1", nested};
  level = Decoded(package);
  ASSERT_EQ(ExpandMacros(&level, Macros({{"{A}", "longer value"}}),
                         CaseSensitive::kYes),
            Expansion::kComplete);
  EXPECT_EQ(level.Get(kCode), Serialize({"1", nested}));
}

TEST(ExpandMacros, KeepsTheNameOfAnExternalLevelsOutputMacro) {
  LevelSpec external;
  external.kind = "5";
  const std::string options = "REMOVEPARAMETERS ={A},outputmacro={A},X";
  external.code = {"0", options, "", "/{A}", "", "{A}"};
  TFASTMEMLIST level = Decoded(external);
  ASSERT_EQ(ExpandMacros(&level, Macros({{"{A}", "1"}}), CaseSensitive::kYes),
            Expansion::kComplete);
  EXPECT_EQ(level.Get(kCode),
            Serialize({"0", "REMOVEPARAMETERS =1,outputmacro={A},X", "", "/1",
                       "", "1"}));
}

TEST(ExpandMacros, SelfReferenceIsCutInsteadOfRunningForever) {
  for (const auto& pairs :
       std::vector<std::vector<std::pair<std::string, std::string>>>{
           {{"{A}", "x{A}"}},                 // grows by one each pass
           {{"{A}", "{B}"}, {"{B}", "{A}"}},  // a cycle of two
           {{"{A}", "{A}{A}"}},               // doubles each pass
       }) {
    LevelSpec fields;
    fields.presentation = "{A}";
    TFASTMEMLIST level = Decoded(fields);
    EXPECT_EQ(ExpandMacros(&level, Macros(pairs), CaseSensitive::kYes),
              Expansion::kCutSelfReference);
    EXPECT_LT(level.ItemLength(kPresentation), 1u << 30);
  }
}

TEST(ExpandMacros, LargeValuesWithoutASelfReferenceAreCutForTheirSize) {
  // One 1 MiB value used twenty times: past the 16 MiB bound.
  LevelSpec fields;
  for (int i = 0; i < 20; ++i) {
    fields.presentation += "{A}";
  }
  TFASTMEMLIST level = Decoded(fields);
  EXPECT_EQ(ExpandMacros(&level, Macros({{"{A}", std::string(1u << 20, 'x')}}),
                         CaseSensitive::kYes),
            Expansion::kCutTooLarge);
  // The bound is one of the run limits: fuzzers install a small one.
  RunLimits small;
  small.expansion_bytes = 1 << 10;
  const ScopedRunLimits limits(small);
  TFASTMEMLIST again = Decoded(fields);
  EXPECT_EQ(ExpandMacros(&again, Macros({{"{A}", std::string(100, 'x')}}),
                         CaseSensitive::kYes),
            Expansion::kCutTooLarge);
}

TEST(ReplaceMacroInLevel, OneItemOrAllAndEmptyNames) {
  LevelSpec fields;
  fields.label = "{A}";
  fields.item4 = "{A}";
  TFASTMEMLIST level = Decoded(fields);
  EXPECT_FALSE(ReplaceMacroInLevel(&level, "", "x", -1, CaseSensitive::kYes));
  EXPECT_TRUE(
      ReplaceMacroInLevel(&level, "{A}", "x", kItem4, CaseSensitive::kYes));
  EXPECT_EQ(level.Get(kLabel), "{A}");
  EXPECT_EQ(level.Get(kItem4), "x");
  EXPECT_TRUE(ReplaceMacroInLevel(&level, "{a}", "y", -1, CaseSensitive::kNo));
  EXPECT_EQ(level.Get(kLabel), "y");
  EXPECT_FALSE(
      ReplaceMacroInLevel(&level, "{A}", "z", -1, CaseSensitive::kYes));
}

TEST(ExpandMacrosOnce, EachMacroOnceInListOrder) {
  LevelSpec first;
  first.presentation = "{B}";
  LevelSpec second;
  second.presentation = "{A}";
  TFASTMEMLIST levels = LevelList({first, second});
  // {A} brings in {B}, whose pair came earlier: it stays.
  ExpandMacrosOnce(&levels, Macros({{"{B}", "b"}, {"{A}", "{B}"}}), -1,
                   CaseSensitive::kYes);
  EXPECT_EQ(DataItem(levels.View(0), kPresentation), "b");
  EXPECT_EQ(DataItem(levels.View(1), kPresentation), "{B}");
  ExpandMacrosOnce(&levels, Macros({{"{B}", "c"}}), 0, CaseSensitive::kYes);
  EXPECT_EQ(DataItem(levels.View(1), kPresentation), "{B}");
}

}  // namespace
