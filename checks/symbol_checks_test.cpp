#include "checks/symbol_checks.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/package_builder.h"

namespace {

using Lines = std::vector<std::string>;

LevelSpec Symbols(std::string success, std::string failure,
                  std::string requirements) {
  LevelSpec level;
  level.success_symbols = std::move(success);
  level.failure_symbols = std::move(failure);
  level.requirements = std::move(requirements);
  return level;
}

Lines SymbolWarnings(const std::vector<LevelSpec>& levels) {
  const TFASTMEMLIST list = LevelList(levels);
  const LineList declared = DeclaredSymbols(list);
  const LineList required = RequiredSymbols(list);
  LineList output;
  CheckDeclaredAgainstRequired(declared, required, &output);
  CheckRequiredAgainstDeclared(declared, required, &output);
  return output.lines();
}

TEST(CheckSettingsSymbols, FormOfEverySymbolPieceEmptyPiecesIncluded) {
  struct Case {
    std::string symbols;
    Lines warnings;
  };
  const std::string kShort = "\" symbol with less than 2 characters.";
  const std::string kBlanks =
      "\" symbol. Use of spaces at begin/end of a symbol is higly "
      "discouraged.";
  const std::string kStart =
      "\" symbol that starts with a character different than \"%\", \"+\", "
      "\"-\", \"*\" or \"/\".";
  const Case cases[] = {
      {"", {}},
      {"+A,-B,*C,/D,%E", {}},
      {",", {"WARNING! Found \"" + kShort, "WARNING! Found \"" + kShort}},
      {"+A,,x", {"WARNING! Found \"" + kShort, "WARNING! Found \"x" + kShort}},
      {"VANILLA", {"WARNING! Found \"VANILLA" + kStart}},
      {" +A",
       {"WARNING! Unpleasant practice detected at \" +A" + kBlanks,
        "WARNING! Found \" +A" + kStart}},
      {"+A ", {"WARNING! Unpleasant practice detected at \"+A " + kBlanks}},
      {" ",
       {"WARNING! Unpleasant practice detected at \" " + kBlanks,
        "WARNING! Found \" " + kShort}},
  };
  for (const Case& c : cases) {
    LineList output;
    CheckSettingsSymbols(c.symbols, &output);
    EXPECT_EQ(output.lines(), c.warnings) << "symbols: " << c.symbols;
  }
}

TEST(DeclaredAndRequiredSymbols, CollectedLastLevelFirstWithoutDuplicates) {
  const TFASTMEMLIST levels = LevelList(
      {Symbols("+A,,-B", "*C", "+X,-y"),
       Symbols("+a,/D", "", "Y,,-X,+ACTION_APPLY"), Symbols("", "%E,+A", "")});
  EXPECT_EQ(DeclaredSymbols(levels).lines(),
            (Lines{"%E", "+A", "/D", "-B", "*C"}));
  EXPECT_EQ(RequiredSymbols(levels).lines(), (Lines{"Y", "X", "ACTION_APPLY"}));
}

TEST(DeclaredAndRequiredSymbols, LookUpsIgnoreCaseButActionNamesDoNot) {
  EXPECT_EQ(SymbolWarnings({Symbols("+vanilla", "", "-VANILLA")}), Lines{});
  EXPECT_EQ(SymbolWarnings({Symbols("*Forced", "", "+FORCED")}), Lines{});
  // Only "+" and "*" declare; "-" and "/" entries are never tested.
  EXPECT_EQ(SymbolWarnings({Symbols("-S,/T,%U", "", "-S")}),
            (Lines{"WARNING! Required symbol \"S\" can't be found within "
                   "declared symbols."}));
  EXPECT_EQ(SymbolWarnings({Symbols("", "", "ACTION_APPLY,+ACTION_REVERSE")}),
            Lines{});
  EXPECT_EQ(SymbolWarnings({Symbols("", "", "action_apply")}),
            (Lines{"WARNING! Required symbol \"action_apply\" can't be found "
                   "within declared symbols."}));
  EXPECT_EQ(SymbolWarnings({Symbols("+Unused,*Other", "+Used", ""),
                            Symbols("", "", "+used")}),
            (Lines{"WARNING! Declared symbol \"+Unused\" can't be found "
                   "within required symbols.",
                   "WARNING! Declared symbol \"*Other\" can't be found within "
                   "required symbols."}));
}

}  // namespace
