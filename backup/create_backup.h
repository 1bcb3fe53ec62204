// CREATEBACKUP: records the present state of every file and directory that
// a package's levels write, create or remove, in a backup file. Changes
// nothing but the backup file and the names of the earlier backups it
// keeps, and writes none when it fails.
#ifndef QRL_BACKUP_CREATE_BACKUP_H_
#define QRL_BACKUP_CREATE_BACKUP_H_

#include <string>

#include "fastmemlist/fastmemlist.h"
#include "package/settings_block.h"
#include "services/line_list.h"

// The backup targets of the levels, in level order, each once: an
// operation ("+" writes or creates, "-" removes), the separator of the
// path and the path. Entry 0 of a Normal or FileExport level gives "+"
// and its separator and path; each code line of a FileDirectoryCreationRemoval
// level is a target as it stands. The settings' macros are replaced once
// each, in list order, and with `convert_separators` every stored path is
// turned to "/" first. The caller's levels are not changed.
LineList CollectBackupTargets(const TFASTMEMLIST& levels,
                              const TSETTINGSBLOCK& settings,
                              bool convert_separators);

// Where the backup that stood at the backup file's name went.
struct KeptBackup {
  std::string earlier;  // its name now (NAME.1), empty when there was none
  bool dropped_oldest = false;  // the oldest of nine was removed for room
};

// Writes the backup of the targets of `levels` (see backup_records.h) to
// `backup_file_name`; the backups there before are kept, moved one place
// on (backup_rotation.h), and *kept (when given) says where. A removal of
// a directory records the directory and everything below it, entry by
// entry; a target shorter than 3 characters records nothing. Returns an
// empty text on success, else the message of the step that failed; *err
// (when given) then receives the system's reason where there is one, and
// the earlier backups stay as they were.
std::string CreateBackup(const TFASTMEMLIST& levels,
                         const TSETTINGSBLOCK& settings,
                         const std::string& backup_file_name,
                         bool convert_separators, std::string* err = nullptr,
                         KeptBackup* kept = nullptr);

#endif  // QRL_BACKUP_CREATE_BACKUP_H_
