#include "engine/symbols.h"

#include "gtest/gtest.h"

namespace {

TEST(UpdateSymbols, EditsFollowTheStateRules) {
  struct Step {
    const char* edits;
    LineList expected;
  };
  const Step steps[] = {
      {"+FOO", {"+FOO"}},
      {"+FOO", {"+FOO"}},  // defined once only
      {"+foo", {"+FOO"}},  // look-ups ignore case
      {"*FOO", {"*FOO"}},  // forcing replaces the plain define
      {"-FOO", {"*FOO"}},  // a forced symbol resists "-"
      {"+FOO", {"*FOO"}},  // ... and "+"
      {"/FOO", {}},        // forced states cancel each other
      {"/FOO", {"/FOO"}},
      {"*FOO", {}},
      {"+BAR,/BAZ,*QUX", {"+BAR", "/BAZ", "*QUX"}},
      {"%BAR,%BAZ,%QUX,%NONE", {}},      // "%" clears any state
      {"ACTION_APPLY,+X,Y,+,", {"+X"}},  // no operation, too short: ignored
      {"-X", {}},
  };
  LineList symbols;
  for (const Step& step : steps) {
    UpdateSymbols(step.edits, &symbols);
    EXPECT_EQ(symbols, step.expected) << step.edits;
  }
}

TEST(ActionSelected, RunsWhenNoActionOrTheRunningActionIsNamed) {
  const LineList applying = {"+X", "ACTION_APPLY"};
  EXPECT_TRUE(ActionSelected("", applying));
  EXPECT_TRUE(ActionSelected("+X,-Y", applying));
  EXPECT_TRUE(ActionSelected("ACTION_APPLY", applying));
  EXPECT_TRUE(ActionSelected("ACTION_REVERSE,ACTION_APPLY", applying));
  EXPECT_FALSE(ActionSelected("ACTION_REVERSE,+X", applying));
  // Action names in requirements are matched exactly.
  EXPECT_TRUE(ActionSelected("action_reverse", applying));
}

TEST(GlobalRequirementsMet, PlusNeedsDefinedMinusNeedsAbsent) {
  const LineList symbols = {"*X", "/Y", "+z", "ACTION_APPLY"};
  EXPECT_TRUE(GlobalRequirementsMet("", symbols));
  EXPECT_TRUE(GlobalRequirementsMet("+X,-Y", symbols));  // /Y is not +Y
  EXPECT_TRUE(GlobalRequirementsMet("+Z,ACTION_REVERSE,,?W", symbols));
  EXPECT_FALSE(GlobalRequirementsMet("+Y", symbols));
  EXPECT_FALSE(GlobalRequirementsMet("-X", symbols));
  EXPECT_FALSE(GlobalRequirementsMet("+X,-z", symbols));
}

TEST(AllSymbolsPresent, EveryEntryAsWritten) {
  const LineList symbols = {"+A", "*B", "ACTION_APPLY"};
  EXPECT_TRUE(AllSymbolsPresent("", symbols));
  EXPECT_TRUE(AllSymbolsPresent("+a,*B,ACTION_REVERSE", symbols));
  EXPECT_FALSE(AllSymbolsPresent("+B", symbols));
}

}  // namespace
