#include "services/working_directory.h"

#include "services/failure.h"
#include "services/file_system.h"
#include "services/posix_error.h"
#include "services/system_path.h"

std::string WorkingDirectoryPath() {
  return CurrentFileSystem().WorkingDirectory();
}

WorkingDirectoryChange::~WorkingDirectoryChange() {
  if (left_ >= 0) {
    CurrentFileSystem().ReturnTo(left_);
    CurrentFileSystem().ForgetMark(left_);
  }
}

bool WorkingDirectoryChange::Enter(const std::string& directory) {
  if (!UsablePath(directory)) {
    return false;
  }
  FileSystem& fs = CurrentFileSystem();
  if (left_ < 0) {
    left_ = fs.MarkWorkingDirectory();
    if (left_ < 0) {
      return false;
    }
  }
  return fs.ChangeWorkingDirectory(directory);
}

void WorkingDirectoryChange::Restore() {
  if (left_ < 0) {
    return;
  }
  FileSystem& fs = CurrentFileSystem();
  int error = 0;
  const bool returned = fs.ReturnTo(left_, &error);
  fs.ForgetMark(left_);
  left_ = -1;
  if (!returned) {
    throw Failure(PosixError("cannot return to the working directory", error));
  }
}
