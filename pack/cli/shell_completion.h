// The parts of the bash completion that go beyond qrlpack's registered
// commands: the arguments that qrlconsole and qrlpack plan share (a
// package, an action, then MACRO{NAME}= and SYMBOL words, with the macro
// names the package defines), qrlconsole's own completion, and the hidden
// command that reads those macro names with the library. Nothing here
// runs a package.
#ifndef QRL_PACK_CLI_SHELL_COMPLETION_H_
#define QRL_PACK_CLI_SHELL_COMPLETION_H_

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// "qrlpack complete-macros PACKAGE" prints the macro names the package
// defines, one a line (PackageMacroNames); nothing, with exit code 1, for
// a file that cannot be loaded. Hidden: neither help nor completion shows
// it.
inline constexpr std::string_view kCompleteMacrosCommand = "complete-macros";
int RunCompleteMacros(const std::vector<std::string>& args, std::ostream& out);

// The bash completion of qrlconsole, with the function
// _qrl_arguments PACK FIRST ACTIONS OPTIONS that completes its arguments
// from the word FIRST on, asking PACK (a qrlpack) for macro names.
std::string ConsoleCompletion();

// The completion of plan's words, for its registration: qrlconsole's
// arguments after the word "plan".
std::string PlanCompletion();

#endif  // QRL_PACK_CLI_SHELL_COMPLETION_H_
