// RESTOREBACKUP: puts back the state that a backup file recorded. Saved
// files are rewritten (atomically) and saved directories recreated; what
// did not exist at backup time is deleted, together with the directories
// created above it since. Works record by record and does not undo earlier
// records when a later one fails.
#ifndef QRL_BACKUP_RESTORE_BACKUP_H_
#define QRL_BACKUP_RESTORE_BACKUP_H_

#include <string>

// Returns an empty text on success, else the message of the step that
// failed; *err (when given) then receives the system's reason, or why the
// backup file was refused, where there is one. A backup file that cannot be
// read or is malformed restores nothing.
std::string RestoreBackup(const std::string& backup_file_name,
                          std::string* err = nullptr);

#endif  // QRL_BACKUP_RESTORE_BACKUP_H_
