// Feeds arbitrary bytes to the reader of RESTOREBACKUP. Any crash,
// sanitizer report, hang or oversized allocation is a finding; so is a
// backup that is accepted although a record is incomplete or names a path
// that the system would read cut short, or one that is refused without a
// reason.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "backup/backup_records.h"
#include "fastmemlist/fastmemlist.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TFASTMEMLIST backup;
  std::string why;
  if (!LoadBackupData(bytes, &backup, &why)) {
    Check(backup.Count() == 0);
    Check(!why.empty());
    return 0;
  }
  Check(backup.Count() % kBackupRecordItemCount == 0);
  for (uint64_t i = 0; i < backup.Count(); i += kBackupRecordItemCount) {
    Check(backup.ItemLength(i + kBackupState) > 0);
    Check(backup.View(i + kBackupPath).find('\0') == std::string_view::npos);
    Check(backup.View(i + kBackupNearestDirectory).find('\0') ==
          std::string_view::npos);
  }
  // What was accepted is accepted again once written back.
  TFASTMEMLIST again;
  Check(LoadBackupData(backup.SaveToString(), &again));
  Check(again.SaveToString() == backup.SaveToString());
  return 0;
}
