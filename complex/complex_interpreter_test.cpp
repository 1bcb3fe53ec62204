#include "complex/complex_interpreter.h"

#include <string>

#include "gtest/gtest.h"
#include "tests/complex_runs.h"

namespace {

TEST(RunComplex, LineSyntax) {
  ExpectCases({
      {.what = "an empty program leaves the flags alone", .program = {}},
      {.what = "the command word ignores case, the argument keeps it",
       .program = {"message Hello", "MeSsAgE  Two  Spaces "},
       .output = {"Hello", " Two  Spaces "}},
      {.what = "comments, blank lines and indented lines do nothing",
       .program = {"# a comment", "#MESSAGE no", "", "   ", "  MESSAGE no",
                   "MESSAGE yes"},
       .output = {"yes"}},
      {.what = "a tab does not separate: unrecognised, the run ends",
       .program = {"MESSAGE\tx", "MESSAGE never"},
       .run_flags = 0},
      {.what = "a tab before a keyword is no blank line",
       .program = {"\tMESSAGE x", "MESSAGE never"},
       .run_flags = 0},
      {.what = "a tab before # is no comment",
       .program = {"\t# x", "MESSAGE never"},
       .run_flags = 0},
      {.what = "an unknown word ends the run, other flags stay",
       .program = {"LEVELFINISH", "MESSAGE before", "FROBNICATE now",
                   "MESSAGE never"},
       .output = {"before"},
       .run_flags = 8},
  });
}

TEST(RunComplex, DefaultArgumentIsTheBufferOnlyForAKeywordAlone) {
  ExpectCases({
      {.what = "alone, in any case, the keyword takes the buffer",
       .program = {"BUFFERSET abc", "MESSAGE", "message"},
       .output = {"abc", "abc"}},
      {.what = "a space after the keyword gives an empty argument",
       .program = {"BUFFERSET abc", "MESSAGE "},
       .output = {""}},
      {.what = "other keywords alone run with an empty argument",
       .program = {"BUFFERSET abc", "BUFFERPROLOGUE", "MESSAGE", "BUFFERSET",
                   "MESSAGE"},
       .output = {"abc", ""}},
      {.what = "a command that changes the buffer reads it first",
       .program = {"BUFFERSET {A}", "BUFFERSETFROMMACRO", "MESSAGE"},
       .output = {"value"},
       .macros = {"{A}", "value"}},
  });
}

// A macro that runs itself stops at a fixed depth instead of exhausting the
// stack: the run that would go too deep ends like an unrecognised command.
TEST(RunComplex, SubProgramsNestOnlyToAFixedDepth) {
  const Items self = {"{SELF}", "MESSAGE in\nEXECUTECOMPLEXMACRO {SELF}"};
  ComplexResult result =
      RunComplexProgram({"EXECUTECOMPLEXMACRO {SELF}", "MESSAGE after"}, self);
  EXPECT_EQ(result.run_flags, 0);
  ASSERT_EQ(result.output.size(), 65u);
  EXPECT_EQ(result.output.front(), "in");
  EXPECT_EQ(result.output.back(), "after");

  // With private flags the failure shows only as a false condition.
  const Items twice = {"{R}", "IFEXECUTECOMPLEXMACRO {R}\nMESSAGE deep"};
  result =
      RunComplexProgram({"IFEXECUTECOMPLEXMACRO {R}", "MESSAGE held"}, twice);
  Items expected(63, "deep");  // depths 63 to 1; depth 64 saw false
  expected.push_back("held");
  EXPECT_EQ(result.run_flags, 1);
  EXPECT_EQ(result.output, expected);
}

}  // namespace
