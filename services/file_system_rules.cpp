#include "services/file_system_rules.h"

#include <sys/stat.h>

#include <cerrno>
#include <utility>

#include "services/posix_error.h"
#include "services/system_path.h"

namespace {

// The system's own limit on links followed while resolving one name.
constexpr int kMaxLinkHops = 40;

bool Fail(std::string* err, std::string_view context, int error) {
  if (err != nullptr) {
    *err = PosixError(context, error);
  }
  return false;
}

bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

mode_t ProcessUmask() {
  static const mode_t mask = [] {
    const mode_t current = ::umask(0);
    ::umask(current);
    return current;
  }();
  return mask;
}

bool ResolveReplacementTarget(FileSystem& file_system, const std::string& name,
                              std::string* resolved, FileInfo* info,
                              std::string* err) {
  if (name.empty()) {
    return Fail(err, "cannot write a file without a name", ENOENT);
  }
  if (!UsablePath(name, err)) {
    return false;
  }
  std::string path = name;
  for (int hops = 0;; ++hops) {
    int error = 0;
    *info = file_system.Stat(path, FollowLinks::kNo, &error);
    if (!info->exists()) {
      if (error != ENOENT) {
        return Fail(err, "cannot examine " + path, error);
      }
      break;
    }
    if (info->type != FileType::kLink) {
      break;
    }
    if (hops == kMaxLinkHops) {
      return Fail(err, "cannot resolve " + name, ELOOP);
    }
    std::string target;
    if (!file_system.ReadLink(path, &target, &error)) {
      return Fail(err, "cannot read link " + path, error);
    }
    // A relative link target counts from the directory holding the link.
    path = !target.empty() && target[0] == '/'
               ? target
               : SystemDirectoryPart(path) + target;
  }
  *resolved = std::move(path);
  if (info->type == FileType::kDirectory) {
    return Fail(err, "cannot write " + *resolved, EISDIR);
  }
  if (info->exists() && info->type != FileType::kRegular) {
    if (err != nullptr) {
      *err = "cannot write " + *resolved +
             ": it is a device, pipe or socket, not a regular file";
    }
    return false;
  }
  return true;
}

bool StillWhatWasRead(const FileInfo& read, const FileInfo& now,
                      const FileInfo& at_name, std::string* err) {
  if (!now.exists() || !at_name.exists() || at_name.device != now.device ||
      at_name.inode != now.inode) {
    *err = "it was replaced by another file after it was read";
    return false;
  }
  if (now.size != read.size || !SameTime(now.modified, read.modified)) {
    *err = "another program changed it after it was read";
    return false;
  }
  return true;
}
