#include "services/file_services.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "services/failure.h"
#include "services/path_parts.h"
#include "services/posix_error.h"
#include "services/string_utils.h"
#include "services/system_path.h"

namespace {

std::string WithTrailingSlash(std::string path) {
  if (LastCharacter(path) != '/') {
    path += '/';
  }
  return path;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Whether the path, with its final "/" dropped, names "/" itself ("/",
// "//", "/.", "/.." ...); a link to it does not.
bool IsRootDirectory(const std::string& path) {
  FileSystem& fs = CurrentFileSystem();
  const FileInfo root = fs.Stat("/", FollowLinks::kNo);
  const FileInfo info = fs.Stat(path, FollowLinks::kNo);
  return root.exists() && info.exists() && info.device == root.device &&
         info.inode == root.inode;
}

FileInfo StatFollowingLinks(const std::string& path) {
  return PathInfo(path, FollowLinks::kYes);
}

}  // namespace

DirectoryRead ReadDirectory(const std::string& directory,
                            std::vector<DirectoryEntry>* entries) {
  if (!UsablePath(directory)) {
    return DirectoryRead::kCannotOpen;
  }
  return CurrentFileSystem().ReadDirectory(directory, entries);
}

bool ReadFile(const std::string& file_name, std::string* out,
              std::string* err) {
  out->clear();
  if (!UsablePath(file_name, err)) {
    return false;
  }
  int error = 0;
  const std::unique_ptr<OpenedFile> file =
      CurrentFileSystem().Open(file_name, &error);
  if (file == nullptr) {
    if (err != nullptr) {
      *err = PosixError("cannot open", error);
    }
    return false;
  }
  out->assign(file->bytes().get(), file->size());
  return true;
}

bool ReadWholeFile(const std::string& file_name, std::string* out,
                   std::string* err) {
  out->clear();
  if (!UsablePath(file_name, err)) {
    return false;
  }
  int error = 0;
  switch (CurrentFileSystem().ReadToEnd(file_name, out, &error)) {
    case StreamRead::kOk:
      return true;
    case StreamRead::kCannotOpen:
      *err = PosixError("cannot open", error);
      return false;
    case StreamRead::kCannotRead:
      *err = PosixError("cannot read", error);
      return false;
  }
  return false;
}

bool FileToString(const std::string& file_name, std::string* out) {
  return ReadFile(file_name, out, nullptr);
}

bool StringToFile(const std::string& file_name, std::string_view content,
                  std::string* err) {
  if (!UsablePath(file_name, err)) {
    return false;
  }
  std::string ignored;
  std::string* why = err != nullptr ? err : &ignored;
  const std::unique_ptr<FileReplacement> replacement =
      CurrentFileSystem().NewReplacement();
  return replacement->Begin(file_name, why) &&
         replacement->Write(content, why) && replacement->Commit(why);
}

bool CreateEmptyFile(const std::string& file_name) {
  if (!UsablePath(file_name)) {
    return false;
  }
  // Replacing by an empty string keeps the mode of an existing file and,
  // for a link, empties the file it points to instead of the link. The
  // directory is made when the file cannot be written without it.
  if (StringToFile(file_name, "")) {
    return true;
  }
  const std::string directory = SystemDirectoryPart(file_name);
  return !directory.empty() && !DirectoryExists(directory) &&
         MakeDirectoryPath(directory) && StringToFile(file_name, "");
}

bool ListDirectoryTree(const std::string& root, IncludeFiles include_files,
                       LineList* list) {
  list->Clear();
  if (root.empty() || !DirectoryExists(root)) {
    return false;
  }
  list->Add(WithTrailingSlash(root));
  bool result = true;
  // The list grows while it is walked: every directory added is visited in
  // turn, which makes the listing breadth-first. Levels come in order, so
  // the depth of an entry is one more than that of the directory it was
  // found in; the depths of the directories still to visit are queued.
  std::vector<size_t> depths = {1};
  size_t next_depth = 0;
  for (size_t i = 0; i < list->Count(); ++i) {
    const std::string directory = list->Get(i);
    if (LastCharacter(directory) != '/') {
      continue;
    }
    const size_t depth = depths[next_depth++];
    std::vector<DirectoryEntry> entries;
    if (ReadDirectory(directory, &entries) != DirectoryRead::kOk) {
      result = false;
    }
    for (const DirectoryEntry& entry : entries) {
      if (entry.is_directory) {
        if (depth == kMaxTreeDepth) {
          return false;
        }
        list->Add(directory + entry.name + "/");
        depths.push_back(depth + 1);
      } else if (include_files == IncludeFiles::kYes) {
        list->Add(directory + entry.name);
      }
    }
  }
  return result;
}

FileInfo PathInfo(const std::string& path, FollowLinks follow) {
  if (!UsablePath(path)) {
    return FileInfo();
  }
  return CurrentFileSystem().Stat(path, follow);
}

bool RenamePath(const std::string& from, const std::string& to) {
  return UsablePath(from) && UsablePath(to) &&
         CurrentFileSystem().Rename(from, to);
}

bool EnterDirectory(const std::string& directory, int* error) {
  if (!UsablePath(directory)) {
    *error = EINVAL;
    return false;
  }
  return CurrentFileSystem().ChangeWorkingDirectory(directory, error);
}

bool DeleteFile(const std::string& path, int* error) {
  if (!UsablePath(path)) {
    if (error != nullptr) {
      *error = EINVAL;
    }
    return false;
  }
  return CurrentFileSystem().RemoveFile(path, error);
}

bool DeleteFilesInDirectory(const std::string& directory) {
  if (!UsablePath(directory)) {
    return false;
  }
  const std::string prefix = WithTrailingSlash(directory);
  std::vector<DirectoryEntry> entries;
  switch (ReadDirectory(prefix, &entries)) {
    case DirectoryRead::kCannotOpen:
      return true;  // nothing there to delete
    case DirectoryRead::kCannotRead:
      return false;
    case DirectoryRead::kOk:
      break;
  }
  for (const DirectoryEntry& entry : entries) {
    if (entry.is_directory) {
      continue;
    }
    int error = 0;
    if (!CurrentFileSystem().RemoveFile(prefix + entry.name, &error) &&
        error != ENOENT) {
      return false;
    }
  }
  return true;
}

bool DeleteDirectoryTree(const std::string& root) {
  if (!UsablePath(root)) {
    return false;
  }
  // A root that is a link, with or without a trailing "/", loses only the
  // link; the directory it points to is not part of the tree.
  std::string bare = root;
  while (bare.size() > 1 && bare.back() == '/') {
    bare.pop_back();
  }
  FileSystem& fs = CurrentFileSystem();
  if (!bare.empty() &&
      fs.Stat(bare, FollowLinks::kNo).type == FileType::kLink) {
    return fs.RemoveFile(bare);
  }
  // A path built from an empty macro must not wipe the system.
  if (IsRootDirectory(bare)) {
    return false;
  }
  LineList directories;
  if (!ListDirectoryTree(root, IncludeFiles::kNo, &directories)) {
    return false;
  }
  // Deepest directories are listed last, so walking backwards empties every
  // directory before its parent; the root goes last.
  for (size_t i = directories.Count(); i-- > 0;) {
    const std::string& directory = directories.Get(i);
    if (!DeleteFilesInDirectory(directory)) {
      return false;
    }
    int error = 0;
    if (!fs.RemoveDirectory(directory, &error)) {
      throw Failure(PosixError("cannot remove directory " + directory, error));
    }
  }
  return true;
}

std::string NearestExistingDirectory(std::string_view path) {
  if (!UsablePath(path)) {
    return std::string();
  }
  std::string current = Trim(path);
  if (LastCharacter(current) != '/') {
    current = ExtractPathPart(current);
  }
  // Each pass tests the directory, then climbs to its parent. The root "/"
  // is tested too before the search gives up.
  while (!current.empty()) {
    if (DirectoryExists(current)) {
      return WithTrailingSlash(current);
    }
    if (IsSeparator(current.back())) {
      current.pop_back();
    }
    current = ExtractPathPart(current);
  }
  return std::string();
}

std::string ExtractPathPart(std::string_view path) {
  const size_t separator = path.find_last_of("/\\");
  if (separator == std::string_view::npos) {
    return std::string();
  }
  return std::string(path.substr(0, separator + 1));
}

char LastCharacter(std::string_view text) {
  return text.empty() ? '\0' : text.back();
}

bool CopyPermissions(const std::string& source, const std::string& target) {
  if (!UsablePath(source) || !UsablePath(target)) {
    return false;
  }
  FileSystem& fs = CurrentFileSystem();
  const FileInfo from = fs.Stat(source, FollowLinks::kYes);
  return from.exists() && fs.Stat(target, FollowLinks::kYes).exists() &&
         fs.SetMode(target, from.mode);
}

bool AssureExecutePermissions(const std::string& file_name) {
  if (!UsablePath(file_name)) {
    return false;
  }
  FileSystem& fs = CurrentFileSystem();
  const FileInfo info = fs.Stat(file_name, FollowLinks::kYes);
  return fs.SetMode(file_name, info.exists() ? info.mode | 0755 : 0755);
}

std::string DefaultExecutableExtension() { return std::string(); }
std::string DefaultScriptExtension() { return ".sh"; }
std::string DefaultLibraryExtension() { return ".so"; }

bool PathExists(const std::string& path) {
  return StatFollowingLinks(path).exists();
}

bool DirectoryExists(const std::string& path) {
  return StatFollowingLinks(path).type == FileType::kDirectory;
}

bool FileExists(const std::string& path) {
  const FileType type = StatFollowingLinks(path).type;
  return type != FileType::kNone && type != FileType::kDirectory;
}

bool RegularFileExists(const std::string& path) {
  return StatFollowingLinks(path).type == FileType::kRegular;
}

bool MakeDirectoryPath(const std::string& path) {
  if (path.empty() || !UsablePath(path)) {
    return false;
  }
  if (DirectoryExists(path)) {
    return true;
  }
  // Creates every prefix that ends before a "/", then the whole path. A
  // prefix that exists already fails harmlessly; any other failure shows in
  // the final test.
  size_t slash = path.find('/', 1);
  for (;;) {
    const std::string prefix = path.substr(0, slash);
    if (prefix.back() != '/') {
      CurrentFileSystem().MakeDirectory(prefix);
    }
    if (slash == std::string::npos) {
      break;
    }
    slash = path.find('/', slash + 1);
  }
  return DirectoryExists(path);
}
