#include "services/editable_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// The plain rules that the indexed text must give the same results as.
std::vector<std::string> PlainLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t stop = text.find_first_of("\r\n", at);
    if (stop == std::string::npos) {
      lines.push_back(text.substr(at));
      break;
    }
    lines.push_back(text.substr(at, stop - at));
    at = stop +
         (text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n'
              ? 2
              : 1);
  }
  return lines;
}

std::string PlainKey(const std::string& line) {
  size_t begin = 0;
  size_t end = line.size();
  while (begin < end && static_cast<unsigned char>(line[begin]) <= 32) {
    ++begin;
  }
  while (end > begin && static_cast<unsigned char>(line[end - 1]) <= 32) {
    --end;
  }
  std::string key = line.substr(begin, end - begin);
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 32);
    }
  }
  return key;
}

int64_t PlainFind(const std::string& text,
                  const std::vector<std::string>& block, size_t from = 0) {
  const std::vector<std::string> lines = PlainLines(text);
  if (block.empty()) {
    return -1;
  }
  for (size_t start = from; start + block.size() <= lines.size(); ++start) {
    size_t k = 0;
    while (k < block.size() &&
           PlainKey(lines[start + k]) == PlainKey(block[k])) {
      ++k;
    }
    if (k == block.size()) {
      return static_cast<int64_t>(start);
    }
  }
  return -1;
}

std::string PlainReplaceLines(const std::string& text, size_t index,
                              size_t count, const std::string& put) {
  const std::vector<std::string> lines = PlainLines(text);
  std::string result;
  for (size_t i = 0; i < index; ++i) {
    result += lines[i] + "\n";
  }
  result += put;
  for (size_t i = index + count; i < lines.size(); ++i) {
    result += lines[i] + "\n";
  }
  return result;
}

// Random texts made to match often: few distinct lines, blanks around
// them, both letter cases, every kind of line end, empty lines.
class TextMaker {
 public:
  explicit TextMaker(uint32_t seed) : random_(seed) {}

  int Pick(int n) {
    return std::uniform_int_distribution<int>(0, n - 1)(random_);
  }

  std::string Line() {
    // Some lines hold others inside them, which a scan of the bytes finds
    // and must not take for the line.
    static const char* const kWords[] = {
        "begin", "end;",     "x := 1;", "",       "{",
        "}",     "Foo(bar)", "\tend;",  "x end;", "end;\tend;"};
    std::string line = kWords[Pick(10)];
    if (Pick(4) == 0) {
      for (char& c : line) {
        if (c >= 'a' && c <= 'z') {
          c = static_cast<char>(c - 32);
        }
      }
    }
    if (Pick(3) == 0) {
      line = std::string(static_cast<size_t>(Pick(3)), ' ') + line + "  ";
    }
    return line;
  }

  std::string End() {
    static const char* const kEnds[] = {"\n", "\n", "\n", "\r\n", "\r"};
    return kEnds[Pick(5)];
  }

  std::string Text(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
      text += Line();
      if (i + 1 < lines || Pick(4) != 0) {
        text += End();
      }
    }
    return text;
  }

  std::vector<std::string> Block(const std::vector<std::string>& lines) {
    std::vector<std::string> block;
    if (!lines.empty() && Pick(3) != 0) {
      // Mostly lines that stand in the text, with other blanks and case.
      const size_t start =
          static_cast<size_t>(Pick(static_cast<int>(lines.size())));
      const size_t count = 1 + static_cast<size_t>(Pick(4));
      for (size_t i = start; i < lines.size() && i < start + count; ++i) {
        block.push_back(Pick(2) == 0 ? " " + lines[i] : lines[i]);
      }
      return block;
    }
    for (int i = Pick(4); i > 0; --i) {
      block.push_back(Line());
    }
    return block;
  }

 private:
  std::mt19937 random_;
};

std::string Escaped(const std::string& bytes) {
  std::string out;
  for (char c : bytes) {
    out += c == '\n'   ? std::string("\\n")
           : c == '\r' ? std::string("\\r")
                       : std::string(1, c);
  }
  return out;
}

