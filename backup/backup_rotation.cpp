#include "backup/backup_rotation.h"

#include "services/file_system.h"
#include "services/path_parts.h"
#include "services/posix_error.h"
#include "services/temporary_names.h"

namespace {

bool Move(const std::string& from, const std::string& to, std::string* err) {
  int error = 0;
  if (CurrentFileSystem().Rename(from, to, &error)) {
    return true;
  }
  *err = PosixError("cannot rename " + from + " to " + to, error);
  return false;
}

}  // namespace

std::string BackupRotation::Place(int place) const {
  return place == 0 ? newest_ : newest_ + "." + std::to_string(place);
}

bool BackupRotation::MakeRoom(std::string* err) {
  FileSystem& files = CurrentFileSystem();
  if (files.Stat(newest_, FollowLinks::kNo).type != FileType::kRegular) {
    return true;  // nothing to keep, or nothing that may move
  }
  int free_place = 1;
  while (free_place <= kKeptBackups &&
         files.Stat(Place(free_place), FollowLinks::kNo).exists()) {
    ++free_place;
  }
  if (free_place > kKeptBackups) {
    free_place = kKeptBackups;
    // A name that a sweep of leftovers takes away, should the run die.
    const std::string aside =
        SystemDirectoryPart(newest_) + ReplacementTemporaryName();
    if (!Move(Place(kKeptBackups), aside, err)) {
      return false;
    }
    set_aside_ = aside;
  }
  for (int place = free_place; place > 0; --place) {
    if (!Move(Place(place - 1), Place(place), err)) {
      Undo();
      return false;
    }
    moves_.emplace_back(Place(place - 1), Place(place));
  }
  kept_as_ = Place(1);
  return true;
}

void BackupRotation::Finish() {
  if (!set_aside_.empty()) {
    CurrentFileSystem().RemoveFile(set_aside_);
  }
}

void BackupRotation::Undo() {
  std::string ignored;
  for (auto move = moves_.rbegin(); move != moves_.rend(); ++move) {
    Move(move->second, move->first, &ignored);
  }
  moves_.clear();
  if (!set_aside_.empty()) {
    Move(set_aside_, Place(kKeptBackups), &ignored);
    set_aside_.clear();
  }
  kept_as_.clear();
}
