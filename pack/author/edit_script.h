// The shortest edit script between two sequences of lines (from the dtl
// diff library), and the one grouping of its changes into the hunks of a
// unified diff that both the packages made from a change and the plan's
// diff use. Pure functions over lines; reads no file.
#ifndef QRL_PACK_AUTHOR_EDIT_SCRIPT_H_
#define QRL_PACK_AUTHOR_EDIT_SCRIPT_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One step of an edit script: a line both sides keep (' '), one removed
// ('-') or one added ('+'), and where it stands on both sides (0-based).
struct EditStep {
  char mark;
  std::string_view line;
  size_t old_at;
  size_t new_at;
};

// The steps that turn `before` into `after`; in every run of changed lines
// the removed ones come first, as diff writes them.
std::vector<EditStep> EditScript(const std::vector<std::string_view>& before,
                                 const std::vector<std::string_view>& after);

// A hunk: steps [first, end) of the script, and the lines they cover on
// both sides (0-based starts).
struct HunkSteps {
  size_t first = 0;
  size_t end = 0;
  size_t old_start = 0;
  size_t old_count = 0;
  size_t new_start = 0;
  size_t new_count = 0;
};

// The changes with `context` kept lines around them; changes with at most
// `join_gap` kept lines between them share a hunk. "diff -u" joins up to
// twice the context. `join_gap` is at least `context`.
std::vector<HunkSteps> GroupHunks(const std::vector<EditStep>& steps,
                                  size_t context, size_t join_gap);

// A hunk header's range, as "diff -u" writes it: 1-based "start,count",
// naming the line before for an empty side.
std::string HunkRange(size_t start, size_t count);

#endif  // QRL_PACK_AUTHOR_EDIT_SCRIPT_H_
