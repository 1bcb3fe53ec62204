#include "services/line_split.h"

#include <random>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "services/editable_text.h"

namespace {

using Lines = std::vector<std::string_view>;

// The splitters the program had before they became one, kept as the
// oracles the one splitter must agree with byte for byte.

// The engine's list: a line ends at the first LF, or at a CR before it.
Lines OldSplitAtAnyEnd(std::string_view text) {
  Lines lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t stop = text.find('\n', at);
    stop = stop == std::string_view::npos ? text.size() : stop;
    const size_t cr = text.substr(at, stop - at).find('\r');
    if (cr != std::string_view::npos) {
      stop = at + cr;
    }
    lines.push_back(text.substr(at, stop - at));
    if (stop == text.size()) {
      break;
    }
    at = stop +
         (text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n'
              ? 2
              : 1);
  }
  return lines;
}

// The diff tools' lines, without their LF.
Lines OldSplitAtLineFeeds(std::string_view text) {
  Lines lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The plan's diff: lines with their LF kept.
Lines OldLinesWithLineFeeds(std::string_view text) {
  Lines lines;
  for (size_t at = 0; at < text.size();) {
    const size_t lf = text.find('\n', at);
    const size_t end = lf == std::string_view::npos ? text.size() : lf + 1;
    lines.push_back(text.substr(at, end - at));
    at = end;
  }
  return lines;
}

// Random byte strings made mostly of line ends, blanks and NUL bytes.
std::string RandomText(std::mt19937* random) {
  static constexpr char kBytes[] = {'a', 'B', ' ', '\0', '\r', '\n', '\n'};
  std::uniform_int_distribution<size_t> length(0, 24);
  std::uniform_int_distribution<size_t> pick(0, sizeof(kBytes) - 1);
  std::string text(length(*random), ' ');
  for (char& c : text) {
    c = kBytes[pick(*random)];
  }
  return text;
}

TEST(LineSplit, AgreesWithEveryFormerSplitterOnRandomBytes) {
  std::mt19937 random(23);
  for (int round = 0; round < 5000; ++round) {
    const std::string text = RandomText(&random);
    SCOPED_TRACE(testing::PrintToString(text));
    const Lines any = SplitLines(text, LineEnds::kAny);
    ASSERT_EQ(any, OldSplitAtAnyEnd(text));
    ASSERT_EQ(SplitLines(text, LineEnds::kLfOnly), OldSplitAtLineFeeds(text));
    ASSERT_EQ(SplitLinesWithEnds(text, LineEnds::kLfOnly),
              OldLinesWithLineFeeds(text));
    // With their ends the lines give the text back, and each line's end
    // is what TrailingLineEnd finds at its back.
    const Lines with_ends = SplitLinesWithEnds(text, LineEnds::kAny);
    ASSERT_EQ(with_ends.size(), any.size());
    std::string joined;
    for (size_t i = 0; i < with_ends.size(); ++i) {
      joined += with_ends[i];
      ASSERT_EQ(with_ends[i].size() - TrailingLineEnd(with_ends[i]),
                any[i].size());
    }
    ASSERT_EQ(joined, text);
    // The engine's editable text holds the same lines, read or inserted,
    // and keeps every byte.
    EditableText read(text);
    EditableText inserted;
    // What ReplaceLines puts in ends with LF.
    inserted.ReplaceLines(
        0, 0, text.empty() || text.back() == '\n' ? text : text + "\n");
    ASSERT_EQ(read.LineCount(), any.size());
    ASSERT_EQ(inserted.LineCount(), any.size());
    for (size_t i = 0; i < any.size(); ++i) {
      ASSERT_EQ(read.Line(i), any[i]);
      ASSERT_EQ(inserted.Line(i), any[i]);
    }
    ASSERT_EQ(read.Text(), text);
  }
}

TEST(LineSplit, LineAtNamesTheEnd) {
  struct Row {
    std::string_view text;
    LineEnds ends;
    std::string_view line;
    std::string_view end;
  };
  const Row rows[] = {
      {"a\r\nb", LineEnds::kAny, "a", "\r\n"},
      {"a\r\nb", LineEnds::kLfOnly, "a\r", "\n"},
      {"a\rb", LineEnds::kAny, "a", "\r"},
      {"a\rb", LineEnds::kLfOnly, "a\rb", ""},
      {"a\r", LineEnds::kAny, "a", "\r"},
      {"\n", LineEnds::kAny, "", "\n"},
  };
  for (const Row& row : rows) {
    const TextLine line = LineAt(row.text, 0, row.ends);
    EXPECT_EQ(line.text, row.line);
    EXPECT_EQ(line.end, row.end);
  }
}

}  // namespace
