#include "pack/author/unified_diff.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

// One line per file: names, absent sides, new mode, and per hunk its
// header, old and new lines joined with "|", and the missing line ends.
std::string Summary(const std::vector<DiffFile>& files) {
  std::string text;
  for (const DiffFile& file : files) {
    text += file.old_name + (file.old_absent ? "(absent)" : "") + " -> " +
            file.new_name + (file.new_absent ? "(absent)" : "");
    if (!file.new_file_mode.empty()) {
      text += " mode " + file.new_file_mode;
    }
    for (const DiffHunk& hunk : file.hunks) {
      text += "; " + std::string(hunk.header) + " [";
      for (const std::string_view line : hunk.old_lines) {
        text += std::string(line) + "|";
      }
      text += "] [";
      for (const std::string_view line : hunk.new_lines) {
        text += std::string(line) + "|";
      }
      text += "]";
      if (hunk.old_missing_eol) {
        text += " old-no-eol";
      }
      if (hunk.new_missing_eol) {
        text += " new-no-eol";
      }
      if (!hunk.heading.empty()) {
        text += " {" + std::string(hunk.heading) + "}";
      }
    }
    text += "\n";
  }
  return text;
}

TEST(ParseUnifiedDiff, ReadsWhatDiffGitAndFormatPatchWrite) {
  struct Case {
    const char* name;
    std::string diff;
    std::string summary;
  };
  const std::vector<Case> cases = {
      {"diff -ruN with time stamps and a function heading",
       "diff -ruN a/x.c b/x.c\n"
       "--- a/x.c\t2024-05-01 10:00:00.123456789 +0200\n"
       "+++ b/x.c\t2024-05-02 11:00:00.000000000 +0200\n"
       "@@ -1,3 +1,3 @@ int main(void)\n"
       " a\n-b\n+B\n c\n",
       "a/x.c -> b/x.c; @@ -1,3 +1,3 @@ [a|b|c|] [a|B|c|] {int main(void)}\n"},
      {"new and removed files by the epoch, in any time zone",
       "--- a/n\t1970-01-01 01:00:00.000000000 +0100\n"
       "+++ b/n\t2024-01-01 00:00:00.000000000 +0000\n"
       "@@ -0,0 +1 @@\n+new\n"
       "--- a/o\t2024-01-01 00:00:00.000000000 +0000\n"
       "+++ b/o\t1970-01-01 00:00:00.000000000 +0000\n"
       "@@ -1 +0,0 @@\n-old\n",
       "a/n(absent) -> b/n; @@ -0,0 +1 @@ [] [new|]\n"
       "a/o -> b/o(absent); @@ -1 +0,0 @@ [old|] []\n"},
      {"git: index lines, /dev/null, modes, an empty new file",
       "diff --git a/s.sh b/s.sh\nnew file mode 100755\n"
       "index 0000000..1a24852\n--- /dev/null\n+++ b/s.sh\n"
       "@@ -0,0 +1 @@\n+#!/bin/sh\n"
       "diff --git a/e b/e\nnew file mode 100644\n"
       "index 0000000..e69de29\n"
       "diff --git a/gone b/gone\ndeleted file mode 100644\n"
       "index 3b18e51..0000000\n--- a/gone\n+++ /dev/null\n"
       "@@ -1 +0,0 @@\n-bye\n",
       "/dev/null(absent) -> b/s.sh mode 100755; @@ -0,0 +1 @@ [] "
       "[#!/bin/sh|]\n"
       "a/e(absent) -> b/e mode 100644\n"
       "a/gone -> /dev/null(absent); @@ -1 +0,0 @@ [bye|] []\n"},
      {"no newline at the end, on either side",
       "--- a/f\n+++ b/f\n@@ -1,2 +1,2 @@\n a\n-b\n\\ No newline at end of "
       "file\n+c\n\\ No newline at end of file\n"
       "--- a/g\n+++ b/g\n@@ -1,2 +1,2 @@\n-a\n+b\n x\n\\ No newline at end "
       "of file\n"
       "--- a/h\n+++ b/h\n@@ -1 +1 @@\n-y\n+y\n\\ No newline at end of file\n",
       "a/f -> b/f; @@ -1,2 +1,2 @@ [a|b|] [a|c|] old-no-eol new-no-eol\n"
       "a/g -> b/g; @@ -1,2 +1,2 @@ [a|x|] [b|x|] old-no-eol new-no-eol\n"
       "a/h -> b/h; @@ -1 +1 @@ [y|] [y|] new-no-eol\n"},
      {"format-patch: mail, diffstat, a '---' line, lines that look like "
       "headers inside a hunk, the signature",
       "From 1234 Mon Sep 17 00:00:00 2001\nSubject: [PATCH] x\n\n"
       "text\n---\n x | 2 +-\n 1 file changed\n\n"
       "diff --git a/x b/x\nindex 1..2 100644\n--- a/x\n+++ b/x\n"
       "@@ -1,2 +1,2 @@\n--- not a header\n+++ nor this\n \n"
       "-- \n2.39.2\n",
       "a/x -> b/x; @@ -1,2 +1,2 @@ [-- not a header||] [++ nor this||]\n"},
      {"an empty line in a hunk is an empty context line; CR bytes stay",
       "--- a/w\n+++ b/w\n@@ -1,3 +1,3 @@\n a\r\n\n-b\r\n+c\r\n",
       "a/w -> b/w; @@ -1,3 +1,3 @@ [a\r||b\r|] [a\r||c\r|]\n"},
      {"a diff whose own lines end in CR LF loses the CRs",
       "--- a/v\r\n+++ b/v\r\n@@ -1 +1 @@\r\n-a\r\n+b\r\n",
       "a/v -> b/v; @@ -1 +1 @@ [a|] [b|]\n"},
      {"quoted names and names with blanks",
       "diff --git \"a/t\\303\\244st\" \"b/t\\303\\244st\"\n"
       "--- \"a/t\\303\\244st\"\n+++ \"b/t\\303\\244st\"\n"
       "@@ -1 +1 @@\n-1\n+2\n"
       "--- a/my file.txt\t2024-01-01 00:00:00 +0000\n"
       "+++ b/my file.txt\t2024-01-01 00:00:00 +0000\n@@ -1 +1 @@\n-1\n+2\n",
       "a/t\xc3\xa4st -> b/t\xc3\xa4st; @@ -1 +1 @@ [1|] [2|]\n"
       "a/my file.txt -> b/my file.txt; @@ -1 +1 @@ [1|] [2|]\n"},
      {"only /dev/null itself names a side that is not there; a signature "
       "or the next file may follow a hunk",
       "--- /dev/null/.\n+++ b/n\n@@ -0,0 +1 @@\n+n\n"
       "--- a/o\n+++ /dev/nullx\n@@ -1 +1 @@\n-o\n+p\n-- \n2.39.0\n",
       "/dev/null/. -> b/n; @@ -0,0 +1 @@ [] [n|]\n"
       "a/o -> /dev/nullx; @@ -1 +1 @@ [o|] [p|]\n"},
  };
  for (const Case& c : cases) {
    std::vector<DiffFile> files;
    std::vector<std::string> errors;
    EXPECT_TRUE(ParseUnifiedDiff(c.diff, &files, &errors))
        << c.name << ": " << (errors.empty() ? "" : errors[0]);
    EXPECT_EQ(Summary(files), c.summary) << c.name;
  }
}

