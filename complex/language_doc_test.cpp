// docs/language.md against the keyword table: every keyword has one row,
// in the section of its family and in the table's order, marked "alone:
// the buffer" exactly when it takes the buffer written alone; no other row
// or heading of the document names a keyword.
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "complex/command_table.h"
#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

struct DocumentedKeyword {
  std::string section;  // the "### " heading above it
  std::string keyword;
  std::string argument;  // the second cell of its row
};

std::vector<std::string> Cells(const std::string& row) {
  std::vector<std::string> cells;
  std::istringstream stream(row.substr(1));
  for (std::string cell; std::getline(stream, cell, '|');) {
    const size_t first = cell.find_first_not_of(' ');
    const size_t last = cell.find_last_not_of(' ');
    cells.push_back(first == std::string::npos
                        ? std::string()
                        : cell.substr(first, last - first + 1));
  }
  return cells;
}

// Rows whose first cell is a keyword in backticks, and headings that name
// one.
std::vector<DocumentedKeyword> DocumentedKeywords(const std::string& text) {
  const std::regex keyword("`([A-Z][A-Z+]*)`");
  std::vector<DocumentedKeyword> found;
  std::string section;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    if (line.starts_with("#")) {
      if (std::regex_search(line, match, keyword)) {
        found.push_back({section, match[1], ""});
      }
      if (line.starts_with("### ")) {
        section = line.substr(4);
      }
    } else if (line.starts_with("| ")) {
      const std::vector<std::string> cells = Cells(line);
      if (cells.size() >= 2 && std::regex_match(cells[0], match, keyword)) {
        found.push_back({section, match[1], cells[1]});
      }
    }
  }
  return found;
}

TEST(LanguageReference, DocumentsEveryKeywordInItsFamilyAndNothingElse) {
  const struct {
    std::string section;
    std::span<const ComplexCommand> rows;
  } families[] = {
      {"Control commands", ControlCommands()},
      {"Buffer commands", BufferCommands()},
      {"Macro commands", MacroCommands()},
      {"Symbol commands", SymbolCommands()},
      {"File and directory commands", FileCommands()},
      {"Command execution", ExecutionCommands()},
  };
  std::vector<DocumentedKeyword> expected;
  for (const auto& family : families) {
    for (const ComplexCommand& command : family.rows) {
      expected.push_back({family.section, std::string(command.keyword),
                          command.buffer_default == kBufferDefault
                              ? "alone: the buffer"
                              : ""});
    }
  }
  ASSERT_EQ(expected.size(), CommandTable().size());

  const std::vector<DocumentedKeyword> documented =
      DocumentedKeywords(ReadFile(SourcePath("docs/language.md")));
  std::set<std::string> table;
  std::set<std::string> document;
  for (const DocumentedKeyword& row : expected) {
    table.insert(row.keyword);
  }
  for (const DocumentedKeyword& row : documented) {
    EXPECT_TRUE(document.insert(row.keyword).second)
        << row.keyword << " is documented twice";
    EXPECT_TRUE(table.contains(row.keyword)) << row.keyword << " is no keyword";
  }
  for (const std::string& keyword : table) {
    EXPECT_TRUE(document.contains(keyword)) << keyword << " is not documented";
  }
  ASSERT_EQ(documented.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(documented[i].keyword, expected[i].keyword)
        << "row " << i << " is out of the table's order";
    EXPECT_EQ(documented[i].section, expected[i].section)
        << documented[i].keyword;
    EXPECT_EQ(
        documented[i].argument.find("alone: the buffer") != std::string::npos,
        !expected[i].argument.empty())
        << documented[i].keyword << ": " << documented[i].argument;
  }
}

}  // namespace
