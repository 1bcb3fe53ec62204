#include "console/actions.h"

#include "checks/consistency_checks.h"
#include "engine/apply.h"
#include "engine/reverse.h"

namespace {

// Both drivers convert the stored separators of every level to "/".
constexpr bool kConvertSeparators = true;

void Apply(ConsoleRun* run) {
  run->status = ApplyLevels(run->package, &run->settings, &run->output,
                            kConvertSeparators);
}

void Reverse(ConsoleRun* run) {
  ReverseLevels(run->package, &run->settings, &run->output, kConvertSeparators);
}

void ShowUserInfo(ConsoleRun* run) {
  run->output.Add(run->settings.user_information);
}

void ExecuteChecksAction(ConsoleRun* run) {
  ExecuteChecks(run->package, run->settings, &run->output);
}

// The engines of these actions are not part of the client yet; until they
// are, the actions do nothing and print nothing.
void NotBuiltYet(ConsoleRun*) {}

constexpr ConsoleAction kConsoleActions[] = {
    {"APPLY", Apply},
    {"REVERSE", Reverse},
    {"EXECUTECHECKS", ExecuteChecksAction},
    {"SHOWUSERINFO", ShowUserInfo},
    {"CREATEBACKUP", NotBuiltYet},
    {kRestoreBackupAction, NotBuiltYet},
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