TEST(ParseUnifiedDiff, RefusesWhatAPackageCannotCarryNamingLineAndFile) {
  struct Case {
    std::string diff;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"diff -ruN a/i.png b/i.png\nBinary files a/i.png and b/i.png differ\n",
       "diff line 2: Binary files a/i.png and b/i.png differ: binary change: "
       "a diff cannot carry it; make the package with qrlpack from-trees OLD "
       "NEW instead"},
      {"diff --git a/i.png b/i.png\nindex 1..2\nGIT binary patch\nliteral 1\n",
       "diff line 3: b/i.png: binary change: a diff cannot carry it; make the "
       "package with qrlpack from-trees OLD NEW instead"},
      {"diff --git a/x b/y\nsimilarity index 90%\nrename from x\nrename to y\n",
       "diff line 3: b/y: rename of a file: a package cannot rename or copy "
       "files; make the diff without rename detection (git diff "
       "--no-renames)"},
      {"diff --git a/s b/s\nold mode 100644\nnew mode 100755\n",
       "diff line 1: b/s: mode change from 100644 to 100755: a package cannot "
       "change a file's mode"},
      {"diff --git a/l b/l\nnew file mode 120000\nindex 0..1\n--- /dev/null\n"
       "+++ b/l\n@@ -0,0 +1 @@\n+target\n\\ No newline at end of file\n",
       "diff line 1: b/l: a symbolic link or a submodule (mode 120000): a "
       "package carries only files and directories"},
      {"diff --git a/m b/m\nindex 1..2 160000\n--- a/m\n+++ b/m\n"
       "@@ -1 +1 @@\n-Subproject commit 1\n+Subproject commit 2\n",
       "diff line 1: b/m: a symbolic link or a submodule (mode 160000): a "
       "package carries only files and directories"},
      {"Only in b: new.c\n",
       "diff line 1: \"Only in b: new.c\": the diff does not carry this file; "
       "make it with diff -ruN (-N carries new and removed files)"},
      {"--- a/x\n+++ b/x\n@@ -1,3 +1,3 @@\n a\n-b\n",
       "diff line 3: b/x: the hunk @@ -1,3 +1,3 @@ ends before its last line"},
      {"--- a/x\n+++ b/x\n@@ -1,2 +1,2 @@\n a\n*b\n+c\n",
       "diff line 5: b/x: line 2 of the hunk @@ -1,2 +1,2 @@ does not fit "
       "its line counts"},
      {"--- a/x\n+++ b/x\n@@ -1,2 +1,2 @@\n a\n-b\n+c\n d\n",
       "diff line 7: b/x: the hunk @@ -1,2 +1,2 @@ of diff line 3 goes on "
       "past its line counts"},
      {"--- a/x\n+++ b/x\n@@ -1 +1,2 @@\n a\n+\n\\ No newline at end of file\n",
       "diff line 6: b/x: the hunk @@ -1 +1,2 @@ ends in an empty line "
       "without a line end, which no file can hold"},
      {"--- a/x\n+++ b/x\n@@ -1,99999999999999 +1 @@\n-a\n",
       "diff line 3: b/x: malformed hunk header \"@@ -1,99999999999999 +1 "
       "@@\""},
      {"just some text\n", "no file changes found in the diff"},
  };
  for (const Case& c : cases) {
    std::vector<DiffFile> files;
    std::vector<std::string> errors;
    EXPECT_FALSE(ParseUnifiedDiff(c.diff, &files, &errors)) << c.diff;
    ASSERT_FALSE(errors.empty()) << c.diff;
    EXPECT_EQ(errors[0], c.error);
  }
}

