#include "checks/consistency_checks.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/package_builder.h"

namespace {

using Lines = std::vector<std::string>;

Lines MacroWarnings(
    const std::vector<std::pair<std::string, std::string>>& macros) {
  LineList output;
  CheckMacroList(MacroData(macros), &output);
  return output.lines();
}

Lines ContentWarnings(const std::vector<LevelSpec>& levels) {
  LineList output;
  CheckLevelContents(LevelList(levels), &output);
  return output.lines();
}

LevelSpec Level(std::string kind, std::vector<std::string> code,
                std::string presentation = "P") {
  LevelSpec level;
  level.kind = std::move(kind);
  level.code = std::move(code);
  level.presentation = std::move(presentation);
  return level;
}

TEST(CheckMacroList, ReportsEveryLaterEqualNameAndEveryEmptyName) {
  EXPECT_EQ(MacroWarnings({{"{A}", "1"},
                           {"{a}", "2"},  // case counts: not a duplicate
                           {"", "x"},
                           {"{A}", "3"},
                           {"{B}", ""},
                           {"{A}", "4"},
                           {"", ""}}),
            (Lines{
                "WARNING! Duplicate macro found \"{A}\".",
                "WARNING! Duplicate macro found \"{A}\".",
                "WARNING! Found invalid macro line which doesn't contain a "
                "macro name.",
                "WARNING! Duplicate macro found \"{A}\".",
                "WARNING! Found invalid macro line which doesn't contain a "
                "macro name.",
            }));
  EXPECT_EQ(MacroWarnings({}), Lines{});
  LineList output;
  CheckMacroList("", &output);
  CheckMacroList("\x05not a list", &output);
  EXPECT_TRUE(output.Empty());
}

TEST(CheckLevelContents, PackageLevelPathLine) {
  EXPECT_EQ(
      ContentWarnings(
          {Level("6", {"0", "/pkg/inner.qrl"}),
           Level("6", {"0", "\\pkg\\inner.qrl"}),
           Level("6", {"0", "x"}, "Short"), Level("6", {"0", "C:pkg"}, "Odd"),
           Level("6", {"0", "/a", "/b"}, "Three"), Level("6", {"0"}, "One"),
           Level("6", {"1", "inline package"})}),
      (Lines{
          "WARNING! Less than two characters long line at: Package with "
          "presentation: \"Short\"",
          "WARNING! Found \"C:pkg\" line in Package process type with strange "
          "directory separator: \"C\". Usually \"/\" or \"\\\" is used. "
          "Presentation: \"Odd\"",
          "WARNING! Found package type with text code type that contains "
          "wrong number of lines. Presentation: Three",
          "WARNING! Found package type with text code type that contains "
          "wrong number of lines. Presentation: One",
      }));
}

TEST(CheckLevelContents, ExternalLevelPathLines) {
  EXPECT_EQ(
      ContentWarnings({
          Level("5", {"0", "anything", "/start", "/bin/tool", "/run"}),
          Level("5", {"0", "", "\\start", "\\t", "\\run", "params"}),
          Level("5", {"0", "", "", "x", "", ""}, "Empty"),
          Level("5", {"0", "", "start", "bin", "run"}, "Relative"),
          Level("5", {"0", "", "/start", "/bin"}, "Four"),
          Level("5", {"1", "", "/start", "/bin", "/run"}, "Binary"),
      }),
      (Lines{
          "WARNING! Initial working directory line is empty at: External "
          "with presentation: \"Empty\"",
          "WARNING! Executable path has less than two characters long at: "
          "External with presentation: \"Empty\"",
          "WARNING! Running directory of the executable line is empty at: "
          "External with presentation: \"Empty\"",
          "WARNING! Found \"start\" External process with strange directory "
          "separator: \"s\". Usually \"/\" or \"\\\" is used.",
          "WARNING! Found \"bin\" External process with strange directory "
          "separator: \"b\". Usually \"/\" or \"\\\" is used.",
          "WARNING! Found \"run\" External process with strange directory "
          "separator: \"r\". Usually \"/\" or \"\\\" is used.",
          "WARNING! Less than 4 external tool lines at: External with "
          "presentation: \"Four\"",
          "WARNING! Found binary code type instead of text code type at: "
          "External with presentation: \"Binary\"",
      }));
}

TEST(CheckLevelContents, CreationRemovalLinesAreTestedOneAfterAnother) {
  EXPECT_EQ(
      ContentWarnings({
          Level("4", {"0", "+/a/b", "-\\a\\b\\", "abc", " +/x", "+:", " x",
                      "*:x", "-/a "}),
          Level("4", {"1", "+/a"}, "Bin"),
          Level("4", {"0"}),
      }),
      (Lines{
          "WARNING! Found \"abc\" file/directory_creation/removal process "
          "that starts with a character different than \"+\" or \"-\".",
          "WARNING! Found \"abc\" file/directory_creation/removal process "
          "with strange directory separator: \"b\". Usually \"/\" or \"\\\" "
          "is used.",
          "WARNING! Unpleasant practice detected at \" +/x\" "
          "file/directory_creation/removal process. Use of spaces at "
          "begin/end is higly discouraged.",
          "WARNING! Found \" +/x\" file/directory_creation/removal process "
          "that starts with a character different than \"+\" or \"-\".",
          "WARNING! Found \" +/x\" file/directory_creation/removal process "
          "with strange directory separator: \"+\". Usually \"/\" or \"\\\" "
          "is used.",
          "WARNING! Found \"+:\" file/directory_creation/removal process with "
          "less than 3 characters.",
          "WARNING! Unpleasant practice detected at \" x\" "
          "file/directory_creation/removal process. Use of spaces at "
          "begin/end is higly discouraged.",
          "WARNING! Found \" x\" file/directory_creation/removal process with "
          "less than 3 characters.",
          "WARNING! Found \"*:x\" file/directory_creation/removal process "
          "that starts with a character different than \"+\" or \"-\".",
          "WARNING! Found \"*:x\" file/directory_creation/removal process "
          "with strange directory separator: \":\". Usually \"/\" or \"\\\" "
          "is used.",
          "WARNING! Unpleasant practice detected at \"-/a \" "
          "file/directory_creation/removal process. Use of spaces at "
          "begin/end is higly discouraged.",
          "WARNING! Found binary code type instead of text code type at: "
          "File/Directory_CreationRemoval with presentation: \"Bin\"",
      }));
}

TEST(CheckLevelContents, OtherKindsAndUnreadableCodeAreNotLookedInto) {
  EXPECT_EQ(ContentWarnings({Level("0", {"0", "x"}), Level("1", {"0", "x"}),
                             Level("2", {"0", "x"}), Level("3", {"0", "x"}),
                             Level("7", {"0", "x"})}),
            Lines{});
  // An empty code list has no code type, so it is not the text code type.
  TFASTMEMLIST levels = LevelList({Level("5", {}), Level("6", {})});
  LineList output;
  CheckLevelContents(levels, &output);
  EXPECT_EQ(output.lines(),
            (Lines{"WARNING! Found binary code type instead of text code type "
                   "at: External with presentation: \"P\""}));
}

TEST(ExecuteChecks, CleanPackageGivesNoLineAndFindingsComeInCheckOrder) {
  LevelSpec normal;
  normal.entries = {{"/", "/src/a.txt", "0", {"x"}, ""}};
  LineList output;
  ExecuteChecks(LevelList({normal, normal}), TSETTINGSBLOCK{}, &output);
  EXPECT_TRUE(output.Empty());

  TSETTINGSBLOCK settings;
  settings.macros = MacroData({{"{X}", "1"}, {"{X}", "2"}});
  settings.symbols = "+A,";
  LevelSpec requirement = Level("1", {"0"});
  requirement.success_symbols = "+S";
  requirement.requirements = "+R";
  requirement.entries = {{"/", "/f", "0", {"a"}, ""},
                         {"/", "/f", "0", {"a"}, ""}};
  ExecuteChecks(LevelList({Level("4", {"0", "?/x"}), requirement}), settings,
                &output);
  EXPECT_EQ(
      output.lines(),
      (Lines{
          "WARNING! Duplicate macro found \"{X}\".",
          "WARNING! Found \"?/x\" file/directory_creation/removal process "
          "that starts with a character different than \"+\" or \"-\".",
          "WARNING! Found \"\" symbol with less than 2 characters.",
          "WARNING! Declared symbol \"+S\" can't be found within required "
          "symbols.",
          "WARNING! Required symbol \"R\" can't be found within declared "
          "symbols.",
          "WARNING! 1 entries regarding duplicate code requirements:",
          "Same requirement code can be found at index 1,0 and index 1,1",
      }));
}

}  // namespace
