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
