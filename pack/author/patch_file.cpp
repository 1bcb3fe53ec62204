#include "pack/author/patch_file.h"

#include <algorithm>

namespace {

// Whether `wanted` stands at `pos`. A side that ends without a line end
// matches only at the end of a file that ends the same way.
bool LinesAt(const TextLines& text, size_t pos,
             const std::vector<std::string_view>& wanted, bool missing_eol) {
  if (pos + wanted.size() > text.lines.size()) {
    return false;
  }
  for (size_t k = 0; k < wanted.size(); ++k) {
    if (text.lines[pos + k] != wanted[k]) {
      return false;
    }
  }
  if (missing_eol) {
    return pos + wanted.size() == text.lines.size() && !text.final_eol;
  }
  return wanted.empty() || pos + wanted.size() < text.lines.size() ||
         text.final_eol;
}

std::string HunkName(const DiffHunk& hunk, int number) {
  std::string name =
      "hunk #" + std::to_string(number) + " (" + std::string(hunk.header) + ")";
  return name;
}

}  // namespace

bool PatchFile(const std::string& path, std::string_view before,
               const std::vector<DiffHunk>& hunks, std::string* after,
               std::vector<LineHunk>* located,
               std::vector<std::string>* errors) {
  const TextLines old_text = SplitTextLines(before);
  const size_t n = old_text.lines.size();
  std::vector<std::string_view> out;
  out.reserve(n);
  located->clear();
  bool ok = true;
  bool final_eol = old_text.final_eol;
  size_t cursor = 0;   // the first line after the previous hunk
  int64_t offset = 0;  // where the previous hunk stood against the diff
  for (size_t h = 0; h < hunks.size(); ++h) {
    const DiffHunk& hunk = hunks[h];
    const int number = static_cast<int>(h) + 1;
    const size_t count = hunk.old_lines.size();
    // A hunk without old lines goes after line old_start; others start there.
    const int64_t named =
        hunk.old_count == 0 ? hunk.old_start : hunk.old_start - 1;
    const int64_t expected = named + offset;
    const int64_t lowest = static_cast<int64_t>(cursor);
    const int64_t highest =
        static_cast<int64_t>(n) - static_cast<int64_t>(count);
    int64_t found = -1;
    if (count == 0) {
      found = std::clamp(expected, lowest, std::max(lowest, highest));
      if (found > highest) {
        found = -1;
      }
    } else if (lowest <= highest) {
      // Nearest first, forward before backward; the distances start at
      // the nearest line there is, however far the diff names.
      const int64_t nearest = expected > highest  ? expected - highest
                              : expected < lowest ? lowest - expected
                                                  : 0;
      for (int64_t d = nearest; found < 0; ++d) {
        const int64_t up = expected + d;
        const int64_t down = expected - d;
        if (up > highest && down < lowest) {
          break;
        }
        if (up >= lowest && up <= highest &&
            LinesAt(old_text, static_cast<size_t>(up), hunk.old_lines,
                    hunk.old_missing_eol)) {
          found = up;
        } else if (d > 0 && down >= lowest && down <= highest &&
                   LinesAt(old_text, static_cast<size_t>(down), hunk.old_lines,
                           hunk.old_missing_eol)) {
          found = down;
        }
      }
    }
    if (found < 0) {
      std::string error = path + ": " + HunkName(hunk, number) + " FAILED at " +
                          std::to_string(expected + 1);
      const int64_t at = std::max<int64_t>(expected, 0);
      if (at <= static_cast<int64_t>(n) &&
          LinesAt(old_text, static_cast<size_t>(at), hunk.new_lines,
                  hunk.new_missing_eol) &&
          !hunk.new_lines.empty()) {
        error += " (its new lines are already there: applied before?)";
      } else {
        error += " (the diff's lines are not there, nor near it)";
      }
      errors->push_back(error);
      ok = false;
      continue;
    }
    offset = found - named;
    const size_t pos = static_cast<size_t>(found);
    out.insert(out.end(), old_text.lines.begin() + cursor,
               old_text.lines.begin() + pos);
    LineHunk line_hunk;
    line_hunk.old_start = pos;
    line_hunk.old_count = count;
    line_hunk.new_start = out.size();
    line_hunk.new_count = hunk.new_lines.size();
    line_hunk.number = number;
    line_hunk.name = HunkName(hunk, number);
    line_hunk.heading = std::string(hunk.heading);
    located->push_back(std::move(line_hunk));
    out.insert(out.end(), hunk.new_lines.begin(), hunk.new_lines.end());
    cursor = pos + count;
    if (cursor == n) {
      final_eol = hunk.new_lines.empty() ? true : !hunk.new_missing_eol;
    }
  }
  if (!ok) {
    return false;
  }
  out.insert(out.end(), old_text.lines.begin() + cursor, old_text.lines.end());
  if (out.empty()) {
    final_eol = true;
  }
  *after = JoinTextLines(out, final_eol);
  return true;
}
