// Reads unified diffs the way patch does: the output of "diff -ruN", "git
// diff" and "git format-patch", with any text before, between and after the
// files (mail headers, diffstat, index lines, the signature). Only what a
// package can carry is accepted; everything else is named in the error.
// Never touches a file; the parsed lines are views into the diff's text.
#ifndef QRL_PACK_AUTHOR_UNIFIED_DIFF_H_
#define QRL_PACK_AUTHOR_UNIFIED_DIFF_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One hunk: "@@ -old_start,old_count +new_start,new_count @@ heading".
// The lines are without their line ends; a side whose last line carries
// "\ No newline at end of file" has *_missing_eol set.
struct DiffHunk {
  int64_t old_start = 0;
  int64_t old_count = 0;
  int64_t new_start = 0;
  int64_t new_count = 0;
  std::string_view header;   // the "@@ ... @@" part
  std::string_view heading;  // the function heading after it, if any
  std::vector<std::string_view> old_lines;  // context and removed lines
  std::vector<std::string_view> new_lines;  // context and added lines
  int64_t leading_context = 0;   // context lines before the first change
  int64_t trailing_context = 0;  // context lines after the last change
  bool old_missing_eol = false;
  bool new_missing_eol = false;
  size_t line = 0;  // of the "@@" line in the diff, from 1
};

// The changes of one file. A name is as written, before -p stripping;
// "/dev/null" stands for a side that does not exist.
struct DiffFile {
  std::string old_name;
  std::string new_name;
  bool old_absent = false;  // /dev/null, "new file mode", or an epoch stamp
  bool new_absent = false;  // /dev/null, "deleted file mode", or an epoch stamp
  bool git = false;         // came with a "diff --git" header
  std::string new_file_mode;  // git "new file mode", e.g. "100755"
  std::vector<DiffHunk> hunks;
  size_t line = 0;  // where the file's header starts in the diff, from 1
  // The patch of a "git format-patch" series it belongs to, from 1; 0 for
  // a diff that is no series.
  size_t patch = 0;
};

// Parses `text`. False when the diff holds something a package cannot
// carry or that patch would reject: *errors then has one message per
// problem, each naming the diff line and the file ("diff line 12: a/x.png:
// binary change ..."). An input without any file is an error too.
// *series (when given) receives the subjects of the patches of a "git
// format-patch" series, in order, without their "[PATCH n/m]".
bool ParseUnifiedDiff(std::string_view text, std::vector<DiffFile>* files,
                      std::vector<std::string>* errors,
                      std::vector<std::string>* series = nullptr);

// The name with its first `strip` components removed, as "patch -p" does
// (runs of "/" count as one); false when it has fewer components.
bool StripPathComponents(std::string_view name, int strip, std::string* out);

#endif  // QRL_PACK_AUTHOR_UNIFIED_DIFF_H_
