#include "console/console_client.h"

#include <sstream>
#include <string>

#include "gtest/gtest.h"
#include "tests/package_builder.h"
#include "tests/test_util.h"

namespace {

std::vector<std::string> Items(const std::string& data) {
  TFASTMEMLIST list;
  EXPECT_TRUE(list.LoadFromData(data));
  std::vector<std::string> items;
  for (uint64_t i = 0; i < list.Count(); ++i) {
    items.push_back(list.Get(i));
  }
  return items;
}

TEST(MergeCommandLine, MacrosAndSymbolsFollowTheirPrefixes) {
  const LineList arguments = {"qrlconsole",   "p.qrl",         "apply",
                              "macro{X}=a=b", "MACRO{EMPTY}=", "MACRO=1",
                              "MACRO{X}",     "MACRO",         "symbol+A",
                              "SYMBOL",       "SYMBOL-B",      "MACROSYMBOL+C",
                              "  MACRO{Y}=1", "other"};
  TFASTMEMLIST macros;
  TSETTINGSBLOCK settings;
  settings.symbols = "+P";
  settings.macros = MacroData({{"{PACKAGE}", "discarded"}});
  MergeCommandLine(arguments, &macros, &settings);
  EXPECT_EQ(Items(settings.macros),
            (std::vector<std::string>{"{X}", "a=b", "{EMPTY}", ""}));
  EXPECT_EQ(settings.symbols, "+P,+A,-B");
}

TEST(MergeCommandLine, NoMacroArgumentStoresTheEmptyList) {
  TFASTMEMLIST macros;
  TSETTINGSBLOCK settings;
  MergeCommandLine(LineList{"q", "p", "apply", "SYMBOL+A"}, &macros, &settings);
  EXPECT_EQ(settings.macros, std::string("\x01\x00", 2));
  EXPECT_EQ(settings.symbols, "+A");
}

TEST(ReadParameterFile, KeepsLinesAsReadAndDropsCommentsAndBlanks) {
  ScratchDir dir;
  const std::string file = dir.Path("params.txt");
  WriteFile(file,
            "\xEF\xBB\xBFquorlfile.qrl\r\n# a comment\n\n   \r"
            "apply\n  MACRO{X}=1 \nMACRO{Y}=2");
  LineList arguments = {"/bin/qrlconsole", file};
  ASSERT_TRUE(ReadParameterFile(file, &arguments));
  EXPECT_EQ(arguments, (LineList{"/bin/qrlconsole", "quorlfile.qrl", "apply",
                                 "  MACRO{X}=1 ", "MACRO{Y}=2"}));
  EXPECT_FALSE(ReadParameterFile(dir.Path("missing"), &arguments));
}

TEST(RunConsole, ReportsALoadFailureOnStandardError) {
  ScratchDir dir;
  WriteFile(dir.Path("bad.qrl"), "\x01\x01\x05");
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunConsole({"qrlconsole", dir.Path("bad.qrl"), "apply"}, out, err),
            3);
  EXPECT_EQ(out.str(), BannerLine());
  EXPECT_EQ(err.str(), "qrlconsole: cannot load package '" +
                           dir.Path("bad.qrl") +
                           "': at byte 2: item 0 of length 5 runs past the "
                           "end of the data\n");
}

TEST(RunConsole, PackageNameWithANulByteFromAParameterFileIsRefused) {
  // The system would load "q.qrl".
  ScratchDir dir(ScratchDir::Enter::kYes);
  WriteFile("q.qrl", PackageData({NormalLevel("1")}));
  WriteFile("params.txt", std::string("q.qrl\0x\napply\n", 15));
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunConsole({"qrlconsole", "params.txt"}, out, err), 3);
  EXPECT_EQ(out.str(), BannerLine());
  EXPECT_EQ(err.str(),
            "qrlconsole: cannot load package 'q.qrl\\x00x': q.qrl\\x00x: the "
            "path holds a NUL byte\n");
}

TEST(RunConsole, EscapesControlCharactersOnStandardError) {
  ScratchDir dir;
  const std::string name = dir.Path("\x1b[2Jbad\nqrlconsole: forged.qrl");
  WriteFile(name, "\x01\x01\x05");
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunConsole({"qrlconsole", name, "apply"}, out, err), 3);
  EXPECT_EQ(err.str(), "qrlconsole: cannot load package '" + dir.path() +
                           "/\\x1B[2Jbad\\nqrlconsole: forged.qrl': at "
                           "byte 2: item 0 of length 5 runs past the end of "
                           "the data\n");
}

}  // namespace
