// Line diffs for rebase, made by libgit2 with the patience algorithm,
// which anchors on lines that stand once on each side and so resists the
// false matches of a plain longest common subsequence. LineViews are compared
// byte for byte, or by the key the engine compares them with (blanks at
// the ends and letter case left out). Any byte may stand in a line: the
// library sees each distinct line as a number of its own.
#ifndef QRL_PACK_REBASE_LINE_DIFF_H_
#define QRL_PACK_REBASE_LINE_DIFF_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

using LineViews = std::vector<std::string_view>;

// Views of `lines`, which must outlive them.
LineViews ViewsOf(const std::vector<std::string>& lines);

enum class LineKey { kExact, kEngine };

// LineViews [old_start, old_start + old_count) of the old side became lines
// [new_start, new_start + new_count) of the new side. An insertion has no
// old lines and stands before line old_start.
struct LineDiffHunk {
  size_t old_start = 0;
  size_t old_count = 0;
  size_t new_start = 0;
  size_t new_count = 0;
};

// Turns lines into the text the library reads: one number per line, the
// same number for the same line (or key), counted from 1.
class LineNumbering {
 public:
  explicit LineNumbering(LineKey key) : key_(key) {}
  std::string Text(const LineViews& lines);
  // The first line numbered `number` (it views the caller's line); empty
  // for a number never given.
  std::string_view LineOf(size_t number) const {
    return number >= 1 && number <= first_lines_.size()
               ? first_lines_[number - 1]
               : std::string_view();
  }
  bool Knows(size_t number) const {
    return number >= 1 && number <= first_lines_.size();
  }

 private:
  LineKey key_;
  std::unordered_map<std::string, size_t> numbers_;
  LineViews first_lines_;
};

// The hunks that turn `before` into `after`, in order. False only when the
// library fails (out of memory).
bool DiffLines(const LineViews& before, const LineViews& after, LineKey key,
               std::vector<LineDiffHunk>* hunks);

// For every line of `before`, the line of `after` it stays as, or -1 when
// the diff removes or replaces it.
std::vector<ptrdiff_t> MatchedLines(const std::vector<LineDiffHunk>& hunks,
                                    size_t before_count);

#endif  // QRL_PACK_REBASE_LINE_DIFF_H_
