#include "pack/author/edit_script.h"

#include <algorithm>

#include "dtl/dtl.hpp"

std::vector<EditStep> EditScript(const std::vector<std::string_view>& before,
                                 const std::vector<std::string_view>& after) {
  dtl::Diff<std::string_view, std::vector<std::string_view>> edit(before,
                                                                  after);
  edit.compose();
  std::vector<EditStep> steps;
  for (const auto& [line, info] : edit.getSes().getSequence()) {
    steps.push_back({info.type == dtl::SES_COMMON   ? ' '
                     : info.type == dtl::SES_DELETE ? '-'
                                                    : '+',
                     line, 0, 0});
  }
  // The removed lines of a run go first; then the line numbers follow from
  // the marks.
  for (auto run = steps.begin(); run != steps.end();) {
    const auto end = std::find_if(
        run, steps.end(), [](const EditStep& s) { return s.mark == ' '; });
    std::stable_partition(run, end,
                          [](const EditStep& s) { return s.mark == '-'; });
    run = end == steps.end() ? end : end + 1;
  }
  size_t i = 0;
  size_t j = 0;
  for (EditStep& step : steps) {
    step.old_at = i;
    step.new_at = j;
    i += step.mark != '+' ? 1 : 0;
    j += step.mark != '-' ? 1 : 0;
  }
  return steps;
}

std::vector<HunkSteps> GroupHunks(const std::vector<EditStep>& steps,
                                  size_t context, size_t join_gap) {
  std::vector<HunkSteps> hunks;
  for (size_t k = 0; k < steps.size();) {
    if (steps[k].mark == ' ') {
      ++k;
      continue;
    }
    HunkSteps hunk;
    hunk.first = k >= context ? k - context : 0;
    size_t last = k;  // the last changed step of the hunk
    for (size_t n = k + 1; n < steps.size(); ++n) {
      if (steps[n].mark != ' ') {
        if (n - last - 1 > join_gap) {
          break;
        }
        last = n;
      }
    }
    hunk.end = std::min(steps.size(), last + 1 + context);
    hunk.old_start = steps[hunk.first].old_at;
    hunk.new_start = steps[hunk.first].new_at;
    for (size_t n = hunk.first; n < hunk.end; ++n) {
      hunk.old_count += steps[n].mark != '+' ? 1 : 0;
      hunk.new_count += steps[n].mark != '-' ? 1 : 0;
    }
    hunks.push_back(hunk);
    k = hunk.end;
  }
  return hunks;
}

std::string HunkRange(size_t start, size_t count) {
  return std::to_string(count == 0 ? start : start + 1) + "," +
         std::to_string(count);
}
