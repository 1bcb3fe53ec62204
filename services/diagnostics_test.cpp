#include "services/diagnostics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(Diagnose, GoesToTheInnermostSinkAndIsDroppedWithoutOne) {
  Diagnose("nobody listens");
  std::vector<std::string> outer;
  std::vector<std::string> inner;
  {
    ScopedDiagnosticSink outer_sink(
        [&outer](std::string_view line) { outer.emplace_back(line); });
    Diagnose("one");
    {
      ScopedDiagnosticSink inner_sink(
          [&inner](std::string_view line) { inner.emplace_back(line); });
      Diagnose("two");
    }
    Diagnose("three");
  }
  Diagnose("dropped again");
  EXPECT_EQ(outer, (std::vector<std::string>{"one", "three"}));
  EXPECT_EQ(inner, (std::vector<std::string>{"two"}));
}

TEST(EscapeForTerminal, ControlsAndInvalidUtf8BecomeEscapes) {
  struct Case {
    std::string in;
    std::string out;
  };
  const std::vector<Case> cases = {
      {"plain text, \\path\\ and ~", "plain text, \\path\\ and ~"},
      {"\x1b[31mred\nline\r\tx", "\\x1B[31mred\\nline\\r\\tx"},
      {std::string("nul\0byte\x7f", 9), "nul\\x00byte\\x7F"},
      // Well-formed UTF-8 stays, up to four bytes.
      {"\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
       "\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      // C1 controls (U+009B is a terminal's CSI) are escaped byte by byte.
      {"\xC2\x9B"
       "2J \xC2\xA0",
       "\\xC2\\x9B"
       "2J \xC2\xA0"},
      // A stray continuation byte, a cut sequence, an overlong form, a
      // surrogate and a code point above U+10FFFF.
      {"\x80 \xC3 \xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80",
       "\\x80 \\xC3 \\xC0\\xAF \\xED\\xA0\\x80 \\xF4\\x90\\x80\\x80"},
      {"\xE2\x82", "\\xE2\\x82"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EscapeForTerminal(c.in), c.out) << c.in;
  }
}
