#include "pack/rebase/rebase_report.h"

#include <map>

#include "pack/json/json_bytes.h"
#include "services/diagnostics.h"

namespace {

// A conflict shows at most this many lines of each side.
constexpr size_t kSideLines = 8;

constexpr Verdict kVerdicts[] = {
    Verdict::kUnchanged,    Verdict::kReanchored, Verdict::kMerged,
    Verdict::kAlreadyThere, Verdict::kConflict,   Verdict::kKept,
};

std::string Where(const RebasedLevel& level) {
  if (level.file.empty()) {
    return std::string();
  }
  return level.line > 0 ? level.file + " line " + std::to_string(level.line)
                        : level.file;
}

void WriteSide(std::string_view name, const std::vector<std::string>& lines,
               std::ostream& out) {
  out << "    " << name << ":";
  if (lines.empty()) {
    out << " (no lines)\n";
    return;
  }
  out << '\n';
  for (size_t i = 0; i < lines.size() && i < kSideLines; ++i) {
    out << "      | " << EscapeForTerminal(lines[i]) << '\n';
  }
  if (lines.size() > kSideLines) {
    out << "      (" << lines.size() - kSideLines << " more lines)\n";
  }
}

std::map<Verdict, size_t> Counts(const RebaseOutcome& outcome) {
  std::map<Verdict, size_t> counts;
  for (const RebasedLevel& level : outcome.levels) {
    ++counts[level.verdict];
  }
  return counts;
}

Json Lines(const std::vector<std::string>& lines) {
  Json array = Json::array();
  for (const std::string& line : lines) {
    array.push_back(TextToJson(line));
  }
  return array;
}

}  // namespace

void WriteRebaseText(const RebaseOptions& options, const RebaseOutcome& outcome,
                     int exit_code, std::ostream& out) {
  for (const RebasedLevel& level : outcome.levels) {
    out << "level " << EscapeForTerminal(level.number) << " "
        << VerdictName(level.verdict);
    std::string where = Where(level);
    if (!level.found.empty() && (level.verdict == Verdict::kReanchored ||
                                 level.verdict == Verdict::kMerged)) {
      where +=
          (where.empty() ? "" : ", ") + std::string("found ") + level.found;
    }
    if (!where.empty()) {
      out << ": " << EscapeForTerminal(where);
    }
    out << " (" << EscapeForTerminal(level.presentation) << ")\n";
    if (!level.reason.empty()) {
      out << "    " << EscapeForTerminal(level.reason) << '\n';
    }
    if (level.has_sides) {
      WriteSide("package", level.sides.package, out);
      WriteSide("base", level.sides.base, out);
      WriteSide("NEW", level.sides.onto, out);
    }
  }
  const std::map<Verdict, size_t> counts = Counts(outcome);
  out << "rebase: " << outcome.levels.size()
      << (outcome.levels.size() == 1 ? " level:" : " levels:");
  const char* separator = " ";
  for (Verdict verdict : kVerdicts) {
    const auto found = counts.find(verdict);
    const size_t count = found == counts.end() ? 0 : found->second;
    out << separator << count << " " << VerdictName(verdict)
        << (verdict == Verdict::kConflict && count != 1 ? "s" : "");
    separator = "; ";
  }
  out << '\n';
  if (!outcome.check_failure.empty()) {
    out << "rebase: the carried package does not give NEW back: "
        << EscapeForTerminal(outcome.check_failure) << '\n';
  }
  if (outcome.written) {
    out << "rebase: wrote " << EscapeForTerminal(options.output) << '\n';
  } else if (outcome.nothing_left) {
    out << "rebase: NEW has every change of the package already; no package "
           "written\n";
  } else if (exit_code == kRebaseCarried) {
    out << "rebase: every level carries; give -o OUT to write the package\n";
  } else {
    out << "rebase: no package written\n";
  }
  if (outcome.worktree_written) {
    out << "rebase: " << EscapeForTerminal(options.worktree)
        << " holds NEW with the carried levels applied"
        << (outcome.conflicts > 0 ? " and each conflict marked" : "") << '\n';
  }
  if (outcome.conflicts > 0) {
    const std::string tree =
        outcome.worktree_written ? options.worktree : std::string("DIR");
    out << "rebase: to finish, "
        << (outcome.worktree_written
                ? std::string()
                : "run it again with --worktree DIR, then ")
        << "edit the marked files in " << EscapeForTerminal(tree)
        << " and run: qrlpack from-trees " << EscapeForTerminal(options.onto)
        << " " << EscapeForTerminal(tree) << " -o OUT\n";
  }
}

void WriteRebaseJson(const RebaseOptions& options, const RebaseOutcome& outcome,
                     int exit_code, std::ostream& out) {
  Json document = Json::object();
  document["package"] = TextToJson(options.package);
  document["onto"] = TextToJson(options.onto);
  document["base"] =
      options.base.empty() ? Json(nullptr) : TextToJson(options.base);
  Json levels = Json::array();
  for (const RebasedLevel& level : outcome.levels) {
    Json item = Json::object();
    item["number"] = TextToJson(level.number);
    item["presentation"] = TextToJson(level.presentation);
    item["kind"] = TextToJson(level.kind);
    item["verdict"] = std::string(VerdictName(level.verdict));
    item["file"] = level.file.empty() ? Json(nullptr) : TextToJson(level.file);
    item["line"] = level.line;
    item["found"] = level.found.empty() ? Json(nullptr) : Json(level.found);
    item["reason"] = TextToJson(level.reason);
    if (level.has_sides) {
      item["sides"] = {{"package", Lines(level.sides.package)},
                       {"base", Lines(level.sides.base)},
                       {"new", Lines(level.sides.onto)}};
    } else {
      item["sides"] = nullptr;
    }
    levels.push_back(std::move(item));
  }
  document["levels"] = std::move(levels);
  Json summary = Json::object();
  const std::map<Verdict, size_t> counts = Counts(outcome);
  for (Verdict verdict : kVerdicts) {
    const auto found = counts.find(verdict);
    summary[std::string(VerdictName(verdict))] =
        found == counts.end() ? 0 : found->second;
  }
  document["summary"] = std::move(summary);
  document["check_failure"] = outcome.check_failure.empty()
                                  ? Json(nullptr)
                                  : TextToJson(outcome.check_failure);
  document["written"] =
      outcome.written ? TextToJson(options.output) : Json(nullptr);
  document["worktree"] =
      outcome.worktree_written ? TextToJson(options.worktree) : Json(nullptr);
  document["exit_code"] = exit_code;
  out << document.dump(2) << '\n';
}
