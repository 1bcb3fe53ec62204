#include <string>

#include "engine/driver_state.h"
#include "gtest/gtest.h"
#include "tests/complex_runs.h"
#include "tests/package_builder.h"
#include "tests/test_util.h"

namespace {

const Items kAB = {"{A}", "1", "{B}", "2"};
const Items kXYZ = {"{X}", "x", "{Y}", "y", "{Z}", "z"};

TEST(MacroCommands, WholeList) {
  ExpectCases({
      {.what = "MACROSCLEAR",
       .program = {"MACROSCLEAR"},
       .macros = kAB,
       .macros_after = Items{}},
      {.what = "names up, values down",
       .program = {"MACROSUPPERCASENAME", "MACROSLOWERCASEVALUE"},
       .macros = {"{a}", "vA", "{B}", "V2"},
       .macros_after = Items{"{A}", "va", "{B}", "v2"}},
      {.what = "names down, values up",
       .program = {"MACROSLOWERCASENAME", "MACROSUPPERCASEVALUE"},
       .macros = {"{a}", "vA", "{B}", "V2"},
       .macros_after = Items{"{a}", "VA", "{b}", "V2"}},
      {.what = "first and last pairs change places",
       .program = {"MACROSEXCHANGEFIRSTWITHLAST"},
       .macros = kXYZ,
       .macros_after = Items{"{Z}", "z", "{Y}", "y", "{X}", "x"}},
      {.what = "with one pair nothing happens and nothing fails",
       .program = {"MACROSEXCHANGEFIRSTWITHLAST"},
       .macros = {"{A}", "1"}},
      {.what = "nor with none", .program = {"MACROSEXCHANGEFIRSTWITHLAST"}},
  });
}

TEST(MacroCommands, ApplyReplacesEachMacroOnceInEveryLevel) {
  LevelSpec level;
  level.comment_lines = {"{A} and {DIR}"};
  FileEntrySpec entry;
  entry.path = "{DIR}/x";
  entry.lines = {"{dir}"};  // case-sensitive: stays
  level.entries = {entry};
  LevelSpec expected = level;
  expected.comment_lines = {"{B} and /opt"};
  expected.entries[0].path = "/opt/x";

  // {A} brings in {B}, whose macro came earlier: it stays.
  const ComplexResult result = RunComplexProgram(
      {"MACROSAPPLY"}, {"{B}", "b", "{DIR}", "/opt", "{A}", "{B}"}, {},
      LevelList({level, level}));
  // The driver learns that the records changed.
  EXPECT_EQ(result.run_flags, kRunSuccess | kRunLevelsChanged);
  ASSERT_EQ(result.levels.Count(), 2u);
  EXPECT_EQ(result.levels.Get(0), LevelRecord(expected));
  EXPECT_EQ(result.levels.Get(1), LevelRecord(expected));
}

TEST(MacroCommands, FirstAndLast) {
  ExpectCases({
      {.what = "add empty pairs, also to an empty list",
       .program = {"MACROFIRSTADDEMPTY", "MACROLASTADDEMPTY x",
                   "MACROFIRSTADDEMPTY"},
       .macros_after = Items{"", "", "", "", "", ""}},
      {.what = "add at the front and the end",
       .program = {"MACROFIRSTADDEMPTY", "MACROLASTADDEMPTY"},
       .macros = {"{A}", "1"},
       .macros_after = Items{"", "", "{A}", "1", "", ""}},
      {.what = "set names and values",
       .program = {"MACROFIRSTSETNAME {F}", "MACROLASTSETVALUE  y",
                   "MACROFIRSTSETVALUE", "MACROLASTSETNAME {L}"},
       .macros = kAB,
       .macros_after = Items{"{F}", "", "{L}", " y"}},
      {.what = "alone they take the buffer",
       .program = {"BUFFERSET n", "MACROFIRSTSETNAME", "MACROFIRSTSETVALUE",
                   "MACROLASTSETNAME", "MACROLASTSETVALUE"},
       .macros = kXYZ,
       .macros_after = Items{"n", "n", "{Y}", "y", "n", "n"}},
      {.what = "exchange name and value",
       .program = {"MACROFIRSTEXCHANGENAMEANDVALUE",
                   "MACROLASTEXCHANGENAMEANDVALUE"},
       .macros = kXYZ,
       .macros_after = Items{"x", "{X}", "{Y}", "y", "z", "{Z}"}},
      {.what = "delete",
       .program = {"MACROFIRSTDELETE", "MACROLASTDELETE"},
       .macros = kXYZ,
       .macros_after = Items{"{Y}", "y"}},
  });
}

TEST(MacroCommands, FirstAndLastFailOnAnEmptyList) {
  for (const char* keyword :
       {"MACROFIRSTSETNAME", "MACROFIRSTSETVALUE", "MACROLASTSETNAME",
        "MACROLASTSETVALUE", "MACROFIRSTEXCHANGENAMEANDVALUE",
        "MACROLASTEXCHANGENAMEANDVALUE", "MACROFIRSTIMPORT", "MACROLASTIMPORT",
        "MACROFIRSTEXPORT", "MACROLASTEXPORT", "MACROFIRSTDELETE",
        "MACROLASTDELETE"}) {
    const ComplexResult result =
        RunComplexProgram({std::string(keyword) + " x", "MESSAGE next"});
    EXPECT_EQ(result.run_flags, 0) << keyword;
    EXPECT_EQ(result.output, Items{"next"}) << keyword;
    EXPECT_EQ(result.macros, Items{}) << keyword;
  }
}

TEST(MacroCommands, ExportAndImportKeepEveryByte) {
  ScratchDir scratch;
  const std::string first = scratch.Path("first");
  const std::string last = scratch.Path("last");
  const std::string bytes("a\r\n\0b\n\xff", 7);
  ExpectCases({
      {.what = "export, change, import gives the bytes back",
       .program = {"MACROFIRSTEXPORT", "MACROLASTEXPORT",
                   "MACROFIRSTSETVALUE changed", "MACROLASTSETVALUE changed",
                   "MACROFIRSTIMPORT", "MACROLASTIMPORT"},
       .macros = {first, bytes, last, ""}},
  });
  EXPECT_EQ(ReadFile(first), bytes);
  EXPECT_EQ(ReadFile(last), "");

  WriteFile(first, "longer old content");
  ExpectCases({
      {.what = "export replaces an existing file",
       .program = {"MACROFIRSTEXPORT"},
       .macros = {first, "new"}},
      {.what = "an unreadable file fails and keeps the value",
       .program = {"MACROFIRSTIMPORT", "MACROLASTIMPORT"},
       .run_flags = 0,
       .macros = {scratch.Path("missing"), "v1", scratch.path(), "v2"}},
      {.what = "an unwritable file fails; no directory is created",
       .program = {"MACROLASTEXPORT"},
       .run_flags = 0,
       .macros = {scratch.Path("missing/file"), "v"}},
  });
  EXPECT_EQ(ReadFile(first), "new");
  EXPECT_FALSE(Exists(scratch.Path("missing")));
}

TEST(MacroCommands, SetValueAndSetName) {
  ExpectCases({
      {.what = "the value line is data; a second set replaces it",
       .program = {"MACROSETVALUE {A}", "MESSAGE x", "MACROSETVALUE {A}",
                   "MESSAGE y"},
       .macros_after = Items{"{A}", "MESSAGE y"}},
      {.what = "alone, the buffer names the macro",
       .program = {"BUFFERSET {B}", "MACROSETVALUE", "v"},
       .macros = kAB,
       .macros_after = Items{"{A}", "1", "{B}", "v"}},
      {.what = "no following line fails, the run ends",
       .program = {"MESSAGE a", "MACROSETVALUE {A}"},
       .output = {"a"},
       .run_flags = 0},
      {.what = "rename keeps the value",
       .program = {"MACROSETNAME {A}", "{C}"},
       .macros = kAB,
       .macros_after = Items{"{C}", "1", "{B}", "2"}},
      {.what = "rename, buffer as the old name",
       .program = {"BUFFERSET {B}", "MACROSETNAME", "{C}"},
       .macros = kAB,
       .macros_after = Items{"{A}", "1", "{C}", "2"}},
      {.what = "a missing macro fails and still skips the new name",
       .program = {"MACROSETNAME {Z}", "MESSAGE skipped", "MESSAGE next"},
       .output = {"next"},
       .run_flags = 0,
       .macros = kAB},
      {.what = "an empty name fails",
       .program = {"MACROSETNAME ", "MESSAGE skipped"},
       .run_flags = 0,
       .macros = {"", "empty name"}},
      {.what = "no following line fails",
       .program = {"MACROSETNAME {A}"},
       .run_flags = 0,
       .macros = kAB},
  });
}

TEST(MacroCommands, NamedMacro) {
  ExpectCases({
      {.what = "MACROEMPTY empties or appends",
       .program = {"MACROEMPTY {A}", "MACROEMPTY {C}"},
       .macros = kAB,
       .macros_after = Items{"{A}", "", "{B}", "2", "{C}", ""}},
      {.what = "MACROEMPTY alone takes the buffer",
       .program = {"BUFFERSET {B}", "MACROEMPTY"},
       .macros = kAB,
       .macros_after = Items{"{A}", "1", "{B}", ""}},
      {.what = "MACROEMPTY with an empty name fails",
       .program = {"MACROEMPTY"},
       .run_flags = 0,
       .macros = kAB},
      {.what = "MACRODELETE removes the first pair of that name",
       .program = {"MACRODELETE {A}"},
       .macros = {"{A}", "1", "{A}", "2"},
       .macros_after = Items{"{A}", "2"}},
      {.what = "MACRODELETE alone; a missing macro fails",
       .program = {"BUFFERSET {B}", "MACRODELETE", "MACRODELETE {B}"},
       .run_flags = 0,
       .macros = kAB,
       .macros_after = Items{"{A}", "1"}},
      {.what = "case sensitivity off matches upper-cased stored names",
       .program = {"CASESENSITIVE off", "MACRODELETE {a}", "IFRETURNTRUE",
                   "MESSAGE lower case matched", "MACRODELETE {A}"},
       .run_flags = 0,
       .macros = {"{a}", "1"},
       .macros_after = Items{}},
      {.what = "move to the front",
       .program = {"MACROMOVEFIRST {Z}", "MACROMOVEFIRST {Z}"},
       .macros = kXYZ,
       .macros_after = Items{"{Z}", "z", "{X}", "x", "{Y}", "y"}},
      {.what = "move to the end",
       .program = {"BUFFERSET {X}", "MACROMOVELAST", "MACROMOVELAST {X}"},
       .macros = kXYZ,
       .macros_after = Items{"{Y}", "y", "{Z}", "z", "{X}", "x"}},
      {.what = "moving a missing macro fails",
       .program = {"BUFFERSET {W}", "MACROMOVEFIRST", "RETURN TRUE",
                   "MACROMOVELAST {W}"},
       .run_flags = 0,
       .macros = kXYZ},
  });
}

// A damaged package may hold an odd number of macro items: a last name
// without a value is not found, so no command reads past the list.
TEST(MacroCommands, NameWithoutValueIsNoMacro) {
  ExpectCases({
      {.what = "look-ups do not find it",
       .program = {"BUFFERSETFROMMACRO {B}", "MESSAGE", "MACRODELETE {B}",
                   "IFMACROWITHNAMEISEMPTY {B}", "MESSAGE never",
                   "EXECUTECOMPLEXMACRO {B}", "MACROMOVELAST {B}"},
       .output = {""},
       .run_flags = 0,
       .macros = {"{A}", "1", "{B}"}},
  });
}

TEST(MacroCommands, SetTextLinesTakesTheRestOfTheProgram) {
  ExpectCases({
      {.what = "every following line as written; the run ends",
       .program = {"MACROSETTEXTLINES {T}", "a", "#b", "MESSAGE c", "  "},
       .macros_after = Items{"{T}", "a\n#b\nMESSAGE c\n  \n"}},
      {.what = "an existing macro moves to the end",
       .program = {"BUFFERSET {A}", "MACROSETTEXTLINES", "MACROSETTEXTLINES"},
       .macros = kAB,
       .macros_after = Items{"{B}", "2", "{A}", "MACROSETTEXTLINES\n"}},
      {.what = "no following line gives an empty value",
       .program = {"MACROSETTEXTLINES {T}"},
       .macros_after = Items{"{T}", ""}},
  });
}

TEST(MacroCommands, TextLineEdits) {
  const Items value = {"{V}", "a\nb\n"};
  ExpectCases({
      {.what = "keep the last line",
       .program = {"MACROKEEPTEXTLINELAST {V}"},
       .macros = value,
       .macros_after = Items{"{V}", "b"}},
      {.what = "keep the first line",
       .program = {"BUFFERSET {V}", "MACROKEEPTEXTLINEFIRST"},
       .macros = value,
       .macros_after = Items{"{V}", "a"}},
      {.what = "delete the last line",
       .program = {"BUFFERSET {V}", "MACRODELETETEXTLINELAST"},
       .macros = value,
       .macros_after = Items{"{V}", "a\n"}},
      {.what = "delete the first line; a line end is added",
       .program = {"MACRODELETETEXTLINEFIRST {V}"},
       .macros = {"{V}", "a\r\nb"},
       .macros_after = Items{"{V}", "b\n"}},
      {.what = "an empty value stays empty",
       .program = {"MACRODELETETEXTLINEFIRST {V}", "MACROKEEPTEXTLINELAST {V}",
                   "MACROVALUEREMOVEDUPLICATETEXTLINES {V}"},
       .macros = {"{V}", ""}},
      {.what = "duplicate lines of a value",
       .program = {"BUFFERSET {V}", "MACROVALUEREMOVEDUPLICATETEXTLINES"},
       .macros = {"{V}", "x\ny\nx\nX"},
       .macros_after = Items{"{V}", "x\ny\nX\n"}},
      {.what = "duplicate lines of a name",
       .program = {"BUFFERSET x\ny\nx", "MACRONAMEREMOVEDUPLICATETEXTLINES"},
       .macros = {"x\ny\nx", "v"},
       .macros_after = Items{"x\ny\n", "v"}},
      {.what = "a missing macro fails",
       .program = {"MACROKEEPTEXTLINEFIRST {W}", "MACROKEEPTEXTLINELAST {W}",
                   "MACRODELETETEXTLINEFIRST {W}",
                   "MACRODELETETEXTLINELAST {W}",
                   "MACRONAMEREMOVEDUPLICATETEXTLINES {W}",
                   "MACROVALUEREMOVEDUPLICATETEXTLINES {W}"},
       .run_flags = 0,
       .macros = value},
  });
}

TEST(MacroCommands, Conditions) {
  ExpectCases({
      {.what = "a name exists",
       .program = {"IFMACROWITHNAMEEXISTS {A}", "MESSAGE A",
                   "IFMACROWITHNAMEEXISTS {C}", "MESSAGE never",
                   "IFNOTMACROWITHNAMEEXISTS {C}", "MESSAGE not C",
                   "BUFFERSET {B}", "IFNOTMACROWITHNAMEEXISTS", "MESSAGE never",
                   "IFMACROWITHNAMEEXISTS", "MESSAGE B"},
       .output = {"A", "not C", "B"},
       .macros = kAB},
      {.what = "case sensitivity off: only an upper-case name matches",
       .program = {"CASESENSITIVE off", "IFMACROWITHNAMEEXISTS {A}",
                   "MESSAGE upper", "IFMACROWITHNAMEEXISTS {a}",
                   "MESSAGE never"},
       .output = {"upper"},
       .macros = {"{a}", "1"}},
      {.what = "a value exists, by the case flag",
       .program = {"IFMACROWITHVALUEEXISTS 2", "MESSAGE 2",
                   "IFNOTMACROWITHVALUEEXISTS V", "MESSAGE not V",
                   "CASESENSITIVE off", "BUFFERSET V", "IFMACROWITHVALUEEXISTS",
                   "MESSAGE V", "IFNOTMACROWITHVALUEEXISTS", "MESSAGE never"},
       .output = {"2", "not V", "V"},
       .macros = {"{A}", "v", "{B}", "2"}},
      {.what = "a value is empty; undecidable for a missing macro",
       .program = {"IFMACROWITHNAMEISEMPTY {E}", "MESSAGE E",
                   "IFNOTMACROWITHNAMEISEMPTY {F}", "MESSAGE F",
                   "BUFFERSET {F}", "IFMACROWITHNAMEISEMPTY", "MESSAGE never",
                   "IFNOTMACROWITHNAMEISEMPTY {NONE}", "MESSAGE never",
                   "MESSAGE after"},
       .output = {"E", "F", "after"},
       .run_flags = 0,
       .macros = {"{E}", "", "{F}", "f"}},
      {.what = "first and last name and value, exact bytes",
       .program = {"IFMACROFIRSTNAMEIS {A}",
                   "MESSAGE 1",
                   "IFMACROFIRSTVALUEIS 1",
                   "MESSAGE 2",
                   "IFMACROLASTNAMEIS {B}",
                   "MESSAGE 3",
                   "IFMACROLASTVALUEIS 2",
                   "MESSAGE 4",
                   "CASESENSITIVE off",
                   "IFMACROLASTNAMEIS {b}",
                   "MESSAGE never",
                   "IFNOTMACROFIRSTVALUEIS 2",
                   "MESSAGE 5",
                   "IFNOTMACROFIRSTNAMEIS {A}",
                   "MESSAGE never",
                   "IFNOTMACROLASTNAMEIS {A}",
                   "MESSAGE 6",
                   "BUFFERSET 2",
                   "IFNOTMACROLASTVALUEIS",
                   "MESSAGE never"},
       .output = {"1", "2", "3", "4", "5", "6"},
       .macros = kAB},
      {.what = "on an empty list they cannot be evaluated",
       .program = {"IFMACROFIRSTNAMEIS x", "MESSAGE never",
                   "IFNOTMACROFIRSTVALUEIS x", "MESSAGE never",
                   "IFMACROLASTNAMEIS", "MESSAGE never",
                   "IFNOTMACROLASTVALUEIS", "MESSAGE never", "MESSAGE after"},
       .output = {"after"},
       .run_flags = 0},
  });
}

}  // namespace