// A format-patch series: each patch's files know their patch, and the
// subjects come without "[PATCH n/m]", folded lines joined.
TEST(ParseUnifiedDiff, ReadsTheSubjectsOfASeries) {
  const std::string commit =
      "From 0123456789abcdef0123456789abcdef01234567 "
      "Mon Sep 17 00:00:00 2001\n";
  const std::string diff =
      "--- a/before\n+++ b/before\n@@ -1 +1 @@\n-x\n+y\n" + commit +
      "From: A <a@example.org>\nSubject: [PATCH 1/2] Spell two\n\n---\n"
      " f | 2 +-\n\ndiff --git a/f b/f\n--- a/f\n+++ b/f\n"
      "@@ -1 +1 @@\n-2\n+two\n-- \n2.39.2\n\n" +
      commit +
      "Subject: [RFC PATCH v2 2/2] A subject folded\n over two lines\n"
      "Date: now\n\ndiff --git a/g b/g\n--- a/g\n+++ b/g\n"
      "@@ -1 +1 @@\n-a\n+b\n" +
      commit + "Subject: [ci skip] Kept as written\n\n";
  std::vector<DiffFile> files;
  std::vector<std::string> errors;
  std::vector<std::string> series;
  ASSERT_TRUE(ParseUnifiedDiff(diff, &files, &errors, &series));
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0].patch, 0u);
  EXPECT_EQ(files[1].patch, 1u);
  EXPECT_EQ(files[2].patch, 2u);
  EXPECT_EQ(series, (std::vector<std::string>{"Spell two",
                                              "A subject folded over two lines",
                                              "[ci skip] Kept as written"}));
}

TEST(StripPathComponents, TakesLeadingComponentsAsPatchDoes) {
  struct Case {
    std::string name;
    int strip;
    std::string result;  // empty: refused
  };
  const std::vector<Case> cases = {
      {"a/src/x.c", 1, "src/x.c"},
      {"a//src/x.c", 1, "src/x.c"},
      {"a/src/x.c", 0, "a/src/x.c"},
      {"a/src/x.c", 2, "x.c"},
      {"x.c", 1, ""},
      {"a/", 1, ""},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(StripPathComponents(c.name, c.strip, &out), !c.result.empty())
        << c.name;
    if (!c.result.empty()) {
      EXPECT_EQ(out, c.result);
    }
  }
}

}  // namespace
