#include "pack/plan/plan_diff.h"

#include <algorithm>
#include <vector>

#include "dtl/dtl.hpp"

namespace {

// git's name of an empty file's content, which the "index" line of an
// empty file's creation or removal names.
constexpr std::string_view kEmptyBlob = "e69de29";

std::string HunkRange(size_t start, size_t count) {
  // As diff -u writes it: an empty side names the line before it.
  return std::to_string(count == 0 ? start : start + 1) + "," +
         std::to_string(count);
}

// The lines of a text with their LF kept, so that a last line without one
// differs from the same line with one.
std::vector<std::string_view> LinesWithEnds(std::string_view text) {
  std::vector<std::string_view> lines;
  for (size_t at = 0; at < text.size();) {
    const size_t lf = text.find('\n', at);
    const size_t end = lf == std::string_view::npos ? text.size() : lf + 1;
    lines.push_back(text.substr(at, end - at));
    at = end;
  }
  return lines;
}

void AddDiffLine(char mark, std::string_view line, std::string* diff) {
  *diff += mark;
  if (!line.empty() && line.back() == '\n') {
    *diff += line;
  } else {
    *diff += line;
    *diff += "\n\\ No newline at end of file\n";
  }
}

// The hunks that turn `before` into `after`, with three lines of context.
std::string HunksOf(std::string_view before, std::string_view after) {
  constexpr size_t kContext = 3;
  const std::vector<std::string_view> old_lines = LinesWithEnds(before);
  const std::vector<std::string_view> new_lines = LinesWithEnds(after);
  dtl::Diff<std::string_view, std::vector<std::string_view>> edit(old_lines,
                                                                  new_lines);
  edit.compose();
  // Each step of the edit script: its mark and line, and the line numbers
  // (0-based) of both sides where it stands.
  struct Step {
    char mark;
    std::string_view line;
    size_t old_at;
    size_t new_at;
  };
  std::vector<Step> steps;
  for (const auto& [line, info] : edit.getSes().getSequence()) {
    steps.push_back({info.type == dtl::SES_COMMON   ? ' '
                     : info.type == dtl::SES_DELETE ? '-'
                                                    : '+',
                     line, 0, 0});
  }
  // In every run of changed lines the removed ones come first, as diff
  // writes them; then the line numbers follow from the marks.
  for (auto run = steps.begin(); run != steps.end();) {
    const auto end = std::find_if(run, steps.end(),
                                  [](const Step& s) { return s.mark == ' '; });
    std::stable_partition(run, end,
                          [](const Step& s) { return s.mark == '-'; });
    run = end == steps.end() ? end : end + 1;
  }
  size_t i = 0;
  size_t j = 0;
  for (Step& step : steps) {
    step.old_at = i;
    step.new_at = j;
    i += step.mark != '+' ? 1 : 0;
    j += step.mark != '-' ? 1 : 0;
  }
  std::string diff;
  // Hunks: the changed steps with their context; changes closer than twice
  // the context share one.
  for (size_t k = 0; k < steps.size();) {
    if (steps[k].mark == ' ') {
      ++k;
      continue;
    }
    const size_t first = k >= kContext ? k - kContext : 0;
    size_t last = k;  // the last changed step of the hunk
    for (size_t n = k + 1; n < steps.size(); ++n) {
      if (steps[n].mark != ' ') {
        if (n - last > 2 * kContext) {
          break;
        }
        last = n;
      }
    }
    const size_t end = std::min(steps.size(), last + 1 + kContext);
    size_t old_count = 0;
    size_t new_count = 0;
    for (size_t n = first; n < end; ++n) {
      old_count += steps[n].mark != '+' ? 1 : 0;
      new_count += steps[n].mark != '-' ? 1 : 0;
    }
    diff += "@@ -" + HunkRange(steps[first].old_at, old_count) + " +" +
            HunkRange(steps[first].new_at, new_count) + " @@\n";
    for (size_t n = first; n < end; ++n) {
      AddDiffLine(steps[n].mark, steps[n].line, &diff);
    }
    k = end;
  }
  return diff;
}

}  // namespace

std::string DiffName(std::string_view name) {
  const bool plain = std::all_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte > ' ' && byte < 0x7f && c != '"' && c != '\\';
  });
  if (plain) {
    return std::string(name);
  }
  std::string quoted = "\"";
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    const char* escape = c == '\a'   ? "\\a"
                         : c == '\b' ? "\\b"
                         : c == '\t' ? "\\t"
                         : c == '\n' ? "\\n"
                         : c == '\v' ? "\\v"
                         : c == '\f' ? "\\f"
                         : c == '\r' ? "\\r"
                         : c == '"'  ? "\\\""
                         : c == '\\' ? "\\\\"
                                     : nullptr;
    if (escape != nullptr) {
      quoted += escape;
    } else if (byte < ' ' || byte >= 0x7f) {
      quoted += '\\';
      quoted += static_cast<char>('0' + (byte >> 6));
      quoted += static_cast<char>('0' + ((byte >> 3) & 7));
      quoted += static_cast<char>('0' + (byte & 7));
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

std::string NamePatchRefuses(std::string_view name) {
  if (name.empty()) {
    return "an empty name";
  }
  if (name.front() == '/') {
    return "an absolute name, which patch refuses";
  }
  for (size_t at = 0; at <= name.size();) {
    const size_t end = std::min(name.find('/', at), name.size());
    if (name.substr(at, end - at) == "..") {
      return "a name with a \"..\" component, which patch refuses";
    }
    at = end + 1;
  }
  return std::string();
}

bool ShowsInDiff(const PlannedFile& file) {
  return !file.directory &&
         (file.before != file.after || file.had_before != file.has_after);
}

std::string PlanDiffRefusal(const Plan& plan) {
  for (const PlannedFile& file : plan.files) {
    const std::string why =
        ShowsInDiff(file) ? NamePatchRefuses(file.path) : std::string();
    if (!why.empty()) {
      return DiffName(file.path) + " is " + why +
             " (run plan from a directory that holds every file it changes)";
    }
  }
  return std::string();
}

std::string FileDiff(const PlannedFile& file) {
  // git's headers throughout: after one of them patch reads the "---" and
  // "+++" lines that follow as its own, whatever file they name.
  const std::string name = DiffName(file.path);
  std::string diff = "diff --git " + name + " " + name + "\n";
  if (!file.had_before) {
    diff += "new file mode 100644\n";
  } else if (!file.has_after) {
    diff += "deleted file mode 100644\n";
  }
  const std::string before = file.had_before ? file.before : std::string();
  const std::string after = file.has_after ? file.after : std::string();
  const std::string old_name = file.had_before ? name : "/dev/null";
  const std::string new_name = file.has_after ? name : "/dev/null";
  if (before.find('\0') != std::string::npos ||
      after.find('\0') != std::string::npos) {
    return diff + "Binary files " + old_name + " and " + new_name + " differ\n";
  }
  if (before.empty() && after.empty()) {
    // No hunk to show: the "index" line names the empty content on both
    // sides, without which patch takes a removal for a reversed creation.
    return diff + (file.had_before
                       ? "index " + std::string(kEmptyBlob) + "..0000000\n"
                       : "index 0000000.." + std::string(kEmptyBlob) + "\n");
  }
  return diff + "--- " + old_name + "\n+++ " + new_name + "\n" +
         HunksOf(before, after);
}
