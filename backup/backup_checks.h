// The checks that createbackup runs before it records anything: the levels
// whose options hold the word BACKUPCHECK, run as apply runs them. A package
// uses them to refuse a tree it was not made for before a backup of the
// wrong paths is written. They run on a view of the files that keeps every
// change in memory, and tools and commands are not started, so createbackup
// still changes nothing but its backup file.
#ifndef QRL_BACKUP_BACKUP_CHECKS_H_
#define QRL_BACKUP_BACKUP_CHECKS_H_

#include <string_view>

#include "fastmemlist/fastmemlist.h"
#include "package/settings_block.h"
#include "services/line_list.h"

inline constexpr std::string_view kBackupCheckOption = "BACKUPCHECK";

// True when the package has no check level or none stops the run. False
// when one does (an error, or a program that halts after a failure); the
// lines the run printed are then in *output.
bool PassesBackupChecks(const TFASTMEMLIST& levels,
                        const TSETTINGSBLOCK& settings, LineList* output);

#endif  // QRL_BACKUP_BACKUP_CHECKS_H_
