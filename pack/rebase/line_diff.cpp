#include "pack/rebase/line_diff.h"

#include <git2.h>

#include "pack/rebase/libgit2_init.h"
#include "services/string_utils.h"

LineViews ViewsOf(const std::vector<std::string>& lines) {
  return LineViews(lines.begin(), lines.end());
}

std::string LineNumbering::Text(const LineViews& lines) {
  std::string text;
  for (std::string_view line : lines) {
    std::string key = key_ == LineKey::kExact ? std::string(line)
                                              : UpperCase(TrimmedView(line));
    const auto [at, added] = numbers_.try_emplace(std::move(key), 0);
    if (added) {
      at->second = numbers_.size();
      first_lines_.push_back(line);
    }
    text += std::to_string(at->second);
    text += '\n';
  }
  return text;
}

namespace {

int AddHunk(const git_diff_delta*, const git_diff_hunk* hunk, void* payload) {
  auto* hunks = static_cast<std::vector<LineDiffHunk>*>(payload);
  LineDiffHunk found;
  // Counted from 1; a side without lines names the line before the hunk.
  found.old_count = static_cast<size_t>(hunk->old_lines);
  found.new_count = static_cast<size_t>(hunk->new_lines);
  found.old_start =
      static_cast<size_t>(hunk->old_start) - (found.old_count > 0 ? 1 : 0);
  found.new_start =
      static_cast<size_t>(hunk->new_start) - (found.new_count > 0 ? 1 : 0);
  hunks->push_back(found);
  return 0;
}

}  // namespace

bool DiffLines(const LineViews& before, const LineViews& after, LineKey key,
               std::vector<LineDiffHunk>* hunks) {
  EnsureLibgit2();
  hunks->clear();
  LineNumbering numbering(key);
  const std::string old_text = numbering.Text(before);
  const std::string new_text = numbering.Text(after);
  if (old_text == new_text) {
    return true;
  }
  git_diff_options options;
  git_diff_options_init(&options, GIT_DIFF_OPTIONS_VERSION);
  options.flags = GIT_DIFF_PATIENCE | GIT_DIFF_FORCE_TEXT;
  options.context_lines = 0;
  options.interhunk_lines = 0;
  return git_diff_buffers(old_text.data(), old_text.size(), nullptr,
                          new_text.data(), new_text.size(), nullptr, &options,
                          nullptr, nullptr, AddHunk, nullptr, hunks) == 0;
}

std::vector<ptrdiff_t> MatchedLines(const std::vector<LineDiffHunk>& hunks,
                                    size_t before_count) {
  std::vector<ptrdiff_t> matched(before_count, -1);
  size_t old_at = 0;
  ptrdiff_t shift = 0;
  const auto keep_until = [&](size_t end) {
    for (; old_at < end && old_at < before_count; ++old_at) {
      matched[old_at] = static_cast<ptrdiff_t>(old_at) + shift;
    }
  };
  for (const LineDiffHunk& hunk : hunks) {
    keep_until(hunk.old_start);
    old_at = hunk.old_start + hunk.old_count;
    shift += static_cast<ptrdiff_t>(hunk.new_count) -
             static_cast<ptrdiff_t>(hunk.old_count);
  }
  keep_until(before_count);
  return matched;
}
