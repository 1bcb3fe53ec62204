#include "console/actions.h"

#include <string>
#include <utility>

#include "backup/backup_checks.h"
#include "backup/create_backup.h"
#include "backup/restore_backup.h"
#include "checks/consistency_checks.h"
#include "engine/apply.h"
#include "engine/reverse.h"
#include "services/diagnostics.h"

namespace {

// Both drivers, and the backup, convert the stored separators of every
// level to "/".
constexpr bool kConvertSeparators = true;

// The drivers take the loaded levels over: nothing needs them after.
void Apply(ConsoleRun* run) {
  run->status = ApplyLevels(std::move(run->package), &run->settings,
                            &run->output, kConvertSeparators);
}

void Reverse(ConsoleRun* run) {
  ReverseLevels(std::move(run->package), &run->settings, &run->output,
                kConvertSeparators);
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
  const std::string result = CreateBackup(run->package, run->settings,
                                          run->package_file_name + ".backup",
                                          kConvertSeparators, &why);
  ReportBackupResult("createbackup", result, why, run);
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
