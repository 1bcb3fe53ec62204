#include "pack/plan/plan_diff.h"

#include <algorithm>
#include <vector>

#include "pack/author/edit_script.h"
#include "services/line_split.h"

namespace {

// git's name of an empty file's content, which the "index" line of an
// empty file's creation or removal names.
constexpr std::string_view kEmptyBlob = "e69de29";

void AddDiffLine(char mark, std::string_view line, std::string* diff) {
  *diff += mark;
  if (!line.empty() && line.back() == '\n') {
    *diff += line;
  } else {
    *diff += line;
    *diff += "\n\\ No newline at end of file\n";
  }
}

// The hunks that turn `before` into `after`, with three lines of context;
// changes closer than twice the context share one.
std::string HunksOf(std::string_view before, std::string_view after) {
  constexpr size_t kContext = 3;
  const std::vector<EditStep> steps =
      EditScript(SplitLinesWithEnds(before, LineEnds::kLfOnly),
                 SplitLinesWithEnds(after, LineEnds::kLfOnly));
  std::string diff;
  for (const HunkSteps& hunk : GroupHunks(steps, kContext, 2 * kContext - 1)) {
    diff += "@@ -" + HunkRange(hunk.old_start, hunk.old_count) + " +" +
            HunkRange(hunk.new_start, hunk.new_count) + " @@\n";
    for (size_t n = hunk.first; n < hunk.end; ++n) {
      AddDiffLine(steps[n].mark, steps[n].line, &diff);
    }
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
