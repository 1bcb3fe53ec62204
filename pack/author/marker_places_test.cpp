#include "pack/author/marker_places.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

// One mark per place between lines, the first before line 1 and the last
// after the last line: "+" where a marker may stand, "-" where not.
std::string Places(const std::string& path,
                   const std::vector<std::string>& lines,
                   MarkerStyle style = MarkerStyle::kAuto) {
  MarkerPlaces places(style, path);
  std::string marks;
  for (size_t i = 0; i <= lines.size(); ++i) {
    const std::string_view next =
        i < lines.size() ? std::string_view(lines[i]) : std::string_view();
    marks += places.WhyNotBefore(i < lines.size() ? &next : nullptr).empty()
                 ? '+'
                 : '-';
    if (i < lines.size()) {
      places.Feed(lines[i]);
    }
  }
  return marks;
}

TEST(MarkerPlaces, KeepsOutOfWhatAFileTypeSpansOverLines) {
  struct Case {
    const char* name;
    std::string path;
    std::vector<std::string> lines;
    std::string places;
  };
  const std::vector<Case> cases = {
      {"a C macro continued over lines",
       "m.c",
       {"#define F(x) \\", "  do { \\", "  } while (0)", "int x;"},
       "+--++"},
      {"a C comment, and a string that only looks like one",
       "c.h",
       {"/* one", "two */", "char* s = \"/*\";", "// /* no", "x;"},
       "+-++++"},
      {"a C++ raw string",
       "r.cpp",
       {"auto s = R\"x(a", ")\" b", ")x\";", "y;"},
       "+--++"},
      {"a template literal", "t.ts", {"const s = `a", "b`;", "c;"}, "+-++"},
      {"a shell here-document, quotes over lines, # inside a word",
       "s.sh",
       {"cat <<EOT", "text", "EOT", "echo 'a", "b'", "x=a#b'", "c'", "done"},
       "+--+-+-++"},
      {"a here-document whose end is indented by tabs",
       "t.bash",
       {"cat <<-'END'", "\tx", "\tEND", "y"},
       "+--++"},
      {"the first line of a script stays first",
       "run.sh",
       {"#!/bin/sh", "x"},
       "-++"},
      {"Python's triple-quoted strings and a # in a string",
       "p.py",
       {"s = \"\"\"a", "b\"\"\"", "t = '#'  # c'", "u = 1"},
       "+-+++"},
      {"a make define and a continued variable",
       "Makefile",
       {"define X", "# not a comment", "endef", "Y = a \\", "  b", "all:"},
       "+--+-++"},
      {"a YAML block of text",
       "c.yml",
       {"a: |", "  text", "", "  more", "b: 1"},
       "+---++"},
      {"a tag and a comment over lines in XML",
       "x.xml",
       {"<?xml version=\"1.0\"?>", "<a", " b=\"1\">", "<!-- c", "-->", "<d/>"},
       "-+-+-++"},
      {"a CDATA section", "h.html", {"<![CDATA[", "x", "]]>", "<p/>"}, "+--++"},
      {"a code block in Markdown",
       "README.md",
       {"text", "```", "code", "```", "more"},
       "++--++"},
      {"Lua's long strings and comments",
       "l.lua",
       {"s = [==[a", "]==]", "--[[ c", "]]", "x = 1"},
       "+-+-++"},
      {"a Lisp string over lines",
       "f.el",
       {"(setq s \"a", "b\")", "(x)"},
       "+-++"},
      {"a Haskell comment, nested",
       "h.hs",
       {"{- a {- b -}", "c -}", "x = 1"},
       "+-++"},
      {"an unknown type with the hash style: continuation only",
       "conf.cfg",
       {"a = \\", "  b", "c = 'x"},
       "+-++"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Places(c.path, c.lines), c.places) << c.name;
  }
  // A style given by hand does not change what a file type spans.
  EXPECT_EQ(Places("m.c", {"/* a", "b */"}, MarkerStyle::kHash), "+-+");
}

}  // namespace
