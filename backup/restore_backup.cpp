#include "backup/restore_backup.h"

#include <cerrno>
#include <exception>
#include <memory>
#include <string_view>
#include <utility>

#include "backup/backup_records.h"
#include "fastmemlist/fastmemlist.h"
#include "services/file_services.h"
#include "services/posix_error.h"

namespace {

// The step in force: its report line, and the system's reason when a step
// fails and the system gave one.
struct Step {
  std::string message;
  std::string why;

  bool Fail(std::string reason) {
    why = std::move(reason);
    return false;
  }
  bool FailWithErrno(std::string_view context, int error) {
    return Fail(PosixError(context, error));
  }
};

// Creates the directory with every missing one above it; an empty name is
// the working directory, which exists.
bool EnsureDirectory(const std::string& directory) {
  return directory.empty() || DirectoryExists(directory) ||
         MakeDirectoryPath(directory);
}

bool RestoreFile(const std::string& path, std::string_view content,
                 Step* step) {
  const std::string directory = ExtractPathPart(path);
  step->message = "Unable to create directory " + directory;
  if (!EnsureDirectory(directory)) {
    return false;
  }
  // Written beside the file and renamed over it, so a failure leaves the
  // file as it was instead of half written.
  const std::unique_ptr<FileReplacement> replacement =
      CurrentFileSystem().NewReplacement();
  step->message = "Unable to create file " + path;
  if (!replacement->Begin(path, &step->why)) {
    return false;
  }
  step->message = "Unable to write to file " + path;
  return replacement->Write(content, &step->why) &&
         replacement->Commit(&step->why);
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

bool DeletePath(const std::string& path, std::string_view nearest, Step* step) {
  if (LastCharacter(path) == '/') {
    step->message = "Unable to delete directory " + path;
    if (DirectoryExists(path) && !DeleteDirectoryTree(path)) {
      return false;
    }
    return RemoveCreatedParents(
        ExtractPathPart(std::string_view(path).substr(0, path.size() - 1)),
        nearest);
  }
  step->message = "Unable to delete file " + path;
  if (int error = 0;
      FileExists(path) && !DeleteFile(path, &error) && error != ENOENT) {
    return step->FailWithErrno("cannot delete " + path, error);
  }
  return RemoveCreatedParents(ExtractPathPart(path), nearest);
}

bool RestoreRecord(const TFASTMEMLIST& backup, uint64_t first, Step* step) {
  const std::string path = backup.Get(first + kBackupPath);
  const bool existed =
      static_cast<uint8_t>(backup.View(first + kBackupState)[0]) ==
      kStateExisted;
  if (!existed) {
    return DeletePath(path, backup.View(first + kBackupNearestDirectory), step);
  }
  if (LastCharacter(path) == '/') {
    step->message = "Unable to create directory " + path;
    return EnsureDirectory(path);
  }
  return RestoreFile(path, backup.View(first + kBackupContent), step);
}

}  // namespace

std::string RestoreBackup(const std::string& backup_file_name,
                          std::string* err) {
  Step step;
  step.message = "Unable to read from file \"" + backup_file_name + "\"";
  // A failure raised out of a step (a directory that stays after it was
  // emptied, say) ends the operation with that step's message.
  bool restored = true;
  try {
    TFASTMEMLIST backup;
    restored = LoadBackupFile(backup_file_name, &backup, &step.why);
    for (uint64_t i = 0; restored && i < backup.Count();
         i += kBackupRecordItemCount) {
      restored = RestoreRecord(backup, i, &step);
    }
  } catch (const std::exception& failure) {
    restored = step.Fail(failure.what());
  }
  if (restored) {
    return std::string();
  }
  if (err != nullptr) {
    *err = std::move(step.why);
  }
  return step.message;
}
