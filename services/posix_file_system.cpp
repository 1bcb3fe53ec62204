#include "services/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

#include "services/file_replacement.h"
#include "services/file_system_rules.h"
#include "services/handle_io.h"
#include "services/memory_reuse.h"
#include "services/unique_fd.h"

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

FileSystem* current_file_system = nullptr;

// Stores the error, when the caller asked for it, and gives false.
bool Failed(int* error, int value) {
  if (error != nullptr) {
    *error = value;
  }
  return false;
}

// Refuses a path with a NUL byte (the system would read a shorter one);
// otherwise false, with nothing stored.
bool Refused(const std::string& path, int* error) {
  return HoldsNul(path) && !Failed(error, EINVAL);
}

FileInfo InfoFrom(const struct stat& st) {
  FileInfo info;
  info.type = S_ISREG(st.st_mode)   ? FileType::kRegular
              : S_ISDIR(st.st_mode) ? FileType::kDirectory
              : S_ISLNK(st.st_mode) ? FileType::kLink
                                    : FileType::kOther;
  info.mode = st.st_mode & 07777;
  info.size = static_cast<uint64_t>(st.st_size);
  info.device = st.st_dev;
  info.inode = st.st_ino;
  info.owner = st.st_uid;
  info.group = st.st_gid;
  info.modified = st.st_mtim;
  return info;
}

FileInfo InfoOf(int fd) {
  struct stat st;
  return ::fstat(fd, &st) == 0 ? InfoFrom(st) : FileInfo();
}

// Reads the file from the start: the `size` bytes it had when it was
// examined, in one call when it still has them. A file that changes
// meanwhile is told by the identity check before anything replaces it
// (StillThere). A file whose size says nothing (0, as the system's own
// files give it) is read to its end. The buffer is not cleared first: it
// is read into.
bool ReadAll(int fd, uint64_t size, std::unique_ptr<char[]>* bytes,
             uint64_t* length, int* error) {
  const uint64_t asked = size > 0 ? size : 1;
  auto buffer = std::make_unique_for_overwrite<char[]>(asked);
  PrefaultForWriting(buffer.get(), asked);
  const uint64_t got = ReadFromHandle(fd, buffer.get(), asked, error);
  if (*error != 0) {
    return false;
  }
  if (size > 0 || got == 0) {
    *bytes = std::move(buffer);
    *length = got;
    return true;
  }
  std::string more;
  if (!ReadWholeHandle(fd, &more, error)) {
    return false;
  }
  *length = got + more.size();
  *bytes = std::make_unique_for_overwrite<char[]>(*length);
  std::memcpy(bytes->get(), buffer.get(), got);
  std::memcpy(bytes->get() + got, more.data(), more.size());
  return true;
}

// A file read through its descriptor, which stays open so that the file's
// identity cannot pass to another file while the object lives.
class PosixOpenedFile : public OpenedFile {
 public:
  PosixOpenedFile(UniqueFd fd, const FileInfo& info,
                  std::unique_ptr<char[]> bytes, uint64_t size)
      : fd_(std::move(fd)) {
    info_ = info;
    bytes_ = std::move(bytes);
    size_ = size;
  }

  bool StillThere(const std::string& name, std::string* err) override {
    // One look at the name: when it leads to the file held open (whose
    // identity no other file can take meanwhile), what it shows is what
    // that file is now.
    int ignored = 0;
    const FileInfo at_name =
        SystemFileSystem().Stat(name, FollowLinks::kYes, &ignored);
    const bool held = at_name.exists() && at_name.device == info_.device &&
                      at_name.inode == info_.inode;
    return StillWhatWasRead(info_, held ? at_name : InfoOf(fd_.get()), at_name,
                            err);
  }

 private:
  UniqueFd fd_;
};

}  // namespace

FileInfo PosixFileSystem::Stat(const std::string& path, FollowLinks follow,
                               int* error) {
  struct stat st;
  if (Refused(path, error)) {
    return FileInfo();
  }
  const int result = follow == FollowLinks::kYes ? ::stat(path.c_str(), &st)
                                                 : ::lstat(path.c_str(), &st);
  if (result != 0) {
    Failed(error, errno);
    return FileInfo();
  }
  return InfoFrom(st);
}

bool PosixFileSystem::ReadLink(const std::string& path, std::string* target,
                               int* error) {
  if (Refused(path, error)) {
    return false;
  }
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (n < 0) {
      return Failed(error, errno);
    }
    if (static_cast<size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<size_t>(n));
      *target = std::move(buffer);
      return true;
    }
    buffer.resize(buffer.size() * 2);  // possibly truncated: try again
  }
}

