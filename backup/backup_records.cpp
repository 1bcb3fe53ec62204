#include "backup/backup_records.h"

#include "services/system_path.h"

void AddBackupRecord(TFASTMEMLIST* backup, bool existed, std::string_view path,
                     std::string_view nearest_directory,
                     std::string_view content) {
  backup->AddByte(existed ? kStateExisted : kStateAbsent);
  backup->Add(path);
  backup->Add(nearest_directory);
  backup->Add(content);
}

bool LoadBackupFile(const std::string& file_name, TFASTMEMLIST* backup) {
  backup->Clear();
  bool well_formed = backup->LoadFromFile(file_name) &&
                     backup->Count() % kBackupRecordItemCount == 0;
  // A path that holds a NUL byte would restore or delete another path
  // than the one recorded: such a record spoils the whole backup.
  for (uint64_t i = 0; well_formed && i < backup->Count();
       i += kBackupRecordItemCount) {
    well_formed = backup->ItemLength(i + kBackupState) > 0 &&
                  UsablePath(backup->View(i + kBackupPath)) &&
                  UsablePath(backup->View(i + kBackupNearestDirectory));
  }
  if (!well_formed) {
    backup->Clear();
  }
  return well_formed;
}
