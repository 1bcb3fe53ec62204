#include "pack/rebase/worktree.h"

#include <cerrno>
#include <set>
#include <vector>

#include "services/file_services.h"
#include "services/file_system.h"
#include "services/file_system_rules.h"
#include "services/posix_error.h"

namespace {

bool Fail(std::string* err, const std::string& what, int error) {
  *err = PosixError(what, error);
  return false;
}

// The names in a directory, or false.
bool Names(const std::string& directory, std::set<std::string>* names) {
  std::vector<DirectoryEntry> entries;
  if (ReadDirectory(directory + "/", &entries) != DirectoryRead::kOk) {
    return false;
  }
  for (DirectoryEntry& entry : entries) {
    names->insert(std::move(entry.name));
  }
  return true;
}

bool CopyFile(const std::string& from, const std::string& to, mode_t mode,
              std::string* err) {
  std::string content;
  if (!FileToString(from, &content)) {
    return Fail(err, "cannot read " + from, errno);
  }
  int error = 0;
  if (!StringToFile(to, content, err) ||
      !CurrentFileSystem().SetMode(to, mode & 07777, &error)) {
    if (err->empty()) {
      *err = PosixError("cannot write " + to, error);
    }
    return false;
  }
  return true;
}

// Copies what stands below `from` into the existing directory `to`.
bool CopyTree(const std::string& from, const std::string& to,
              std::string* err) {
  FileSystem& files = CurrentFileSystem();
  std::set<std::string> names;
  if (!Names(from, &names)) {
    return Fail(err, "cannot read the directory " + from, errno);
  }
  for (const std::string& name : names) {
    const std::string source = from + "/" + name;
    const std::string target = to + "/" + name;
    int error = 0;
    const FileInfo info = files.Stat(source, FollowLinks::kNo, &error);
    if (!info.exists()) {
      return Fail(err, "cannot read " + source, error);
    }
    if (info.type == FileType::kDirectory) {
      // As mkdir with the source's mode would make it: less the umask.
      if (!files.MakeDirectory(target, &error) ||
          !files.SetMode(target, info.mode & 01777 & ~ProcessUmask(), &error)) {
        return Fail(err, "cannot make " + target, error);
      }
      if (!CopyTree(source, target, err)) {
        return false;
      }
    } else if (info.type == FileType::kLink) {
      std::string link;
      if (!files.ReadLink(source, &link, &error)) {
        return Fail(err, "cannot read the link " + source, error);
      }
      if (!files.MakeLink(link, target, &error)) {
        return Fail(err, "cannot make the link " + target, error);
      }
    } else if (info.type == FileType::kRegular) {
      if (!CopyFile(source, target, info.mode, err)) {
        return false;
      }
    }
  }
  return true;
}

bool RemoveTree(const std::string& path) {
  FileSystem& files = CurrentFileSystem();
  int error = 0;
  const FileInfo info = files.Stat(path, FollowLinks::kNo, &error);
  if (!info.exists()) {
    return error == ENOENT;
  }
  if (info.type != FileType::kDirectory) {
    return files.RemoveFile(path);
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
  return files.RemoveDirectory(path);
}

}  // namespace

bool WriteWorktree(const std::string& onto_root,
                   const std::vector<OverlayChange>& changes,
                   const std::string& directory, std::string* err) {
  std::set<std::string> present;
  if (Names(directory, &present)) {
    if (!present.empty()) {
      *err = directory + ": the work tree must be a new or empty directory";
      return false;
    }
  } else if (!MakeDirectoryPath(directory)) {
    return Fail(err, "cannot make " + directory, errno);
  }
  std::string root = onto_root;
  if (root.size() > 1 && root.ends_with('/')) {
    root.pop_back();
  }
  if (!CopyTree(root, directory, err)) {
    return false;
  }
  FileSystem& files = CurrentFileSystem();
  for (const OverlayChange& change : changes) {
    const std::string target = directory + "/" + change.path;
    bool ok = true;
    int error = 0;
    switch (change.kind) {
      case OverlayChange::Kind::kFileModified:
      case OverlayChange::Kind::kFileCreated:
        ok = change.type == FileType::kLink
                 ? files.RemoveFile(target, &error) || error == ENOENT
                 : StringToFile(target, change.after, err);
        if (ok && change.type == FileType::kLink) {
          ok = files.MakeLink(change.after, target, &error);
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
        ok = files.SetMode(target, change.mode_after & 07777, &error);
        break;
    }
    if (!ok) {
      if (err->empty()) {
        *err = PosixError("cannot write " + target, error != 0 ? error : errno);
      }
      return false;
    }
  }
  return true;
}
