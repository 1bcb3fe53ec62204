// The backup file that CREATEBACKUP writes and RESTOREBACKUP reads: one
// serialized list of records of 4 items each, in the order recorded:
//
//   4r      state: one byte, 1 when the path existed at backup time (as a
//           file, or as a directory when the path ends in "/"), else 0
//   4r + 1  the path; a directory path ends in "/"
//   4r + 2  the deepest directory at or above the path that existed then,
//           ending in "/"; empty when there was none
//   4r + 3  the whole content of a file whose state is 1; else empty
//
// A backup without targets is the serialized empty list.
#ifndef QRL_BACKUP_BACKUP_RECORDS_H_
#define QRL_BACKUP_BACKUP_RECORDS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "fastmemlist/fastmemlist.h"

enum BackupItem : uint64_t {
  kBackupState = 0,
  kBackupPath = 1,
  kBackupNearestDirectory = 2,
  kBackupContent = 3,
  kBackupRecordItemCount = 4,
};

inline constexpr uint8_t kStateExisted = 1;
inline constexpr uint8_t kStateAbsent = 0;

void AddBackupRecord(TFASTMEMLIST* backup, bool existed, std::string_view path,
                     std::string_view nearest_directory,
                     std::string_view content);

// Reads a backup file. False, with the list empty, when the file cannot be
// read or is malformed: not one well-formed list, an item count that is
// not a multiple of 4, an empty state item, or a path or directory that
// holds a NUL byte.
bool LoadBackupFile(const std::string& file_name, TFASTMEMLIST* backup);

#endif  // QRL_BACKUP_BACKUP_RECORDS_H_
