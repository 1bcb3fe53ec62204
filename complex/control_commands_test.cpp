#include <string>

#include "gtest/gtest.h"
#include "tests/complex_runs.h"

namespace {

TEST(ControlCommands, FlagsAndCaseSensitivity) {
  ExpectCases({
      {.what = "RETURN TRUE sets the bit, the run goes on",
       .program = {"RETURN FALSE", "RETURN TRUE", "MESSAGE on"},
       .output = {"on"}},
      {.what = "RETURN with anything but TRUE clears it",
       .program = {"RETURN true", "MESSAGE on"},
       .output = {"on"},
       .run_flags = 0},
      {.what = "a later failure clears it again",
       .program = {"RETURN FALSE", "RETURN TRUE", "BUFFERGETLEFTOF"},
       .run_flags = 0},
      {.what = "HALT sets the stop bit and ends the run",
       .program = {"MESSAGE a", "HALT", "MESSAGE b"},
       .output = {"a"},
       .run_flags = 3},
      {.what = "LEVELRESTART and LEVELFINISH mark, the run goes on",
       .program = {"LEVELRESTART", "LEVELFINISH x", "MESSAGE after"},
       .output = {"after"},
       .run_flags = 13},
      {.what = "CASESENSITIVE with another text than TRUE turns it off",
       .program = {"CASESENSITIVE true", "BUFFERSETFROMMACRO {A}", "MESSAGE",
                   "CASESENSITIVE TRUE", "BUFFERSETFROMMACRO {A}", "MESSAGE",
                   "CASESENSITIVE  TRUE", "BUFFERSETFROMMACRO {A}", "MESSAGE"},
       .output = {"v", "", "v"},
       .macros = {"{a}", "v"}},
      {.what = "IFRETURNTRUE and IFNOTRETURNTRUE test the success bit",
       .program = {"IFRETURNTRUE", "MESSAGE set", "IFNOTRETURNTRUE",
                   "MESSAGE never", "RETURN", "IFRETURNTRUE", "MESSAGE never",
                   "IFNOTRETURNTRUE", "MESSAGE clear"},
       .output = {"set", "clear"},
       .run_flags = 0},
  });
}

TEST(ControlCommands, ConditionsSkipExactlyOneLine) {
  ExpectCases({
      {.what = "a false condition skips a condition: the line after runs",
       .program = {"IFBUFFERCONTAINS =x", "IFBUFFERCONTAINS =y",
                   "MESSAGE runs"},
       .output = {"runs"}},
      {.what = "a condition on the last line ends the run",
       .program = {"MESSAGE a", "IFRETURNTRUE"},
       .output = {"a"}},
      {.what = "an undecidable condition clears the bit and skips, IF and "
               "IFNOT alike",
       .program = {"IFBUFFERCONTAINS ?x", "MESSAGE never",
                   "IFNOTBUFFERCONTAINS ?x", "MESSAGE never", "MESSAGE after"},
       .output = {"after"},
       .run_flags = 0},
  });
}

TEST(ControlCommands, Goto) {
  ExpectCases({
      {.what = "jumps to the label, which runs next",
       .program = {"GOTO #END", "MESSAGE skipped", "#END", "MESSAGE after"},
       .output = {"after"}},
      {.what = "the lower of two equal lines is the target, even behind",
       .program = {"BUFFERSET x", "#L", "IFBUFFERCONTAINS =done", "GOTO #END",
                   "MESSAGE pass", "BUFFERSET done", "GOTO #L", "#L",
                   "MESSAGE wrong", "#END"},
       .output = {"pass"}},
      {.what = "a label that is a command line runs as that command",
       .program = {"GOTO MESSAGE hi", "MESSAGE one", "MESSAGE hi"},
       .output = {"hi"}},
      {.what = "loops backwards",
       .program = {"#LOOP", "BUFFEREPILOGUE x",
                   "BUFFEREPILOGUETEXTLINESEPARATOR",
                   "IFBUFFERTEXTLINESCOUNT <3", "GOTO #LOOP", "MESSAGE"},
       .output = {"x\nx\nx\n"}},
      {.what = "alone, it jumps to the buffer",
       .program = {"BUFFERSET #T", "GOTO", "MESSAGE skipped", "#T", "MESSAGE"},
       .output = {"#T"}},
      {.what = "an absent label fails, letter case counts",
       .program = {"GOTO #end", "MESSAGE next", "#END"},
       .output = {"next"},
       .run_flags = 0},
      {.what = "an empty label fails",
       .program = {"GOTO ", "GOTO", "MESSAGE next"},
       .output = {"next"},
       .run_flags = 0},
  });
}

TEST(ControlCommands, ExecuteComplexMacroSharesTheRunFlags) {
  ExpectCases({
      {.what = "own buffer and program counter; macros stay changed",
       .program = {"BUFFERSET outer", "EXECUTECOMPLEXMACRO {M}", "MESSAGE"},
       .output = {"inner", "outer"},
       .macros = {"{M}", "BUFFERSET inner\nMESSAGE\nMACROLASTADDEMPTY"},
       .macros_after =
           Items{"{M}", "BUFFERSET inner\nMESSAGE\nMACROLASTADDEMPTY", "", ""}},
      {.what = "alone, the buffer names the macro; CR LF lines",
       .program = {"BUFFERSET {M}", "EXECUTECOMPLEXMACRO"},
       .output = {"a", "b"},
       .macros = {"{M}", "MESSAGE a\r\nMESSAGE b\r\n"}},
      {.what = "HALT ends only the macro; the stop bit stays",
       .program = {"EXECUTECOMPLEXMACRO {M}", "MESSAGE after"},
       .output = {"a", "after"},
       .run_flags = 3,
       .macros = {"{M}", "MESSAGE a\nHALT\nMESSAGE b"}},
      {.what = "a failure in the macro is the caller's failure",
       .program = {"EXECUTECOMPLEXMACRO {M}", "MESSAGE after"},
       .output = {"after"},
       .run_flags = 0,
       .macros = {"{M}", "RETURN FALSE"}},
      {.what = "its GOTO searches its own lines",
       .program = {"EXECUTECOMPLEXMACRO {M}", "#X", "MESSAGE outer"},
       .output = {"m2", "outer"},
       .macros = {"{M}", "GOTO #X\nMESSAGE m1\n#X\nMESSAGE m2"}},
      {.what = "it starts case-sensitive whatever the caller's flag",
       .program = {"CASESENSITIVE no", "EXECUTECOMPLEXMACRO {M}",
                   "IFMACROWITHNAMEEXISTS {M}", "MESSAGE caller matches"},
       .output = {"caller matches"},
       .macros = {"{m}", "IFMACROWITHNAMEEXISTS {M}\nMESSAGE never"}},
      {.what = "it runs a copy: changing its own macro changes no line",
       .program = {"EXECUTECOMPLEXMACRO {M}"},
       .output = {"original"},
       .macros = {"{M}", "MACROSETVALUE {M}\nMESSAGE new\nMESSAGE original"},
       .macros_after = Items{"{M}", "MESSAGE new"}},
      {.what = "a missing macro fails, the next line runs",
       .program = {"EXECUTECOMPLEXMACRO {NONE}", "MESSAGE next"},
       .output = {"next"},
       .run_flags = 0},
  });
}

TEST(ControlCommands, IfExecuteComplexMacroKeepsItsFlagsPrivate) {
  const Items macros = {"{OK}",    "MESSAGE ok",
                        "{BAD}",   "RETURN FALSE",
                        "{MARKS}", "LEVELRESTART\nLEVELFINISH\nHALT\nRETURN"};
  ExpectCases({
      {.what = "holds when the macro keeps its success bit",
       .program = {"IFEXECUTECOMPLEXMACRO {OK}", "MESSAGE held",
                   "IFNOTEXECUTECOMPLEXMACRO {OK}", "MESSAGE never"},
       .output = {"ok", "held", "ok"},
       .macros = macros},
      {.what = "a macro's failure makes it false, the caller's bit stays",
       .program = {"IFEXECUTECOMPLEXMACRO {BAD}", "MESSAGE never",
                   "IFNOTEXECUTECOMPLEXMACRO {BAD}", "MESSAGE not held"},
       .output = {"not held"},
       .macros = macros},
      {.what = "stop, restart and finish inside are dropped; HALT ends it",
       .program = {"IFEXECUTECOMPLEXMACRO {MARKS}", "MESSAGE held",
                   "MESSAGE after"},
       .output = {"held", "after"},
       .macros = macros},
      {.what = "alone, the buffer names the macro",
       .program = {"BUFFERSET {OK}", "IFNOTEXECUTECOMPLEXMACRO",
                   "MESSAGE never"},
       .output = {"ok"},
       .macros = macros},
      {.what = "a missing macro is undecidable: bit cleared, line skipped",
       .program = {"IFEXECUTECOMPLEXMACRO {NONE}", "MESSAGE never",
                   "IFNOTEXECUTECOMPLEXMACRO {NONE}", "MESSAGE never",
                   "MESSAGE after"},
       .output = {"after"},
       .run_flags = 0,
       .macros = macros},
  });
}

}  // namespace
