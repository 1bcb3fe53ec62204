#include "backup/backup_records.h"

#include <utility>

#include "fastmemlist/handle_io.h"
#include "fastmemlist/list_view.h"
#include "services/system_path.h"

void AddBackupRecord(TFASTMEMLIST* backup, bool existed, std::string_view path,
                     std::string_view nearest_directory,
                     std::string_view content) {
  backup->AddByte(existed ? kStateExisted : kStateAbsent);
  backup->Add(path);
  backup->Add(nearest_directory);
  backup->Add(content);
}

namespace {

bool Malformed(TFASTMEMLIST* backup, std::string* why, std::string text) {
  backup->Clear();
  if (why != nullptr) {
    *why = "not a backup file: " + std::move(text);
  }
  return false;
}

}  // namespace

bool LoadBackupData(std::string_view data, TFASTMEMLIST* backup,
                    std::string* why) {
  DecodeError error;
  if (!backup->LoadFromData(data, &error)) {
    return Malformed(backup, why, error.Text());
  }
  if (backup->Count() % kBackupRecordItemCount != 0) {
    return Malformed(backup, why,
                     std::to_string(backup->Count()) +
                         " items, not records of 4 items each");
  }
  // A path that holds a NUL byte would restore or delete another path
  // than the one recorded: such a record spoils the whole backup.
  for (uint64_t i = 0; i < backup->Count(); i += kBackupRecordItemCount) {
    const std::string record =
        "record " + std::to_string(i / kBackupRecordItemCount + 1) + ": ";
    std::string nul;
    if (backup->ItemLength(i + kBackupState) == 0) {
      return Malformed(backup, why, record + "no state");
    }
    if (!UsablePath(backup->View(i + kBackupPath), &nul) ||
        !UsablePath(backup->View(i + kBackupNearestDirectory), &nul)) {
      return Malformed(backup, why, record + nul);
    }
  }
  return true;
}

bool LoadBackupFile(const std::string& file_name, TFASTMEMLIST* backup,
                    std::string* why) {
  backup->Clear();
  std::string data;
  std::string err;
  if (!ReadWholeFile(file_name, &data, &err)) {
    if (why != nullptr) {
      *why = std::move(err);
    }
    return false;
  }
  return LoadBackupData(data, backup, why);
}
