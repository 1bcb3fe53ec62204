// The six actions of the client, one row each: the keyword (upper case)
// and the function that runs it on the client's objects.
#ifndef QRL_CONSOLE_ACTIONS_H_
#define QRL_CONSOLE_ACTIONS_H_

#include <string>
#include <string_view>
#include <vector>

#include "console/console_client.h"

struct ConsoleAction {
  std::string_view keyword;
  void (*run)(ConsoleRun* run);
};

inline constexpr std::string_view kRestoreBackupAction = "RESTOREBACKUP";

// The row of an upper-cased action word, or nullptr for any other word.
const ConsoleAction* FindConsoleAction(std::string_view keyword);

// The action words in lower case, in the table's order (for a completion).
std::vector<std::string> ConsoleActionWords();

#endif  // QRL_CONSOLE_ACTIONS_H_
