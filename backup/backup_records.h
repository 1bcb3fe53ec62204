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

// Whether the path of a record was there when the backup was made.
enum class PathState { kAbsent, kExisted };

void AddBackupRecord(TFASTMEMLIST* backup, PathState state,
                     std::string_view path, std::string_view nearest_directory,
                     std::string_view content);

// Decodes the bytes of a backup file. False, with the list empty and *err
// (when given) saying what is wrong, when they are malformed: not one
// well-formed list, an item count that is not a multiple of 4, an empty
// state item, or a path or directory that holds a NUL byte.
bool LoadBackupData(std::string_view data, TFASTMEMLIST* backup,
                    std::string* err = nullptr);

// Reads and decodes a backup file; false as above, or when the file cannot
// be read (*err then gives the system's reason).
bool LoadBackupFile(const std::string& file_name, TFASTMEMLIST* backup,
                    std::string* err = nullptr);

#endif  // QRL_BACKUP_BACKUP_RECORDS_H_
