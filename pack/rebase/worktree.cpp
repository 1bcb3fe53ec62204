#include "pack/rebase/worktree.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "services/file_services.h"
#include "services/posix_error.h"

namespace {

bool Fail(std::string* why, const std::string& what, int error) {
  *why = PosixError(what, error);
  return false;
}

// The names in a directory, or false.
bool Names(const std::string& directory, std::set<std::string>* names) {
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) {
    return false;
  }
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") {
      names->insert(name);
    }
  }
  ::closedir(dir);
  return true;
}

bool CopyFile(const std::string& from, const std::string& to, mode_t mode,
              std::string* why) {
  std::string content;
  if (!FileToString(from, &content)) {
    return Fail(why, "cannot read " + from, errno);
  }
  if (!StringToFile(to, content, why) ||
      ::chmod(to.c_str(), mode & 07777) != 0) {
    if (why->empty()) {
      *why = PosixError("cannot write " + to, errno);
    }
    return false;
  }
  return true;
}

// Copies what stands below `from` into the existing directory `to`.
bool CopyTree(const std::string& from, const std::string& to,
              std::string* why) {
  std::set<std::string> names;
  if (!Names(from, &names)) {
    return Fail(why, "cannot read the directory " + from, errno);
  }
  for (const std::string& name : names) {
    const std::string source = from + "/" + name;
    const std::string target = to + "/" + name;
    struct stat st;
    if (::lstat(source.c_str(), &st) != 0) {
      return Fail(why, "cannot read " + source, errno);
    }
    if (S_ISDIR(st.st_mode)) {
      if (::mkdir(target.c_str(), st.st_mode & 07777) != 0) {
        return Fail(why, "cannot make " + target, errno);
      }
      if (!CopyTree(source, target, why)) {
        return false;
      }
    } else if (S_ISLNK(st.st_mode)) {
      std::string link(static_cast<size_t>(st.st_size) + 1, '\0');
      const ssize_t size = ::readlink(source.c_str(), link.data(), link.size());
      if (size < 0) {
        return Fail(why, "cannot read the link " + source, errno);
      }
      link.resize(static_cast<size_t>(size));
      if (::symlink(link.c_str(), target.c_str()) != 0) {
        return Fail(why, "cannot make the link " + target, errno);
      }
    } else if (S_ISREG(st.st_mode)) {
      if (!CopyFile(source, target, st.st_mode, why)) {
        return false;
      }
    }
  }
  return true;
}

bool RemoveTree(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) {
    return errno == ENOENT;
  }
  if (!S_ISDIR(st.st_mode)) {
    return ::unlink(path.c_str()) == 0;
  }
  std::set<std::string> names;
  if (!Names(path, &names)) {
    return false;
  }
  for (const std::string& name : names) {
    if (!RemoveTree(path + "/" + name)) {
      return false;
    }
  }
  return ::rmdir(path.c_str()) == 0;
}

}  // namespace

bool WriteWorktree(const std::string& onto_root,
                   const std::vector<OverlayChange>& changes,
                   const std::string& directory, std::string* why) {
  std::set<std::string> present;
  if (Names(directory, &present)) {
    if (!present.empty()) {
      *why = directory + ": the work tree must be a new or empty directory";
      return false;
    }
  } else if (!MakeDirectoryPath(directory)) {
    return Fail(why, "cannot make " + directory, errno);
  }
  std::string root = onto_root;
  if (root.size() > 1 && root.ends_with('/')) {
    root.pop_back();
  }
  if (!CopyTree(root, directory, why)) {
    return false;
  }
  for (const OverlayChange& change : changes) {
    const std::string target = directory + "/" + change.path;
    bool ok = true;
    switch (change.kind) {
      case OverlayChange::Kind::kFileModified:
      case OverlayChange::Kind::kFileCreated:
        ok = change.type == FileType::kLink
                 ? ::unlink(target.c_str()) == 0 || errno == ENOENT
                 : StringToFile(target, change.after, why);
        if (ok && change.type == FileType::kLink) {
          ok = ::symlink(change.after.c_str(), target.c_str()) == 0;
        }
        break;
      case OverlayChange::Kind::kFileRemoved:
      case OverlayChange::Kind::kDirectoryRemoved:
        ok = RemoveTree(target);
        break;
      case OverlayChange::Kind::kDirectoryCreated:
        ok = MakeDirectoryPath(target);
        break;
      case OverlayChange::Kind::kModeChanged:
        ok = ::chmod(target.c_str(), change.mode_after & 07777) == 0;
        break;
    }
    if (!ok) {
      if (why->empty()) {
        *why = PosixError("cannot write " + target, errno);
      }
      return false;
    }
  }
  return true;
}
