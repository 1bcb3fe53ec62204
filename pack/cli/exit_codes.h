// Every exit code qrlpack returns, by command, in one place. build, dump,
// from-diff and from-trees use the general three (the hidden
// complete-macros the first two); plan and rebase add their own, defined
// beside the code that decides them (plan.h, rebase.h) because those rooms
// sit below the command line.
#ifndef QRL_PACK_CLI_EXIT_CODES_H_
#define QRL_PACK_CLI_EXIT_CODES_H_

#include "pack/plan/plan.h"
#include "pack/rebase/rebase.h"

// Every command.
inline constexpr int kPackExitOk = 0;
inline constexpr int kPackExitInvalid = 1;  // bad input, unreadable file
inline constexpr int kPackExitUsage = 2;

// plan: kPlanSucceeds (0) every level would succeed, kPlanFails (1) one
// would fail or rewrite tree lines, a change lands outside the tree or the
// prediction is uncertain, kPlanUsage (2), kPlanUnloadable (3) the package
// cannot be loaded.
static_assert(kPlanSucceeds == kPackExitOk && kPlanUsage == kPackExitUsage);

// rebase: kRebaseCarried (0) every level carried, kRebaseConflicts (1),
// kRebaseUsage (2), kRebaseUnreadable (3) the package or a tree cannot be
// read, or OUT or the work tree cannot be written.
static_assert(kRebaseCarried == kPackExitOk && kRebaseUsage == kPackExitUsage);

#endif  // QRL_PACK_CLI_EXIT_CODES_H_
