#include "services/file_services.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <utility>
#include <vector>

#include "services/failure.h"
#include "services/file_replacement.h"
#include "services/handle_io.h"
#include "services/path_parts.h"
#include "services/posix_error.h"
#include "services/string_utils.h"
#include "services/system_path.h"
#include "services/unique_fd.h"

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

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
  struct stat root;
  struct stat st;
  return ::lstat("/", &root) == 0 && ::lstat(path.c_str(), &st) == 0 &&
         st.st_dev == root.st_dev && st.st_ino == root.st_ino;
}

}  // namespace

DirectoryRead ReadDirectory(const std::string& directory,
                            std::vector<DirectoryEntry>* entries) {
  if (!UsablePath(directory)) {
    return DirectoryRead::kCannotOpen;
  }
  UniqueDir dir(::opendir(directory.empty() ? "./" : directory.c_str()));
  if (dir == nullptr) {
    return DirectoryRead::kCannotOpen;
  }
  for (;;) {
    errno = 0;
    const struct dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) {
      return errno == 0 ? DirectoryRead::kOk : DirectoryRead::kCannotRead;
    }
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") {
      continue;
    }
    bool is_directory = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      // Some file systems do not fill in the type.
      struct stat st;
      is_directory = ::lstat((directory + entry->d_name).c_str(), &st) == 0 &&
                     S_ISDIR(st.st_mode);
    }
    entries->push_back({std::string(name), is_directory});
  }
}

bool FileToString(const std::string& file_name, std::string* out) {
  std::string err;
  return ReadWholeFile(file_name, out, &err);
}

bool StringToFile(const std::string& file_name, std::string_view content,
                  std::string* err) {
  if (!UsablePath(file_name, err)) {
    return false;
  }
  PosixFileReplacement replacement;
  return replacement.Begin(file_name, err) && replacement.Write(content, err) &&
         replacement.Commit(err);
}

bool CreateEmptyFile(const std::string& file_name) {
  if (!UsablePath(file_name)) {
    return false;
  }
  const std::string directory = SystemDirectoryPart(file_name);
  if (!directory.empty() && !MakeDirectoryPath(directory)) {
    return false;
  }
  // Replacing by an empty string keeps the mode of an existing file and,
  // for a link, empties the file it points to instead of the link.
  return StringToFile(file_name, "");
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
    if (::unlink((prefix + entry.name).c_str()) != 0 && errno != ENOENT) {
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
  struct stat st;
  if (!bare.empty() && ::lstat(bare.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    return ::unlink(bare.c_str()) == 0;
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
    if (::rmdir(directory.c_str()) != 0) {
      throw Failure(PosixError("cannot remove directory " + directory, errno));
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
  struct stat source_st;
  struct stat target_st;
  if (::stat(source.c_str(), &source_st) != 0 ||
      ::stat(target.c_str(), &target_st) != 0) {
    return false;
  }
  return ::chmod(target.c_str(), source_st.st_mode & 07777) == 0;
}

bool AssureExecutePermissions(const std::string& file_name) {
  if (!UsablePath(file_name)) {
    return false;
  }
  struct stat st;
  const mode_t mode =
      ::stat(file_name.c_str(), &st) == 0 ? (st.st_mode & 07777) | 0755 : 0755;
  return ::chmod(file_name.c_str(), mode) == 0;
}

std::string DefaultExecutableExtension() { return std::string(); }
std::string DefaultScriptExtension() { return ".sh"; }
std::string DefaultLibraryExtension() { return ".so"; }

bool PathExists(const std::string& path) {
  struct stat st;
  return UsablePath(path) && ::stat(path.c_str(), &st) == 0;
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return UsablePath(path) && ::stat(path.c_str(), &st) == 0 &&
         S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return UsablePath(path) && ::stat(path.c_str(), &st) == 0 &&
         !S_ISDIR(st.st_mode);
}

bool RegularFileExists(const std::string& path) {
  struct stat st;
  return UsablePath(path) && ::stat(path.c_str(), &st) == 0 &&
         S_ISREG(st.st_mode);
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
      ::mkdir(prefix.c_str(), 0777);
    }
    if (slash == std::string::npos) {
      break;
    }
    slash = path.find('/', slash + 1);
  }
  return DirectoryExists(path);
}
