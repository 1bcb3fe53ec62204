#include "console/actions.h"

#include <string>
#include <utility>

#include "backup/backup_checks.h"
#include "backup/backup_rotation.h"
#include "backup/create_backup.h"
#include "backup/restore_backup.h"
#include "checks/consistency_checks.h"
#include "console/reverse_tally.h"
#include "engine/apply.h"
#include "engine/reverse.h"
#include "services/diagnostics.h"
#include "services/string_utils.h"

namespace {

// Both drivers, and the backup, convert the stored separators of every
// level to "/".
constexpr bool kConvertSeparators = true;

// The drivers take the loaded levels over: nothing needs them after.
void Apply(ConsoleRun* run) {
  run->status = ApplyLevels(std::move(run->package), &run->settings,
                            &run->output, kConvertSeparators);
}

// Reverse goes on past failures and exits with 0; one line on standard
// error says how many levels it could not undo.
void Reverse(ConsoleRun* run) {
  ReverseTally tally;
  ReverseLevels(std::move(run->package), &run->settings, &run->output,
                kConvertSeparators);
  if (const std::string summary = tally.Summary(); !summary.empty()) {
    Diagnose(summary);
  }
}

void ShowUserInfo(ConsoleRun* run) {
  run->output.Add(run->settings.user_information);
}

void ExecuteChecksAction(ConsoleRun* run) {
  ExecuteChecks(run->package, run->settings, &run->output);
}

// The result text is printed even when empty. A failed backup or restore
// also fails the run, so that "createbackup && apply" never applies
// without a backup, and says why on standard error.
void ReportBackupResult(std::string_view action, const std::string& result,
                        const std::string& why, ConsoleRun* run) {
  run->output.Add(result);
  if (!result.empty()) {
    run->status = kFailureStatus;
    Diagnose(std::string(action) + " failed: " + result +
             (why.empty() ? "" : " (" + why + ")"));
  }
}

// The earlier backup is kept under a name of its own, which standard
// error gives.
void CreateBackupAction(ConsoleRun* run) {
  // A package that checks the tree first is not backed up where its checks
  // fail: its lines say why, and no backup is written.
  if (LineList said; !PassesBackupChecks(run->package, run->settings, &said)) {
    for (const std::string& line : said) {
      run->output.Add(line);
    }
    run->status = kFailureStatus;
    Diagnose("createbackup failed: " +
             (said.Empty() ? std::string("a check of the tree stopped it")
                           : said.Get(said.Count() - 1)));
    return;
  }
  std::string why;
  KeptBackup kept;
  const std::string result = CreateBackup(run->package, run->settings,
                                          run->package_file_name + ".backup",
                                          kConvertSeparators, &why, &kept);
  ReportBackupResult("createbackup", result, why, run);
  if (result.empty() && !kept.earlier.empty()) {
    Diagnose("createbackup: the earlier backup is kept as " + kept.earlier +
             (kept.dropped_oldest ? "; the oldest was removed (" +
                                        std::to_string(kKeptBackups) +
                                        " earlier backups are kept)"
                                  : ""));
  }
}

// Argument 1 names the backup file itself; no package is loaded.
void RestoreBackupAction(ConsoleRun* run) {
  std::string why;
  const std::string result = RestoreBackup(run->package_file_name, &why);
  ReportBackupResult("restorebackup", result, why, run);
}

constexpr ConsoleAction kConsoleActions[] = {
    {"APPLY", Apply},
    {"REVERSE", Reverse},
    {"EXECUTECHECKS", ExecuteChecksAction},
    {"SHOWUSERINFO", ShowUserInfo},
    {"CREATEBACKUP", CreateBackupAction},
    {kRestoreBackupAction, RestoreBackupAction},
};

}  // namespace

const ConsoleAction* FindConsoleAction(std::string_view keyword) {
  for (const ConsoleAction& action : kConsoleActions) {
    if (action.keyword == keyword) {
      return &action;
    }
  }
  return nullptr;
}

std::vector<std::string> ConsoleActionWords() {
  std::vector<std::string> words;
  for (const ConsoleAction& action : kConsoleActions) {
    words.push_back(LowerCase(action.keyword));
  }
  return words;
}
