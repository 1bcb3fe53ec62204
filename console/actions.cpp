#include "console/actions.h"

namespace {

void ShowUserInfo(ConsoleRun* run) {
  run->output.Add(run->settings.user_information);
}

// The engines of these actions are not part of the client yet; until they
// are, the actions do nothing and print nothing.
void NotBuiltYet(ConsoleRun*) {}

constexpr ConsoleAction kConsoleActions[] = {
    {"APPLY", NotBuiltYet},         {"REVERSE", NotBuiltYet},
    {"EXECUTECHECKS", NotBuiltYet}, {"SHOWUSERINFO", ShowUserInfo},
    {"CREATEBACKUP", NotBuiltYet},  {kRestoreBackupAction, NotBuiltYet},
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
