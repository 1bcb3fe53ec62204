#include "services/stale_temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <ctime>
#include <memory>
#include <set>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "services/file_system_rules.h"
#include "services/temporary_names.h"
#include "services/unique_fd.h"

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

UniqueFd OpenDirectory(const std::string& directory) {
  if (HoldsNul(directory)) {
    return UniqueFd();
  }
  return UniqueFd(::open(directory.empty() ? "." : directory.c_str(),
                         O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// The names in the directory that have the temporary files' form. Read
// whole before anything is removed, since removing entries while the
// directory is read may hide others.
std::vector<std::string> TemporaryNamesIn(int directory_fd) {
  std::vector<std::string> names;
  UniqueDir dir(::fdopendir(::dup(directory_fd)));
  if (dir == nullptr) {
    return names;
  }
  ::rewinddir(dir.get());
  while (const struct dirent* entry = ::readdir(dir.get())) {
    if (IsReplacementTemporaryName(entry->d_name)) {
      names.emplace_back(entry->d_name);
    }
  }
  return names;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes `name` from the directory when it is a plain file that no
// process holds and that has not been written since `stale_before`.
void RemoveWhenStale(int directory_fd, const std::string& name,
                     time_t stale_before) {
  // Never waits (on a pipe that took the name) and never follows a link.
  UniqueFd fd(::openat(directory_fd, name.c_str(),
                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat opened;
  if (!fd.valid() || ::fstat(fd.get(), &opened) != 0 ||
      !S_ISREG(opened.st_mode) || opened.st_mtim.tv_sec >= stale_before ||
      ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    return;
  }
  // The name may have passed to another file since it was opened.
  struct stat at_name;
  if (::fstatat(directory_fd, name.c_str(), &at_name, AT_SYMLINK_NOFOLLOW) ==
          0 &&
      SameFile(opened, at_name)) {
    ::unlinkat(directory_fd, name.c_str(), 0);
  }
}

void RemoveStaleIn(int directory_fd) {
  const std::vector<std::string> names = TemporaryNamesIn(directory_fd);
  if (names.empty()) {
    return;
  }
  const time_t stale_before = std::time(nullptr) - kStaleTemporarySeconds;
  for (const std::string& name : names) {
    RemoveWhenStale(directory_fd, name, stale_before);
  }
}

}  // namespace

void RemoveStaleTemporaries(const std::string& directory) {
  const UniqueFd fd = OpenDirectory(directory);
  if (fd.valid()) {
    RemoveStaleIn(fd.get());
  }
}

void RemoveStaleTemporariesOnce(const std::string& directory) {
  // A directory is known by its device and inode, so that every name of it
  // counts, also after the working directory changed. One run is one
  // thread.
  static std::set<std::pair<dev_t, ino_t>> swept;
  // A name met before is not even opened again: a run writes many files
  // into one directory.
  static std::unordered_set<std::string> names_seen;
  if (!names_seen.insert(directory).second) {
    return;
  }
  const UniqueFd fd = OpenDirectory(directory);
  struct stat st;
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0 ||
      !swept.emplace(st.st_dev, st.st_ino).second) {
    return;
  }
  RemoveStaleIn(fd.get());
}
