#include "pack/author/patch_file.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

struct Outcome {
  std::string after;
  std::string errors;   // joined with "\n"
  std::string located;  // "old_start+old_count" per hunk
};

Outcome Patch(const std::string& before, const std::string& diff) {
  std::vector<DiffFile> files;
  std::vector<std::string> parse_errors;
  EXPECT_TRUE(ParseUnifiedDiff(diff, &files, &parse_errors)) << diff;
  Outcome outcome;
  if (files.empty()) {
    return outcome;
  }
  std::vector<LineHunk> located;
  std::vector<std::string> errors;
  if (!PatchFile("f", before, files[0].hunks, &outcome.after, &located,
                 &errors)) {
    outcome.after = "(failed)";
  }
  for (const std::string& error : errors) {
    outcome.errors += error + "\n";
  }
  for (const LineHunk& hunk : located) {
    outcome.located += std::to_string(hunk.old_start) + "+" +
                       std::to_string(hunk.old_count) + " ";
  }
  return outcome;
}

TEST(PatchFile, AppliesHunksWherePatchWould) {
  struct Case {
    const char* name;
    std::string before;
    std::string diff;
    Outcome expected;
  };
  const std::string header = "--- a/f\n+++ b/f\n";
  const std::vector<Case> cases = {
      {"where the diff says",
       "a\nb\nc\n",
       header + "@@ -2 +2 @@\n-b\n+B\n",
       {"a\nB\nc\n", "", "1+1 "}},
      {"two lines further down: the offset carries to the next hunk",
       "x\ny\na\nb\nc\nd\ne\n",
       header + "@@ -1,2 +1,2 @@\n a\n-b\n+B\n@@ -4,2 +4,2 @@\n d\n-e\n+E\n",
       {"x\ny\na\nB\nc\nd\nE\n", "", "2+2 5+2 "}},
      {"forward before backward at the same distance",
       "m\nk\nm\n",
       header + "@@ -2 +2 @@\n-m\n+M\n",
       {"m\nk\nM\n", "", "2+1 "}},
      {"an insertion without old lines, after the named line",
       "a\nb\n",
       header + "@@ -1,0 +2 @@\n+new\n",
       {"a\nnew\nb\n", "", "1+0 "}},
      {"into an empty file",
       "",
       header + "@@ -0,0 +1,2 @@\n+1\n+2\n",
       {"1\n2\n", "", "0+0 "}},
      {"the last line loses its line end",
       "a\nb\n",
       header + "@@ -2 +2 @@\n-b\n+b\n\\ No newline at end of file\n",
       {"a\nb", "", "1+1 "}},
      {"a line without line end only matches at the end",
       "b\nb",
       header + "@@ -1 +1 @@\n-b\n\\ No newline at end of file\n+c\n",
       {"b\nc\n", "", "1+1 "}},
      {"lines that are not there",
       "a\nb\nc\n",
       header + "@@ -2 +2 @@\n-q\n+Q\n",
       {"(failed)",
        "f: hunk #1 (@@ -2 +2 @@) FAILED at 2 (the diff's lines are not "
        "there, nor near it)\n",
        ""}},
      {"a change that is there already",
       "a\nB\nc\n",
       header + "@@ -1,3 +1,3 @@\n a\n-b\n+B\n c\n",
       {"(failed)",
        "f: hunk #1 (@@ -1,3 +1,3 @@) FAILED at 1 (its new lines are already "
        "there: applied before?)\n",
        ""}},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Patch(c.before, c.diff);
    EXPECT_EQ(outcome.after, c.expected.after) << c.name;
    EXPECT_EQ(outcome.errors, c.expected.errors) << c.name;
    EXPECT_EQ(outcome.located, c.expected.located) << c.name;
  }
}

}  // namespace
