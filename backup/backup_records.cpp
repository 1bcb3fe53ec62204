#include "backup/backup_records.h"

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
  for (uint64_t i = 0; well_formed && i < backup->Count();
       i += kBackupRecordItemCount) {
    well_formed = backup->ItemLength(i + kBackupState) > 0;
  }
  if (!well_formed) {
    backup->Clear();
  }
  return well_formed;
}
