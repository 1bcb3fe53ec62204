#include "tests/complex_runs.h"

#include "complex/complex_interpreter.h"
#include "gtest/gtest.h"
#include "services/line_list.h"

ComplexResult RunComplexProgram(const Items& program, const Items& macros,
                                const Items& symbols,
                                const TFASTMEMLIST& levels) {
  TFASTMEMLIST program_list;
  program_list.AddStrings(LineList(program));
  TFASTMEMLIST macro_list;
  macro_list.AddStrings(LineList(macros));
  LineList symbol_list(symbols);
  LineList output;
  ComplexResult result;
  result.levels = levels;
  result.run_flags = 1;
  RunComplex(program_list, &result.levels, &symbol_list, &macro_list, &output,
             &result.run_flags);
  result.output = output.lines();
  LineList macro_lines;
  macro_list.GetStrings(&macro_lines);
  result.macros = macro_lines.lines();
  result.symbols = symbol_list.lines();
  return result;
}

void ExpectCases(const std::vector<ProgramCase>& cases) {
  for (const ProgramCase& c : cases) {
    SCOPED_TRACE(c.what);
    const ComplexResult result =
        RunComplexProgram(c.program, c.macros, c.symbols);
    EXPECT_EQ(result.output, c.output);
    EXPECT_EQ(result.run_flags, c.run_flags);
    EXPECT_EQ(result.macros, c.macros_after.value_or(c.macros));
    EXPECT_EQ(result.symbols, c.symbols_after.value_or(c.symbols));
  }
}
