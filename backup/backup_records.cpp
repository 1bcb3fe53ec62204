#include "backup/backup_records.h"

#include <utility>

#include "fastmemlist/list_view.h"
#include "services/system_path.h"

void AddBackupRecord(TFASTMEMLIST* backup, PathState state,
                     std::string_view path, std::string_view nearest_directory,
                     std::string_view content) {
  backup->AddByte(state == PathState::kExisted ? kStateExisted : kStateAbsent);
  backup->Add(path);
  backup->Add(nearest_directory);
  backup->Add(content);
}

namespace {

bool Malformed(TFASTMEMLIST* backup, std::string* err, std::string text) {
  backup->Clear();
  if (err != nullptr) {
    *err = "not a backup file: " + std::move(text);
  }
  return false;
}

// Whether a decoded list is made of whole records.
bool CheckRecords(TFASTMEMLIST* backup, std::string* err) {
  if (backup->Count() % kBackupRecordItemCount != 0) {
    return Malformed(backup, err,
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
      return Malformed(backup, err, record + "no state");
    }
    if (!UsablePath(backup->View(i + kBackupPath), &nul) ||
        !UsablePath(backup->View(i + kBackupNearestDirectory), &nul)) {
      return Malformed(backup, err, record + nul);
    }
  }
  return true;
}

}  // namespace

bool LoadBackupData(std::string_view data, TFASTMEMLIST* backup,
                    std::string* err) {
  DecodeError error;
  if (!backup->LoadFromData(data, &error)) {
    return Malformed(backup, err, error.Text());
  }
  return CheckRecords(backup, err);
}

bool LoadBackupFile(const std::string& file_name, TFASTMEMLIST* backup,
                    std::string* err) {
  // Read straight into the list: a backup holds whole trees, and the
  // bytes are not copied a second time.
  std::string read_err;
  if (!backup->LoadFromFile(file_name, &read_err)) {
    backup->Clear();
    if (err != nullptr) {
      // The reader's faults ("cannot open: ...") and the decoder's ("at
      // byte 3: ...") read apart.
      *err = read_err.starts_with("at byte") ? "not a backup file: " + read_err
                                             : read_err;
    }
    return false;
  }
  return CheckRecords(backup, err);
}
