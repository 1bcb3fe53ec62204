// The reports of qrlpack plan: for people, and as JSON.
#include <ostream>
#include <string_view>
#include <vector>

#include "pack/json/json_bytes.h"
#include "pack/plan/plan.h"
#include "pack/plan/plan_diff.h"
#include "services/diagnostics.h"

namespace {

// The outcomes the summary counts, in its order.
constexpr PlannedOutcome kOutcomes[] = {
    PlannedOutcome::kApplies, PlannedOutcome::kAlreadyApplied,
    PlannedOutcome::kFails, PlannedOutcome::kSkipped,
    PlannedOutcome::kNotSimulated};

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

size_t CountOutcome(const Plan& plan, PlannedOutcome outcome) {
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

std::string_view OutcomeName(PlannedOutcome outcome) {
  switch (outcome) {
    case PlannedOutcome::kUnknown:
      return "";
    case PlannedOutcome::kApplies:
      return "applies";
    case PlannedOutcome::kAlreadyApplied:
      return "already applied";
    case PlannedOutcome::kFails:
      return "fails";
    case PlannedOutcome::kSkipped:
      return "skipped: requirements";
    case PlannedOutcome::kNotSimulated:
      return "not simulated";
  }
  return "";
}

void WritePlanText(const Plan& plan, const PlanOptions& options,
                   std::ostream& out) {
  out << "Plan of " << plan.action << ", level by level:\n";
  for (const PlannedLevel& level : plan.levels) {
    const std::string indent(2 + 2 * static_cast<size_t>(level.depth), ' ');
    out << indent << level.number << ' ' << level.kind << ' '
        << EscapeForTerminal(level.presentation) << ": "
        << OutcomeName(level.outcome);
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
  for (const PlannedOutcome outcome : kOutcomes) {
    out << ", " << CountOutcome(plan, outcome) << ' ' << OutcomeName(outcome);
  }
  out << ".\n";
  WriteStopAndLooseNotes(plan, options, out);
  if (plan.uncertain) {
    out << "A level runs a tool or a command, which a plan never starts: "
           "what follows it is likely, not certain.\n";
  }
  if (plan.outside) {
    out << "The run would change paths outside the tree of its root macro "
           "(see the warnings).\n";
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
          << (file.outside ? " (outside the tree)" : "") << '\n';
    }
  }
  if (options.diff) {
    for (const PlannedFile& file : plan.files) {
      if (ShowsInDiff(file)) {
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
    item["outcome"] = OutcomeName(level.outcome);
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
  document["outside"] = plan.outside;
  Json files = Json::array();
  for (const PlannedFile& file : plan.files) {
    Json item = Json::object();
    item["path"] = TextToJson(file.path);
    item["change"] = std::string(ChangeName(file.change));
    item["directory"] = file.directory;
    item["outside"] = file.outside;
    if (options.diff && !file.directory) {
      item["diff"] = TextToJson(FileDiff(file));
    }
    files.push_back(std::move(item));
  }
  document["files"] = std::move(files);
  out << document.dump(2) << '\n';
}
