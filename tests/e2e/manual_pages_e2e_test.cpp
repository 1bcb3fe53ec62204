// The manual pages against the binaries: every action that qrlconsole's
// usage names, and every command and option that qrlpack's help lists,
// has its place in the page (where a "-" is written "\-").
#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

std::string ManSpelling(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    escaped += c == '-' ? std::string("\\-") : std::string(1, c);
  }
  return escaped;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    lines.push_back(line);
  }
  return lines;
}

// The first word of each line of a help section ("Commands:"), and from
// an options line every "-x" and "--xyz" before its description.
std::vector<std::string> SectionWords(const std::string& help,
                                      const std::string& section) {
  std::vector<std::string> words;
  bool inside = false;
  for (const std::string& line : Lines(help)) {
    if (line == section) {
      inside = true;
    } else if (inside && !line.starts_with("  ")) {
      break;
    } else if (inside && line[2] != ' ') {
      std::istringstream names(line.substr(2, line.find("   ", 2) - 2));
      for (std::string word; names >> word;) {
        if (word.ends_with(",")) {
          word.pop_back();
        }
        if (section == "Commands:" || word.starts_with("-")) {
          words.push_back(word);
        }
        if (section == "Commands:") {
          break;
        }
      }
    }
  }
  return words;
}

TEST(ManualPages, QrlpackPageCoversEveryCommandAndOption) {
  const std::string page = ReadFile(SourcePath("man/qrlpack.1"));
  const std::string help = RunPack({"--help"}).out;
  const std::vector<std::string> commands = SectionWords(help, "Commands:");
  ASSERT_GE(commands.size(), 3u) << help;
  std::vector<std::string> options = SectionWords(help, "Options:");
  for (const std::string& command : commands) {
    EXPECT_NE(page.find("\n.B qrlpack " + ManSpelling(command)),
              std::string::npos)
        << command << " has no synopsis line";
    EXPECT_NE(page.find("\n.BI \"" + ManSpelling(command) + " "),
              std::string::npos)
        << command << " has no paragraph under COMMANDS";
    if (command != "help") {
      const std::vector<std::string> own =
          SectionWords(RunPack({"help", command}).out, "Options:");
      options.insert(options.end(), own.begin(), own.end());
    }
  }
  ASSERT_GE(options.size(), 5u) << help;
  for (const std::string& option : options) {
    EXPECT_NE(page.find(ManSpelling(option)), std::string::npos) << option;
  }
}

TEST(ManualPages, QrlconsolePageCoversEveryActionAndOption) {
  const std::string page = ReadFile(SourcePath("man/qrlconsole.1"));
  std::string actions;
  for (const std::string& line : Lines(RunConsole({}).out)) {
    if (line.starts_with("action: ")) {
      actions = line.substr(8);
    }
  }
  std::istringstream words(actions);
  int count = 0;
  for (std::string action; std::getline(words >> std::ws, action, ',');) {
    EXPECT_NE(page.find("\n.TP\n.B " + action + "\n"), std::string::npos)
        << action;
    ++count;
  }
  EXPECT_EQ(count, 6);
  for (const char* option : {"--help", "-h", "--version"}) {
    EXPECT_NE(page.find(ManSpelling(option)), std::string::npos) << option;
  }
}

}  // namespace
