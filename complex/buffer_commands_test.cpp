#include <string>

#include "gtest/gtest.h"
#include "services/temporary_names.h"
#include "tests/complex_runs.h"
#include "tests/test_util.h"

namespace {

TEST(BufferCommands, SetAndConvert) {
  ExpectCases({
      {.what = "BUFFERSET keeps every byte after the first space",
       .program = {"BUFFERSET  x", "MESSAGE", "BUFFERSET", "MESSAGE"},
       .output = {" x", ""}},
      {.what = "a stored path becomes a / path",
       .program = {R"(BUFFERSET \dir\sub\f)", "BUFFERUPDATEPATH", "MESSAGE"},
       .output = {"dir/sub/f"}},
      {.what = "case changes only ASCII letters",
       .program = {"BUFFERSET aB1\xc4\xe4", "BUFFERLOWERCASE", "MESSAGE",
                   "BUFFERUPPERCASE", "MESSAGE"},
       .output = {"ab1\xc4\xe4", "AB1\xc4\xe4"}},
      {.what = "trimming removes blanks and control bytes",
       .program = {"BUFFERSET  \t x \x01", "BUFFERTRIMLEFT", "MESSAGE",
                   "BUFFERSET  \t x \x01", "BUFFERTRIMRIGHT", "MESSAGE",
                   "BUFFERTRIM", "MESSAGE", "BUFFERSET  \t ", "BUFFERTRIMRIGHT",
                   "MESSAGE"},
       .output = {"x \x01", " \t x", "x", ""}},
  });
}

TEST(BufferCommands, PrologueAndEpilogue) {
  ExpectCases({
      {.what = "text",
       .program = {"BUFFERSET b", "BUFFERPROLOGUE a", "BUFFEREPILOGUE c",
                   "BUFFEREPILOGUE", "MESSAGE"},
       .output = {"abc"}},
      {.what = "bytes in every base",
       .program = {"BUFFERSET b", "BUFFEREPILOGUEBYTE 10",
                   "BUFFEREPILOGUEBYTE $41", "BUFFERPROLOGUEBYTE %110000",
                   "BUFFEREPILOGUEBYTE 0", "MESSAGE"},
       .output = {std::string("0b\nA\0", 5)}},
      {.what = "an unreadable or too large byte fails, buffer unchanged",
       .program = {"BUFFERSET b", "BUFFEREPILOGUEBYTE 256",
                   "BUFFERPROLOGUEBYTE -1", "BUFFEREPILOGUEBYTE", "MESSAGE"},
       .output = {"b"},
       .run_flags = 0},
      {.what = "separators",
       .program = {"BUFFERSET x", "BUFFERPROLOGUEDIRECTORYSEPARATOR",
                   "BUFFEREPILOGUEDIRECTORYSEPARATOR",
                   "BUFFERPROLOGUETEXTLINESEPARATOR",
                   "BUFFEREPILOGUETEXTLINESEPARATOR", "MESSAGE"},
       .output = {"\n/x/\n"}},
      {.what = "system and processor names",
       .program = {"BUFFERSET -", "BUFFERPROLOGUEOS", "BUFFEREPILOGUECPU",
                   "MESSAGE", "BUFFERSET -", "BUFFERPROLOGUECPU",
                   "BUFFEREPILOGUEOS", "MESSAGE"},
       .output = {"Linux-x86_64", "x86_64-Linux"}},
      {.what = "default extensions; the executable one is empty",
       .program = {"BUFFERSET f",
                   "BUFFEREPILOGUEWITHDEFAULTEXECUTABLEEXTENSION",
                   "BUFFEREPILOGUEWITHDEFAULTSCRIPTEXTENSION",
                   "BUFFEREPILOGUEWITHDEFAULTLIBRARYEXTENSION",
                   "BUFFERPROLOGUEWITHDEFAULTEXECUTABLEEXTENSION",
                   "BUFFERPROLOGUEWITHDEFAULTSCRIPTEXTENSION",
                   "BUFFERPROLOGUEWITHDEFAULTLIBRARYEXTENSION", "MESSAGE"},
       .output = {".so.shf.sh.so"}},
      {.what = "a final / only where one is missing",
       .program = {"BUFFERASSUREDIRECTORYSEPARATOREPILOGUE", "MESSAGE",
                   "BUFFERSET /tmp", "BUFFERASSUREDIRECTORYSEPARATOREPILOGUE",
                   "MESSAGE", "BUFFERASSUREDIRECTORYSEPARATOREPILOGUE",
                   "MESSAGE"},
       .output = {"", "/tmp/", "/tmp/"}},
  });
}

TEST(BufferCommands, PrologueAndEpilogueFromMacrosAndSymbols) {
  const Items ends = {"BUFFERSET |",
                      "BUFFERPROLOGUEWITHFIRSTMACRONAME",
                      "BUFFEREPILOGUEWITHFIRSTMACROVALUE",
                      "BUFFERPROLOGUEWITHLASTMACROVALUE",
                      "BUFFEREPILOGUEWITHLASTMACRONAME",
                      "MESSAGE"};
  ExpectCases({
      {.what = "first and last macro",
       .program = ends,
       .output = {"2{A}|1{B}"},
       .macros = {"{A}", "1", "{B}", "2"}},
      {.what = "nothing, and no failure, on an empty list",
       .program = ends,
       .output = {"|"}},
      {.what = "a named macro; nothing for a missing one",
       .program = {"BUFFERSET |", "BUFFERPROLOGUEWITHMACROVALUE {B}",
                   "BUFFEREPILOGUEWITHMACROVALUE {A}",
                   "BUFFEREPILOGUEWITHMACROVALUE {NONE}", "MESSAGE"},
       .output = {"2|1"},
       .macros = {"{A}", "1", "{B}", "2"}},
      {.what = "the named look-up follows the case flag",
       .program = {"CASESENSITIVE off", "BUFFERPROLOGUEWITHMACROVALUE {X}",
                   "BUFFEREPILOGUEWITHMACROVALUE {x}", "MESSAGE"},
       .output = {"low"},
       .macros = {"{x}", "low"}},
      {.what = "the symbol list, one entry a line",
       .program = {"BUFFERSET |", "BUFFERPROLOGUESYMBOLS",
                   "BUFFEREPILOGUESYMBOLS", "MESSAGE"},
       .output = {"ACTION_APPLY\n+A\n|ACTION_APPLY\n+A\n"},
       .symbols = {"ACTION_APPLY", "+A"}},
  });
}

TEST(BufferCommands, TemporaryDirectoryAndFile) {
  ScratchDir scratch;
  WriteFile(scratch.Path("TMP00000.tmp"), "");
  const ComplexResult result = RunComplexProgram(
      {"BUFFERSET x", "BUFFERPROLOGUETEMPORARYDIRECTORY TRUE",
       "BUFFEREPILOGUETEMPORARYDIRECTORY", "MESSAGE", "BUFFERSET |",
       "BUFFERPROLOGUETEMPORARYFILE " + scratch.path(),
       "BUFFEREPILOGUETEMPORARYFILE " + scratch.path() + "/", "MESSAGE"});
  const std::string next = scratch.Path("TMP00001.tmp");
  EXPECT_EQ(result.output,
            (Items{TemporaryDirectory() + "x" + TemporaryDirectory(),
                   next + "|" + next}));
  EXPECT_FALSE(Exists(next));
}

TEST(BufferCommands, WholeBufferSources) {
  const Items macros = {"MACRO_A", "1", "X", "2", "MACRO_B", "1"};
  ExpectCases({
      {.what = "BUFFERSETSYMBOLS",
       .program = {"BUFFERSETSYMBOLS", "MESSAGE"},
       .output = {"+A\n*B\n"},
       .symbols = {"+A", "*B"}},
      {.what = "BUFFERSETSYMBOLS with no symbols",
       .program = {"BUFFERSET x", "BUFFERSETSYMBOLS", "MESSAGE"},
       .output = {""}},
      {.what = "BUFFERSETFROMMACRO; a missing macro empties the buffer",
       .program = {"BUFFERSETFROMMACRO X", "MESSAGE", "BUFFERSETFROMMACRO Y",
                   "MESSAGE", "BUFFERSET MACRO_B", "BUFFERSETFROMMACRO",
                   "MESSAGE"},
       .output = {"2", "", "1"},
       .macros = macros},
      {.what = "names by each operator, exact bytes",
       .program = {"BUFFERSETMACRONAMES >MACRO_", "MESSAGE",
                   "BUFFERSETMACRONAMES =X", "MESSAGE",
                   "BUFFERSETMACRONAMES <_B", "MESSAGE",
                   "BUFFERSETMACRONAMES ~CRO", "MESSAGE",
                   "BUFFERSETMACRONAMES ~", "MESSAGE", "CASESENSITIVE off",
                   "BUFFERSETMACRONAMES =x", "MESSAGE"},
       .output = {"MACRO_A\nMACRO_B\n", "X\n", "MACRO_B\n",
                  "MACRO_A\nMACRO_B\n", "", ""},
       .macros = macros},
      {.what = "values, and the buffer as the default operand",
       .program = {"BUFFERSETMACROVALUES =1", "MESSAGE", "BUFFERSET <2",
                   "BUFFERSETMACROVALUES", "MESSAGE", "BUFFERSET >",
                   "BUFFERSETMACRONAMES", "MESSAGE"},
       .output = {"1\n1\n", "2\n", "MACRO_A\nX\nMACRO_B\n"},
       .macros = macros},
      {.what = "an unknown or missing operator fails and empties the buffer",
       .program = {"BUFFERSET keep", "BUFFERSETMACRONAMES ?", "MESSAGE",
                   "BUFFERSET keep", "BUFFERSETMACROVALUES ", "MESSAGE"},
       .output = {"", ""},
       .run_flags = 0,
       .macros = macros},
  });
}

TEST(BufferCommands, Cutting) {
  ExpectCases({
      {.what = "left and right of a text",
       .program = {"BUFFERSET usr/local/bin", "BUFFERGETLEFTOF /", "MESSAGE",
                   "BUFFERSET usr/local/bin", "BUFFERGETRIGHTOF /", "MESSAGE",
                   "BUFFERSET a::b::c", "BUFFERGETRIGHTOF ::", "MESSAGE"},
       .output = {"usr", "local/bin", "b::c"}},
      {.what = "an absent text leaves the buffer",
       .program = {"BUFFERSET usr/local",
                   "BUFFERGETLEFTOF :", "BUFFERGETRIGHTOF :", "MESSAGE"},
       .output = {"usr/local"}},
      {.what = "an empty text fails",
       .program = {"BUFFERSET usr/local", "BUFFERGETLEFTOF",
                   "BUFFERGETRIGHTOF ", "MESSAGE"},
       .output = {"usr/local"},
       .run_flags = 0},
      {.what = "the case flag decides the search, the buffer keeps its case",
       .program = {"BUFFERSET aXbYB", "BUFFERGETLEFTOF B", "MESSAGE",
                   "CASESENSITIVE off", "BUFFERSET aXbYB", "BUFFERGETLEFTOF B",
                   "MESSAGE", "BUFFERSET aXbYB", "BUFFERGETRIGHTOF x",
                   "MESSAGE"},
       .output = {"aXbY", "aX", "bYB"}},
      {.what = "left and right of a byte",
       .program = {"BUFFERSET a=b=c", "BUFFERGETLEFTOFBYTE 61", "MESSAGE",
                   "BUFFERSET a=b=c", "BUFFERGETRIGHTOFBYTE $3d", "MESSAGE",
                   "BUFFERGETLEFTOFBYTE 0", "MESSAGE"},
       .output = {"a", "b=c", "b=c"}},
      {.what = "an unusable byte fails",
       .program = {"BUFFERSET a=b", "BUFFERGETLEFTOFBYTE 256",
                   "BUFFERGETRIGHTOFBYTE =", "MESSAGE"},
       .output = {"a=b"},
       .run_flags = 0},
  });
}

TEST(BufferCommands, TextLines) {
  ExpectCases({
      {.what = "to and from a separator",
       .program = {"BUFFERSET a;b;c",
                   "BUFFERCHANGETEXTLINESSEPARATORTODEFAULT ;", "MESSAGE",
                   "BUFFERCHANGETEXTLINESSEPARATORFROMDEFAULT ;", "MESSAGE",
                   "BUFFERSET a;", "BUFFERCHANGETEXTLINESSEPARATORTODEFAULT ;",
                   "MESSAGE"},
       .output = {"a\nb\nc\n", "a;b;c", "a\n\n"}},
      {.what = "without a separator CR and CR LF become LF",
       .program = {"BUFFERSET a\r\nb\rc",
                   "BUFFERCHANGETEXTLINESSEPARATORTODEFAULT", "MESSAGE"},
       .output = {"a\nb\nc\n"}},
      {.what = "joining needs a separator, except for an empty buffer",
       .program = {"BUFFERCHANGETEXTLINESSEPARATORFROMDEFAULT", "BUFFERSET a",
                   "IFRETURNTRUE", "BUFFERCHANGETEXTLINESSEPARATORFROMDEFAULT",
                   "MESSAGE"},
       .output = {"a"},
       .run_flags = 0},
      {.what = "keep and delete the first and last line",
       .program = {"BUFFERSET a\nb\n", "BUFFERKEEPTEXTLINELAST", "MESSAGE",
                   "BUFFERSET a\nb\n", "BUFFERKEEPTEXTLINEFIRST", "MESSAGE",
                   "BUFFERSET a\nb\n", "BUFFERDELETETEXTLINEFIRST", "MESSAGE",
                   "BUFFERSET a\nb", "BUFFERDELETETEXTLINELAST", "MESSAGE",
                   "BUFFERDELETETEXTLINELAST", "MESSAGE",
                   "BUFFERDELETETEXTLINEFIRST", "BUFFERKEEPTEXTLINELAST",
                   "MESSAGE"},
       .output = {"b", "a", "b\n", "a\n", "", ""}},
      {.what = "the last line moves to the front",
       .program = {"BUFFERSET a\nb\nc", "BUFFEREXCHANGETEXTLINESFIRSTWITHLAST",
                   "MESSAGE", "BUFFERSET a",
                   "BUFFEREXCHANGETEXTLINESFIRSTWITHLAST", "MESSAGE",
                   "BUFFERSET a,b,c", "BUFFEREXCHANGETEXTLINESFIRSTWITHLAST ,",
                   "MESSAGE", "BUFFERSET",
                   "BUFFEREXCHANGETEXTLINESFIRSTWITHLAST", "MESSAGE"},
       .output = {"c\na\nb\n", "a\n", "c,a,b", ""}},
      {.what = "later duplicates go, exact bytes",
       .program = {"BUFFERSET x\ny\nx\nX", "BUFFERREMOVEDUPLICATETEXTLINES",
                   "MESSAGE"},
       .output = {"x\ny\nX\n"}},
  });
}

TEST(BufferCommands, Conditions) {
  ExpectCases({
      {.what = "line count comparisons",
       .program = {"BUFFERSET a\nb", "IFBUFFERTEXTLINESCOUNT >= 2",
                   "MESSAGE >=", "IFBUFFERTEXTLINESCOUNT <>2", "MESSAGE <>",
                   "IFBUFFERTEXTLINESCOUNT <=1",
                   "MESSAGE <=", "IFBUFFERTEXTLINESCOUNT >$1", "MESSAGE >",
                   "IFBUFFERTEXTLINESCOUNT <3", "MESSAGE <", "BUFFERSET",
                   "IFBUFFERTEXTLINESCOUNT =0", "MESSAGE ="},
       .output = {">=", ">", "<", "="}},
      {.what = "a count without operator or number is undecidable",
       .program = {"IFBUFFERTEXTLINESCOUNT 2", "MESSAGE never",
                   "IFBUFFERTEXTLINESCOUNT = x", "MESSAGE never",
                   "MESSAGE after"},
       .output = {"after"},
       .run_flags = 0},
      {.what = "matching follows the case flag",
       .program = {"BUFFERSET xABCx", "IFBUFFERCONTAINS ~abc",
                   "MESSAGE sensitive", "IFNOTBUFFERCONTAINS ~abc",
                   "MESSAGE not sensitive", "CASESENSITIVE no",
                   "IFBUFFERCONTAINS ~abc", "MESSAGE insensitive"},
       .output = {"not sensitive", "insensitive"}},
      {.what = "begins, ends, equals",
       .program = {"BUFFERSET xABCx", "IFBUFFERCONTAINS >xA", "MESSAGE >",
                   "IFBUFFERCONTAINS <Cx", "MESSAGE <",
                   "IFBUFFERCONTAINS =xABCx",
                   "MESSAGE =", "IFBUFFERCONTAINS =xABC", "MESSAGE never"},
       .output = {">", "<", "="}},
      {.what = "an empty pattern begins and ends, is never contained",
       .program = {"BUFFERSET x", "IFBUFFERCONTAINS >", "MESSAGE >",
                   "IFBUFFERCONTAINS <", "MESSAGE <", "IFBUFFERCONTAINS ~",
                   "MESSAGE never", "IFBUFFERCONTAINS =", "MESSAGE never",
                   "BUFFERSET", "IFBUFFERCONTAINS =", "MESSAGE empty"},
       .output = {">", "<", "empty"}},
      {.what = "an empty argument is undecidable",
       .program = {"BUFFERSET x", "IFNOTBUFFERCONTAINS", "MESSAGE never",
                   "MESSAGE after"},
       .output = {"after"},
       .run_flags = 0},
  });
}

}  // namespace
