#include "backup/restore_backup.h"

#include <unistd.h>

#include <cerrno>
#include <exception>
#include <string_view>

#include "backup/backup_records.h"
#include "fastmemlist/fastmemlist.h"
#include "services/file_replacement.h"
#include "services/file_services.h"

namespace {

// Creates the directory with every missing one above it; an empty name is
// the working directory, which exists.
bool EnsureDirectory(const std::string& directory) {
  return directory.empty() || DirectoryExists(directory) ||
         MakeDirectoryPath(directory);
}

bool RestoreFile(const std::string& path, std::string_view content,
                 std::string* message) {
  const std::string directory = ExtractPathPart(path);
  *message = "Unable to create directory " + directory;
  if (!EnsureDirectory(directory)) {
    return false;
  }
  // Written beside the file and renamed over it, so a failure leaves the
  // file as it was instead of half written.
  PosixFileReplacement replacement;
  *message = "Unable to create file " + path;
  if (!replacement.Begin(path, nullptr)) {
    return false;
  }
  *message = "Unable to write to file " + path;
  return replacement.Write(content, nullptr) && replacement.Commit(nullptr);
}

// Removes the directories created above a deleted path since the backup:
// every existing directory on the way up from `directory` that lies below
// `nearest`, the deepest directory that existed at backup time.
bool RemoveCreatedParents(std::string directory, std::string_view nearest) {
  while (directory.size() > nearest.size() && directory.starts_with(nearest)) {
    if (DirectoryExists(directory) && !DeleteDirectoryTree(directory)) {
      return false;
    }
    directory.pop_back();
    directory = ExtractPathPart(directory);
  }
  return true;
}

bool DeletePath(const std::string& path, std::string_view nearest,
                std::string* message) {
  if (LastCharacter(path) == '/') {
    *message = "Unable to delete directory " + path;
    if (DirectoryExists(path) && !DeleteDirectoryTree(path)) {
      return false;
    }
    return RemoveCreatedParents(
        ExtractPathPart(std::string_view(path).substr(0, path.size() - 1)),
        nearest);
  }
  *message = "Unable to delete file " + path;
  if (FileExists(path) && ::unlink(path.c_str()) != 0 && errno != ENOENT) {
    return false;
  }
  return RemoveCreatedParents(ExtractPathPart(path), nearest);
}

bool RestoreRecord(const TFASTMEMLIST& backup, uint64_t first,
                   std::string* message) {
  const std::string path = backup.Get(first + kBackupPath);
  const bool existed =
      static_cast<uint8_t>(backup.View(first + kBackupState)[0]) ==
      kStateExisted;
  if (!existed) {
    return DeletePath(path, backup.View(first + kBackupNearestDirectory),
                      message);
  }
  if (LastCharacter(path) == '/') {
    *message = "Unable to create directory " + path;
    return EnsureDirectory(path);
  }
  return RestoreFile(path, backup.View(first + kBackupContent), message);
}

}  // namespace

std::string RestoreBackup(const std::string& backup_file_name) {
  std::string message = "Unable to read from file \"" + backup_file_name + "\"";
  // A failure raised out of a step (a directory that stays after it was
  // emptied, say) ends the operation with that step's message.
  try {
    TFASTMEMLIST backup;
    if (!LoadBackupFile(backup_file_name, &backup)) {
      return message;
    }
    for (uint64_t i = 0; i < backup.Count(); i += kBackupRecordItemCount) {
      if (!RestoreRecord(backup, i, &message)) {
        return message;
      }
    }
  } catch (const std::exception&) {
    return message;
  }
  return std::string();
}