DirectoryRead PosixFileSystem::ReadDirectory(
    const std::string& directory, std::vector<DirectoryEntry>* entries) {
  if (HoldsNul(directory)) {
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

std::unique_ptr<OpenedFile> PosixFileSystem::Open(const std::string& path,
                                                  int* error) {
  if (Refused(path, error)) {
    return nullptr;
  }
  // Opening never waits (a pipe without a writer would), and only a plain
  // file is read.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) {
    Failed(error, errno);
    return nullptr;
  }
  const FileInfo info = InfoOf(fd.get());
  if (info.type != FileType::kRegular) {
    Failed(error, !info.exists()                      ? errno
                  : info.type == FileType::kDirectory ? EISDIR
                                                      : EINVAL);
    return nullptr;
  }
  std::unique_ptr<char[]> bytes;
  uint64_t length = 0;
  int read_error = 0;
  if (!ReadAll(fd.get(), info.size, &bytes, &length, &read_error)) {
    Failed(error, read_error);
    return nullptr;
  }
  return std::make_unique<PosixOpenedFile>(std::move(fd), info,
                                           std::move(bytes), length);
}

std::unique_ptr<FileReplacement> PosixFileSystem::NewReplacement() {
  return std::make_unique<PosixFileReplacement>();
}

bool PosixFileSystem::MakeDirectory(const std::string& path, int* error) {
  return !Refused(path, error) &&
         (::mkdir(path.c_str(), 0777) == 0 || Failed(error, errno));
}

bool PosixFileSystem::MakeLink(const std::string& target,
                               const std::string& path, int* error) {
  return !Refused(path, error) && !Refused(target, error) &&
         (::symlink(target.c_str(), path.c_str()) == 0 || Failed(error, errno));
}

bool PosixFileSystem::RemoveFile(const std::string& path, int* error) {
  return !Refused(path, error) &&
         (::unlink(path.c_str()) == 0 || Failed(error, errno));
}

bool PosixFileSystem::RemoveDirectory(const std::string& path, int* error) {
  return !Refused(path, error) &&
         (::rmdir(path.c_str()) == 0 || Failed(error, errno));
}

bool PosixFileSystem::Rename(const std::string& from, const std::string& to,
                             int* error) {
  return !Refused(from, error) && !Refused(to, error) &&
         (::rename(from.c_str(), to.c_str()) == 0 || Failed(error, errno));
}

bool PosixFileSystem::SetMode(const std::string& path, mode_t mode,
                              int* error) {
  return !Refused(path, error) &&
         (::chmod(path.c_str(), mode & 07777) == 0 || Failed(error, errno));
}

std::string PosixFileSystem::WorkingDirectory() {
  // A path longer than the buffer makes getcwd fail with ERANGE: the
  // buffer then grows until the path fits.
  std::string path(PATH_MAX, '\0');
  for (;;) {
    if (::getcwd(path.data(), path.size()) != nullptr) {
      path.resize(std::strlen(path.c_str()));
      return path;
    }
    if (errno != ERANGE) {
      return std::string();
    }
    path.resize(path.size() * 2);
  }
}

bool PosixFileSystem::ChangeWorkingDirectory(const std::string& directory,
                                             int* error) {
  return !Refused(directory, error) &&
         (::chdir(directory.c_str()) == 0 || Failed(error, errno));
}

int PosixFileSystem::MarkWorkingDirectory(int* error) {
  const int fd = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    Failed(error, errno);
  }
  return fd;
}

bool PosixFileSystem::ReturnTo(int mark, int* error) {
  return ::fchdir(mark) == 0 || Failed(error, errno);
}

void PosixFileSystem::ForgetMark(int mark) {
  if (mark >= 0) {
    ::close(mark);
  }
}

StreamRead PosixFileSystem::ReadToEnd(const std::string& path, std::string* out,
                                      int* error) {
  out->clear();
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) {
    *error = errno;
    return StreamRead::kCannotOpen;
  }
  return ReadWholeHandle(fd.get(), out, error) ? StreamRead::kOk
                                               : StreamRead::kCannotRead;
}

StreamRead FileSystem::ReadToEnd(const std::string& path, std::string* out,
                                 int* error) {
  out->clear();
  const std::unique_ptr<OpenedFile> file = Open(path, error);
  if (file == nullptr) {
    return StreamRead::kCannotOpen;
  }
  out->assign(file->bytes().get(), file->size());
  return StreamRead::kOk;
}

FileSystem& SystemFileSystem() {
  static PosixFileSystem system;
  return system;
}

FileSystem& CurrentFileSystem() {
  return current_file_system != nullptr ? *current_file_system
                                        : SystemFileSystem();
}

ScopedFileSystem::ScopedFileSystem(FileSystem* file_system)
    : previous_(current_file_system) {
  current_file_system = file_system;
}

ScopedFileSystem::~ScopedFileSystem() { current_file_system = previous_; }