void ExpectSame(const EditableText& text, const std::string& plain,
                const std::string& step) {
  ASSERT_EQ(text.Text(), plain) << step;
  ASSERT_EQ(text.Size(), plain.size()) << step;
  ASSERT_EQ(text.LineCount(), PlainLines(plain).size()) << step;
}

// The same random texts and edits go to a text that scans its bytes for
// every search, one indexed from the first search on, and one that builds
// its index when the scans have repaid it.
TEST(EditableText, ScannedAndIndexedSearchAndEditsAgreeWithThePlainRules) {
  constexpr EditableText::Indexing kIndexings[] = {
      EditableText::Indexing::kNever, EditableText::Indexing::kAtOnce,
      EditableText::Indexing::kWhenRepaid};
  for (uint32_t seed = 0; seed < 2000; ++seed) {
    TextMaker maker(seed);
    std::string plain = maker.Text(maker.Pick(40));
    std::vector<EditableText> texts;
    for (EditableText::Indexing indexing : kIndexings) {
      texts.emplace_back(plain);
      texts.back().SetIndexing(indexing);
    }
    std::string history = "text \"" + Escaped(plain) + "\"";
    for (int step = 0; step < 12; ++step) {
      const auto where = [&](size_t t) {
        return "seed " + std::to_string(seed) + " step " +
               std::to_string(step) + " indexing " + std::to_string(t) + ": " +
               history;
      };
      for (size_t t = 0; t < texts.size(); ++t) {
        ExpectSame(texts[t], plain, where(t));
      }
      if (maker.Pick(4) == 0) {
        // Bytes: a piece of the text itself, or bytes that may be absent.
        std::string pattern;
        if (!plain.empty() && maker.Pick(3) != 0) {
          const size_t at =
              static_cast<size_t>(maker.Pick(static_cast<int>(plain.size())));
          pattern = plain.substr(at, 1 + static_cast<size_t>(maker.Pick(12)));
        } else {
          pattern = maker.Line() + maker.End();
        }
        const size_t expected = plain.find(pattern);
        for (size_t t = 0; t < texts.size(); ++t) {
          uint64_t offset = 0;
          ASSERT_EQ(texts[t].FindBytes(pattern, &offset),
                    expected != std::string::npos)
              << where(t);
          if (expected != std::string::npos) {
            ASSERT_EQ(offset, expected) << where(t);
          }
        }
        if (expected == std::string::npos) {
          continue;
        }
        const std::string put =
            maker.Pick(3) == 0 ? "" : maker.Line() + maker.End() + maker.Line();
        history += "; bytes " + std::to_string(expected) + " " +
                   std::to_string(pattern.size()) + " \"" + Escaped(put) + "\"";
        for (EditableText& text : texts) {
          text.ReplaceBytes(expected, pattern.size(), put);
        }
        plain.replace(expected, pattern.size(), put);
      } else {
        const std::vector<std::string> block = maker.Block(PlainLines(plain));
        const int64_t expected = PlainFind(plain, block);
        for (size_t t = 0; t < texts.size(); ++t) {
          ASSERT_EQ(texts[t].FindLines(LineBlock(block)), expected) << where(t);
          if (expected >= 0) {
            // The next place below the first.
            ASSERT_EQ(
                texts[t].FindLines(LineBlock(block),
                                   static_cast<uint64_t>(expected) + 1),
                PlainFind(plain, block, static_cast<size_t>(expected) + 1))
                << where(t);
          }
        }
        if (expected < 0) {
          continue;
        }
        std::string put;
        for (int i = maker.Pick(4); i > 0; --i) {
          put += maker.Line() + (i > 1 ? maker.End() : "\n");
        }
        const std::string after = PlainReplaceLines(
            plain, static_cast<size_t>(expected), block.size(), put);
        history += "; lines " + std::to_string(expected) + " " +
                   std::to_string(block.size()) + " \"" + Escaped(put) + "\"";
        for (size_t t = 0; t < texts.size(); ++t) {
          ASSERT_EQ(texts[t].SizeAfterReplaceLines(
                        static_cast<uint64_t>(expected), block.size(), put),
                    after.size())
              << where(t);
          texts[t].ReplaceLines(static_cast<uint64_t>(expected), block.size(),
                                put);
        }
        plain = after;
      }
    }
    for (size_t t = 0; t < texts.size(); ++t) {
      ExpectSame(texts[t], plain, "seed " + std::to_string(seed));
    }
  }
}

