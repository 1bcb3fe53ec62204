#include "gtest/gtest.h"
#include "tests/complex_runs.h"

namespace {

TEST(SymbolCommands, EditTheList) {
  ExpectCases({
      {.what = "clearing keeps only the exact action names",
       .program = {"SYMBOLSCLEAR"},
       .symbols = {"ACTION_APPLY", "+A", "*B", "ACTION_REVERSE"},
       .symbols_after = Items{"ACTION_APPLY", "ACTION_REVERSE"}},
      {.what = "a lower-cased action name is cleared too",
       .program = {"SYMBOLSLOWERCASE", "SYMBOLSCLEAR"},
       .symbols = {"ACTION_APPLY", "+A"},
       .symbols_after = Items{}},
      {.what = "case changes reach every entry",
       .program = {"SYMBOLSUPPERCASE", "BUFFERSETSYMBOLS", "MESSAGE",
                   "SYMBOLSLOWERCASE"},
       .output = {"ACTION_APPLY\n+A\n"},
       .symbols = {"action_Apply", "+a"},
       .symbols_after = Items{"action_apply", "+a"}},
      {.what = "edits, and the buffer as the edit list",
       .program = {"SYMBOLSAPPLY +NEW,-A", "BUFFERSET *F", "SYMBOLSAPPLY"},
       .symbols = {"ACTION_APPLY", "+A"},
       .symbols_after = Items{"ACTION_APPLY", "+NEW", "*F"}},
  });
}

TEST(SymbolCommands, Conditions) {
  ExpectCases({
      {.what = "status is the entry as written; defined takes + or *",
       .program = {"IFSYMBOLSSTATUS *B", "MESSAGE status *B",
                   "IFSYMBOLSSTATUS +B", "MESSAGE never",
                   "IFNOTSYMBOLSSTATUS +B", "MESSAGE not +B",
                   "IFSYMBOLSDEFINED +B", "MESSAGE defined",
                   "IFNOTSYMBOLSDEFINED -B", "MESSAGE not undefined"},
       .output = {"status *B", "not +B", "defined", "not undefined"},
       .symbols = {"ACTION_APPLY", "*B"}},
      {.what = "with +B present",
       .program = {"IFSYMBOLSSTATUS *B", "MESSAGE never", "IFSYMBOLSDEFINED +B",
                   "MESSAGE defined", "IFSYMBOLSSTATUS ACTION_REVERSE,+B",
                   "MESSAGE action names are not tested"},
       .output = {"defined", "action names are not tested"},
       .symbols = {"ACTION_APPLY", "+B"}},
      {.what = "alone they test the buffer",
       .program = {"BUFFERSET +B,-C", "IFSYMBOLSDEFINED", "MESSAGE defined",
                   "IFNOTSYMBOLSDEFINED", "MESSAGE never", "BUFFERSET +C",
                   "IFSYMBOLSSTATUS", "MESSAGE never", "IFNOTSYMBOLSSTATUS",
                   "MESSAGE no +C"},
       .output = {"defined", "no +C"},
       .symbols = {"+B"}},
  });
}

}  // namespace
