// qrlpack plan: what a package will do to a tree, told before it does it.
// The console's own code runs the action, with the real engine, on an
// overlay of the file system that keeps every change in memory, and with
// tools that are never started. What it would print, its exit code and
// the files it would change are predicted exactly, unless a level runs a
// tool or a command: that one is assumed to succeed without output, and
// the prediction from there on is only likely ("uncertain").
#ifndef QRL_PACK_PLAN_PLAN_H_
#define QRL_PACK_PLAN_PLAN_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// What a level would do. The report words it (OutcomeName) "applies",
// "already applied", "fails", "skipped: requirements", "not simulated";
// kUnknown, for a level that started and never ended, as nothing.
enum class PlannedOutcome {
  kUnknown,
  kApplies,
  kAlreadyApplied,
  kFails,
  kSkipped,
  kNotSimulated,
};
std::string_view OutcomeName(PlannedOutcome outcome);

// One level as the run would visit it.
struct PlannedLevel {
  int depth = 0;  // 0 for the package's own levels, 1 and up when nested
  std::string presentation;
  std::string number;
  std::string kind;  // "Normal", "Complex", ... or the stored kind code
  PlannedOutcome outcome = PlannedOutcome::kUnknown;
  std::string file;    // the file a Normal level works on, if any
  int64_t line = 0;    // where in it the level acts, from 1; 0 for nowhere
  std::string reason;  // of a failure or a skip, in plain words
  std::vector<std::string> warnings;
  // Tree lines that applying writes over with the level's own, because
  // its match holds only with blanks and letter case ignored.
  int64_t rewrites = 0;
  // qrlconsole stops before it (planned with --all-levels).
  bool past_stop = false;
  bool uncertain = false;  // comes after a level that was not simulated
  // qrlconsole counts it as failed: a failure that weighs (under apply a
  // severity above 0), or requirements it reports as not fulfilled.
  bool failure = false;
};

enum class PlannedChange { kModify, kCreate, kDelete };

struct PlannedFile {
  std::string path;  // as the report names it
  PlannedChange change;
  bool directory = false;
  std::string before;  // the content before and after (files only)
  std::string after;
  bool had_before = false;
  bool has_after = false;
  bool outside = false;  // in no tree of the run's root macros
};

struct Plan {
  std::string action;       // "apply" or "reverse"
  bool all_levels = false;  // levels past the console's stop are planned
  std::vector<PlannedLevel> levels;
  std::vector<std::string> would_print;  // standard output after the banner
  std::vector<std::string> would_say;    // its standard error lines
  int exit_code = 0;
  bool uncertain = false;
  // A change lands outside the trees of the root macros (plan_bounds.h).
  bool outside = false;
  std::vector<PlannedFile> files;
};

struct PlanOptions {
  bool json = false;  // one JSON document instead of the report for people
  bool diff = false;  // also a unified diff of every changed file
  // Plan every level, as if the failing levels before it had changed
  // nothing; the console's own stop still decides what it prints.
  bool all_levels = false;
  // Levels that rewrite tree lines through a loose match do not fail the
  // plan.
  bool allow_loose = false;
};

// plan's exit codes (pack/cli/exit_codes.h lists every command's).
inline constexpr int kPlanSucceeds = 0;
inline constexpr int kPlanFails = 1;
inline constexpr int kPlanUsage = 2;
inline constexpr int kPlanUnloadable = 3;

// Plans qrlconsole's action for its arguments (`args`: the package, the
// action, then macros and symbols, as qrlconsole takes them). Returns
// plan's own exit code: kPlanSucceeds when every level would succeed,
// kPlanFails when any would fail, a change lands outside the tree of the
// root macro or the prediction is uncertain, kPlanUsage for a usage error,
// kPlanUnloadable when the package cannot be loaded; *plan is filled for
// the first two, *err otherwise.
int MakePlan(const std::vector<std::string>& args, Plan* plan,
             std::string* err);
// The same with options: --all-levels plans past the console's stop, and
// --allow-loose keeps levels that rewrite tree lines from failing it.
int MakePlan(const std::vector<std::string>& args, const PlanOptions& options,
             Plan* plan, std::string* err);

// The report for people: one line per level, its warnings, a summary, and
// the lines qrlconsole would print.
void WritePlanText(const Plan& plan, const PlanOptions& options,
                   std::ostream& out);
// The report as one JSON document (its names are documented in
// docs/plan-format.md).
void WritePlanJson(const Plan& plan, const PlanOptions& options,
                   std::ostream& out);

// The command: qrlconsole's arguments `args` (the package, the action,
// then macros and symbols), planned and reported as `options` say.
int RunPlanCommand(const std::vector<std::string>& args, PlanOptions options,
                   std::ostream& out, std::ostream& err);

#endif  // QRL_PACK_PLAN_PLAN_H_