TEST(EditableText, ManyEditsOnALargeTextKeepItsShape) {
  // Enough edits to split blocks of pieces many times over, searched by
  // scans alone and with the index; the plain side keeps its lines and
  // their keys as they change.
  for (EditableText::Indexing indexing :
       {EditableText::Indexing::kNever, EditableText::Indexing::kWhenRepaid}) {
    std::vector<std::string> lines;
    std::string plain;
    for (int i = 0; i < 20000; ++i) {
      lines.push_back("line " + std::to_string(i % 5000));
      plain += lines.back() + "\n";
    }
    std::vector<std::string> keys;
    for (const std::string& line : lines) {
      keys.push_back(PlainKey(line));
    }
    EditableText text(plain);
    text.SetIndexing(indexing);
    std::mt19937 random(7);
    for (int n = 0; n < 1500; ++n) {
      const int i = std::uniform_int_distribution<int>(0, 4998)(random);
      const std::vector<std::string> block = {"LINE " + std::to_string(i),
                                              " line " + std::to_string(i + 1)};
      const std::string first = PlainKey(block[0]);
      const std::string second = PlainKey(block[1]);
      int64_t expected = -1;
      for (size_t at = 0; at + 1 < keys.size() && expected < 0; ++at) {
        if (keys[at] == first && keys[at + 1] == second) {
          expected = static_cast<int64_t>(at);
        }
      }
      ASSERT_EQ(text.FindLines(LineBlock(block)), expected) << n;
      if (expected >= 0) {
        // Half the time the new line repeats one that stands further down.
        const std::string put = n % 2 == 0 ? "new " + std::to_string(n)
                                           : "line " + std::to_string(i + 7);
        text.ReplaceLines(static_cast<uint64_t>(expected), 2, put + "\n");
        const auto at = lines.begin() + expected;
        lines.erase(at, at + 2);
        lines.insert(lines.begin() + expected, put);
        keys.erase(keys.begin() + expected, keys.begin() + expected + 2);
        keys.insert(keys.begin() + expected, PlainKey(put));
      }
    }
    std::string expected_text;
    for (const std::string& line : lines) {
      expected_text += line + "\n";
    }
    EXPECT_EQ(text.Text(), expected_text);
    EXPECT_EQ(text.LineCount(), lines.size());
  }
}

TEST(EditableText, LineEndsAreKeptUntilLinesAreReplaced) {
  EditableText text("a\r\nb\rc");
  EXPECT_EQ(text.LineCount(), 3u);
  EXPECT_EQ(text.Line(1), "b");
  uint64_t offset = 0;
  ASSERT_TRUE(text.FindBytes("\rc", &offset));
  text.ReplaceBytes(offset, 2, "\r\nC");
  EXPECT_EQ(text.Text(), "a\r\nb\r\nC");
  ASSERT_TRUE(text.FindBytes("a\r", &offset));
  text.ReplaceBytes(offset, 2, "x");  // the LF left joins no line
  EXPECT_EQ(text.Text(), "x\nb\r\nC");
  text.ReplaceLines(1, 1, "B\n");
  EXPECT_EQ(text.Text(), "x\nB\nC\n");
  EditableText empty("");
  EXPECT_EQ(empty.FindLines(LineBlock(std::vector<std::string>{""})), -1);
  ASSERT_TRUE(empty.FindBytes("", &offset));
  empty.ReplaceBytes(0, 0, "new");
  EXPECT_EQ(empty.Text(), "new");
}

}  // namespace
