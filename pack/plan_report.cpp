// The reports of qrlpack plan: for people, and as JSON.
#include <algorithm>
#include <ostream>
#include <string_view>
#include <vector>

#include "dtl/dtl.hpp"
#include "pack/json_bytes.h"
#include "pack/plan.h"
#include "services/diagnostics.h"

namespace {

constexpr std::string_view kOutcomes[] = {
    "applies", "already applied", "fails", "skipped: requirements",
    "not simulated"};

std::string_view ChangeName(PlannedChange change) {
  switch (change) {
    case PlannedChange::kModify:
      return "modify";
    case PlannedChange::kCreate:
      return "create";
    case PlannedChange::kDelete:
      return "delete";
  }
  return "";
}

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

// The unified diff of one file, with three lines of context, which
// "patch -p0" applies.
std::string FileDiff(const PlannedFile& file) {
  constexpr size_t kContext = 3;
  const std::string old_name = file.had_before ? file.path : "/dev/null";
  const std::string new_name = file.has_after ? file.path : "/dev/null";
  const std::string before = file.had_before ? file.before : std::string();
  const std::string after = file.has_after ? file.after : std::string();
  if (before.find('\0') != std::string::npos ||
      after.find('\0') != std::string::npos) {
    return "Binary files " + old_name + " and " + new_name + " differ\n";
  }
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
  std::string diff = "--- " + old_name + "\n+++ " + new_name + "\n";
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

size_t CountOutcome(const Plan& plan, std::string_view outcome) {
  size_t count = 0;
  for (const PlannedLevel& level : plan.levels) {
    count += level.outcome == outcome ? 1 : 0;
  }
  return count;
}

// Where qrlconsole stops when the plan went past it, and the levels whose
// loose match rewrites lines of the tree.
void WriteStopAndLooseNotes(const Plan& plan, const PlanOptions& options,
                            std::ostream& out) {
  for (size_t i = 1; i < plan.levels.size(); ++i) {
    if (plan.levels[i].past_stop) {
      const PlannedLevel& stop = plan.levels[i - 1];
      out << "qrlconsole stops after level " << stop.number << ' '
          << EscapeForTerminal(stop.presentation)
          << "; the levels marked [past the stop] are planned as if the "
             "failing levels before them had changed nothing.\n";
      break;
    }
  }
  size_t loose = 0;
  for (const PlannedLevel& level : plan.levels) {
    loose += level.rewrites > 0 ? 1 : 0;
  }
  if (loose > 0) {
    out << loose << (loose > 1 ? " levels match" : " level matches")
        << " only because blanks or letter case do not count, and would "
           "rewrite tree lines outside "
        << (loose > 1 ? "their" : "its") << " change: "
        << (options.allow_loose
                ? "accepted (--allow-loose).\n"
                : "carry the package to this tree with qrlpack rebase, or "
                  "accept the rewrites with --allow-loose.\n");
  }
}

}  // namespace

void WritePlanText(const Plan& plan, const PlanOptions& options,
                   std::ostream& out) {
  out << "Plan of " << plan.action << ", level by level:\n";
  for (const PlannedLevel& level : plan.levels) {
    const std::string indent(2 + 2 * static_cast<size_t>(level.depth), ' ');
    out << indent << level.number << ' ' << level.kind << ' '
        << EscapeForTerminal(level.presentation) << ": " << level.outcome;
    if (level.rewrites > 0) {
      out << ", rewrites " << level.rewrites << " tree line"
          << (level.rewrites > 1 ? "s" : "");
    }
    if (!level.file.empty()) {
      out << " (" << EscapeForTerminal(level.file);
      if (level.line > 0) {
        out << ':' << level.line;
      }
      out << ')';
    }
    if (level.uncertain) {
      out << " [uncertain]";
    }
    if (level.past_stop) {
      out << " [past the stop]";
    }
    out << '\n';
    if (!level.reason.empty()) {
      out << indent << "  why: " << EscapeForTerminal(level.reason) << '\n';
    }
    for (const std::string& warning : level.warnings) {
      out << indent << "  warning: " << EscapeForTerminal(warning) << '\n';
    }
  }
  out << "Summary: " << plan.levels.size() << " levels";
  for (std::string_view outcome : kOutcomes) {
    out << ", " << CountOutcome(plan, outcome) << ' ' << outcome;
  }
  out << ".\n";
  WriteStopAndLooseNotes(plan, options, out);
  if (plan.uncertain) {
    out << "A level runs a tool or a command, which a plan never starts: "
           "what follows it is likely, not certain.\n";
  }
  out << "qrlconsole would print, after its banner, and exit with "
      << plan.exit_code << ":\n";
  for (const std::string& line : plan.would_print) {
    out << "    " << EscapeForTerminal(line) << '\n';
  }
  if (!plan.would_say.empty()) {
    out << "and on standard error:\n";
    for (const std::string& line : plan.would_say) {
      out << "    " << EscapeForTerminal(line) << '\n';
    }
  }
  if (plan.files.empty()) {
    out << "No file would change.\n";
  } else {
    out << "Files it would change:\n";
    for (const PlannedFile& file : plan.files) {
      out << "    " << ChangeName(file.change) << ' '
          << EscapeForTerminal(file.path) << (file.directory ? "/" : "")
          << '\n';
    }
  }
  if (options.diff) {
    for (const PlannedFile& file : plan.files) {
      if (!file.directory &&
          (file.before != file.after || file.had_before != file.has_after)) {
        out << FileDiff(file);
      }
    }
  }
}

void WritePlanJson(const Plan& plan, const PlanOptions& options,
                   std::ostream& out) {
  Json document = Json::object();
  document["action"] = plan.action;
  document["mode"] = plan.all_levels ? "all-levels" : "console";
  Json levels = Json::array();
  for (const PlannedLevel& level : plan.levels) {
    Json item = Json::object();
    item["presentation"] = TextToJson(level.presentation);
    item["number"] = level.number;
    item["kind"] = TextToJson(level.kind);
    item["outcome"] = level.outcome;
    item["file"] = TextToJson(level.file);
    item["line"] = level.line;
    item["reason"] = TextToJson(level.reason);
    Json warnings = Json::array();
    for (const std::string& warning : level.warnings) {
      warnings.push_back(TextToJson(warning));
    }
    item["warnings"] = std::move(warnings);
    item["rewrites"] = level.rewrites;
    item["depth"] = level.depth;
    item["uncertain"] = level.uncertain;
    item["past_stop"] = level.past_stop;
    levels.push_back(std::move(item));
  }
  document["levels"] = std::move(levels);
  Json printed = Json::array();
  for (const std::string& line : plan.would_print) {
    printed.push_back(TextToJson(line));
  }
  document["would_print"] = std::move(printed);
  Json said = Json::array();
  for (const std::string& line : plan.would_say) {
    said.push_back(TextToJson(line));
  }
  document["would_say"] = std::move(said);
  document["exit_code"] = plan.exit_code;
  document["uncertain"] = plan.uncertain;
  Json files = Json::array();
  for (const PlannedFile& file : plan.files) {
    Json item = Json::object();
    item["path"] = TextToJson(file.path);
    item["change"] = std::string(ChangeName(file.change));
    item["directory"] = file.directory;
    if (options.diff && !file.directory) {
      item["diff"] = TextToJson(FileDiff(file));
    }
    files.push_back(std::move(item));
  }
  document["files"] = std::move(files);
  out << document.dump(2) << '\n';
}
