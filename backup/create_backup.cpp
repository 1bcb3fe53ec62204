#include "backup/create_backup.h"

#include <exception>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "backup/backup_records.h"
#include "backup/backup_rotation.h"
#include "engine/level_kinds.h"
#include "engine/macros.h"
#include "engine/separators.h"
#include "fastmemlist/list_view.h"
#include "package/level_record.h"
#include "services/file_services.h"
#include "services/file_system.h"
#include "services/handle_io.h"
#include "services/string_utils.h"
#include "services/system_path.h"

namespace {

// A target is an operation, a separator and a path of at least one byte.
constexpr size_t kShortestTarget = 3;

// Appends the targets of one (expanded and converted) level, as the
// kind table gives them.
void AddLevelTargets(std::string_view record, LineList* targets) {
  LevelView level;
  DecodeLevel(record, &level);
  for (const LevelTarget& target : LevelTargets(level)) {
    targets->Add(target.Text());
  }
}

// The step in force: its report line, and the system's reason when a step
// fails and the system gave one.
struct Step {
  std::string message;
  std::string why;
};

// Appends one record for `path`; false, with the step set, when the file
// cannot be read.
bool RecordPath(const std::string& path, TFASTMEMLIST* backup, Step* step) {
  // The system would read such a path cut short: no record for it could
  // ever be restored.
  step->message = "Unable to read file: " + path;
  if (!UsablePath(path, &step->why)) {
    return false;
  }
  const std::string nearest = NearestExistingDirectory(path);
  if (LastCharacter(path) == '/') {
    AddBackupRecord(
        backup,
        DirectoryExists(path) ? PathState::kExisted : PathState::kAbsent, path,
        nearest, "");
    return true;
  }
  if (!FileExists(path)) {
    AddBackupRecord(backup, PathState::kAbsent, path, nearest, "");
    return true;
  }
  // A pipe, socket or device has no content to keep, and reading one could
  // wait or run forever.
  std::string content;
  if (!RegularFileExists(path)) {
    step->why = path + ": not a regular file";
    return false;
  }
  if (!ReadFile(path, &content, &step->why)) {
    step->why = path + ": " + step->why;
    return false;
  }
  AddBackupRecord(backup, PathState::kExisted, path, nearest, content);
  return true;
}

// Records one target: the path it names, or, for the removal of a
// directory, the directory and everything below it.
bool RecordTarget(std::string_view target, TFASTMEMLIST* backup, Step* step) {
  if (target.size() < kShortestTarget) {
    return true;
  }
  const std::string path(target.substr(2));
  LineList paths;
  if (target[0] == '-' && LastCharacter(path) == '/') {
    if (!ListDirectoryTree(path, IncludeFiles::kYes, &paths)) {
      step->message = "Unable to read directoy content: " + path;
      return false;
    }
  } else {
    paths.Add(path);
  }
  for (const std::string& entry : paths) {
    if (!RecordPath(entry, backup, step)) {
      return false;
    }
  }
  return true;
}

// Writes the backup file whole; the backups that stood there before move
// one place on (see backup_rotation.h), and only once the new content is
// written, so that a failure leaves them all where they were.
bool SaveBackupFile(const std::string& file_name, std::string_view content,
                    std::string* err, KeptBackup* kept) {
  if (!UsablePath(file_name, err)) {
    return false;
  }
  const std::unique_ptr<FileReplacement> replacement =
      CurrentFileSystem().NewReplacement();
  if (!replacement->Begin(file_name, err) ||
      !replacement->Write(content, err)) {
    return false;
  }
  BackupRotation rotation(file_name);
  if (!rotation.MakeRoom(err)) {
    replacement->Discard();
    return false;
  }
  if (!replacement->Commit(err)) {
    rotation.Undo();
    return false;
  }
  rotation.Finish();
  if (kept != nullptr) {
    kept->earlier = rotation.kept_as();
    kept->dropped_oldest = rotation.dropped_oldest();
  }
  return true;
}

}  // namespace

LineList CollectBackupTargets(const TFASTMEMLIST& levels,
                              const TSETTINGSBLOCK& settings,
                              bool convert_separators) {
  TFASTMEMLIST copy = levels;
  TFASTMEMLIST macros;
  if (!settings.macros.empty()) {
    macros.LoadFromData(settings.macros);  // malformed data: no macros
  }
  ExpandMacrosOnce(&copy, macros, -1, CaseSensitive::kYes);
  LineList targets;
  std::unordered_set<std::string> seen;
  LineList level_targets;
  for (uint64_t i = 0; i < copy.Count(); ++i) {
    std::string_view record = copy.View(i);
    std::string converted;
    if (convert_separators) {
      TFASTMEMLIST level;
      level.LoadFromData(record);
      ConvertSeparators(&level, "", "/");
      converted = level.SaveToString();
      record = converted;
    }
    level_targets.Clear();
    AddLevelTargets(record, &level_targets);
    for (std::string& target : level_targets.lines()) {
      if (seen.insert(target).second) {
        targets.Add(std::move(target));
      }
    }
  }
  return targets;
}

std::string CreateBackup(const TFASTMEMLIST& levels,
                         const TSETTINGSBLOCK& settings,
                         const std::string& backup_file_name,
                         bool convert_separators, std::string* err,
                         KeptBackup* kept) {
  // A failure raised out of a step (a file too large to hold, say) ends
  // the operation with the step's message, as a failed result does.
  Step step;
  bool saved = true;
  try {
    const LineList targets =
        CollectBackupTargets(levels, settings, convert_separators);
    TFASTMEMLIST backup;
    for (size_t i = 0; saved && i < targets.Count(); ++i) {
      saved = RecordTarget(targets.Get(i), &backup, &step);
    }
    if (saved) {
      step.message = "Unable to save content in " + backup_file_name;
      saved = SaveBackupFile(backup_file_name, backup.SaveToString(), &step.why,
                             kept);
    }
  } catch (const std::exception& failure) {
    if (step.message.empty()) {
      throw;  // no step of its own failed: not a backup failure
    }
    step.why = failure.what();
    saved = false;
  }
  if (saved) {
    return std::string();
  }
  if (err != nullptr) {
    *err = std::move(step.why);
  }
  return step.message;
}
