#include "services/working_directory.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "services/failure.h"
#include "services/posix_error.h"
#include "services/system_path.h"

std::string WorkingDirectoryPath() {
  char path[PATH_MAX];
  return ::getcwd(path, sizeof path) != nullptr ? path : std::string();
}

WorkingDirectoryChange::~WorkingDirectoryChange() {
  if (left_.valid()) {
    [[maybe_unused]] const int ignored = ::fchdir(left_.get());
  }
}

bool WorkingDirectoryChange::Enter(const std::string& directory) {
  if (!UsablePath(directory)) {
    return false;
  }
  if (!left_.valid()) {
    left_.reset(::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!left_.valid()) {
      return false;
    }
  }
  return ::chdir(directory.c_str()) == 0;
}

void WorkingDirectoryChange::Restore() {
  if (!left_.valid()) {
    return;
  }
  const int result = ::fchdir(left_.get());
  const int error = errno;
  left_.reset();
  if (result != 0) {
    throw Failure(PosixError("cannot return to the working directory", error));
  }
}
