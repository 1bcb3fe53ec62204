// The file system as the program sees it. Every file access of the level
// handlers, the requirements, the macro language's file and directory
// commands and the backup goes through the current FileSystem: the
// system's own (PosixFileSystem) unless a dry run installs another, such
// as an overlay that reads through to the system and keeps every change
// in memory. The interface is small; the file services build on it.
//
// Paths are byte strings; a relative path counts from the file system's
// working directory. A call reports failure by its result and an errno
// value (when it asks for one); nothing here prints.
#ifndef QRL_SERVICES_FILE_SYSTEM_H_
#define QRL_SERVICES_FILE_SYSTEM_H_

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class FileType : uint8_t { kNone, kRegular, kDirectory, kLink, kOther };
enum class FollowLinks { kNo, kYes };

// What stands at a path. kNone when nothing does, or when the path cannot
// be examined.
struct FileInfo {
  FileType type = FileType::kNone;
  mode_t mode = 0;  // the permission, set-ID and sticky bits
  uint64_t size = 0;
  dev_t device = 0;  // device and inode tell one file from every other
  ino_t inode = 0;
  uid_t owner = 0;
  gid_t group = 0;
  struct timespec modified = {};

  bool exists() const { return type != FileType::kNone; }
};

// One entry of a directory as the listing gives it; a symbolic link is
// never a directory here.
struct DirectoryEntry {
  std::string name;
  bool is_directory;
};

enum class DirectoryRead { kOk, kCannotOpen, kCannotRead };
enum class StreamRead { kOk, kCannotOpen, kCannotRead };

// A plain file read whole, and what it was when it was read. While the
// object lives the file system keeps hold of that file, so that its
// identity cannot pass to another file meanwhile.
class OpenedFile {
 public:
  virtual ~OpenedFile() = default;

  const FileInfo& info() const { return info_; }
  uint64_t size() const { return size_; }
  // The `size()` bytes, for the caller to keep as long as it likes. They
  // never change, and the file system may share them: an overlay hands
  // every reader of a file the one copy it holds.
  const std::shared_ptr<const char[]>& bytes() const { return bytes_; }

  // Whether the file is still what was read: `name` (links followed) still
  // leads to it and nobody changed it since. False otherwise, with *err
  // saying so in words that follow "cannot write NAME: ".
  virtual bool StillThere(const std::string& name, std::string* err) = 0;

 protected:
  FileInfo info_;
  std::shared_ptr<const char[]> bytes_;
  uint64_t size_ = 0;
};

// The atomic replacement of a file's content. Begin resolves the target
// (a symbolic link is followed, so the file it points to is replaced and
// the link stays). Then either Write the whole content, as often as
// needed, and Commit; or Reserve room for the content's size, as often as
// it grows, and CommitFrom a producer of the content. Until the commit the
// target keeps its old content; a replacement never committed leaves no
// trace. An existing target keeps its mode bits and, where allowed, its
// owner. A failed Write or Reserve leaves what was written or reserved
// before for the commit.
class FileReplacement {
 public:
  virtual ~FileReplacement() = default;

  using Producer =
      std::function<bool(const std::function<bool(std::string_view)>& write)>;

  // False, with the reason, when the target cannot be replaced (a
  // directory, a device, pipe or socket, a link chain that does not end, a
  // name with a NUL byte).
  virtual bool Begin(const std::string& file_name, std::string* err) = 0;
  virtual bool Write(std::string_view content, std::string* err) = 0;
  // Installs the last content written; false when nothing was written or
  // the file system refuses.
  virtual bool Commit(std::string* err) = 0;
  virtual bool Reserve(uint64_t size, std::string* err) = 0;
  virtual bool CommitFrom(const Producer& produce, std::string* err) = 0;
  // Drops what was written; the target stays as it was.
  virtual void Discard() = 0;

  // The last content written with Write.
  virtual const std::string& content() const = 0;
  // The file that the replacement installs, links resolved.
  virtual const std::string& target() const = 0;
  // What stood at the target when Begin resolved it.
  virtual const FileInfo& target_info() const = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual FileInfo Stat(const std::string& path, FollowLinks follow,
                        int* error = nullptr) = 0;
  virtual bool ReadLink(const std::string& path, std::string* target,
                        int* error = nullptr) = 0;
  // Appends the entries of `directory` (empty, or ending in "/"; empty is
  // the working directory), without "." and "..", in the file system's
  // order.
  virtual DirectoryRead ReadDirectory(const std::string& directory,
                                      std::vector<DirectoryEntry>* entries) = 0;
  // Reads a plain file whole, without ever waiting on it (a pipe without a
  // writer would make a plain read wait). nullptr, with *error, when the
  // path leads to nothing (ENOENT; ENOTDIR when a file stands where its
  // path needs a directory), a directory (EISDIR), something else than a
  // plain file (EINVAL) or cannot be read.
  virtual std::unique_ptr<OpenedFile> Open(const std::string& path,
                                           int* error) = 0;
  virtual std::unique_ptr<FileReplacement> NewReplacement() = 0;
  // Reads what `path` leads to up to its end into *out: a plain file, and
  // for the system's own also a pipe or device as it comes, which may wait
  // for a writer (a name the user hands over, such as the shell's process
  // substitution). Any other file system reads plain files only, as Open.
  // A failure says whether the path could not be opened or not be read
  // (a directory: EISDIR), with *error.
  virtual StreamRead ReadToEnd(const std::string& path, std::string* out,
                               int* error);

  // One directory, whose parent exists; mode 0777 less the umask.
  virtual bool MakeDirectory(const std::string& path, int* error = nullptr) = 0;
  // Makes `path` a symbolic link to `target` (not checked: it may lead
  // nowhere); EEXIST when something stands there.
  virtual bool MakeLink(const std::string& target, const std::string& path,
                        int* error = nullptr) = 0;
  // Removes a name that is not a directory; a link loses only itself.
  virtual bool RemoveFile(const std::string& path, int* error = nullptr) = 0;
  // Removes an empty directory.
  virtual bool RemoveDirectory(const std::string& path,
                               int* error = nullptr) = 0;
  virtual bool Rename(const std::string& from, const std::string& to,
                      int* error = nullptr) = 0;
  // Sets the mode bits (07777) of what the path leads to.
  virtual bool SetMode(const std::string& path, mode_t mode,
                       int* error = nullptr) = 0;

  // The working directory as an absolute path; empty when it cannot be
  // told (it was removed, or its path is unreadable).
  virtual std::string WorkingDirectory() = 0;
  virtual bool ChangeWorkingDirectory(const std::string& directory,
                                      int* error = nullptr) = 0;
  // Marks the working directory so that ReturnTo can come back to it even
  // when its path changes meanwhile; ForgetMark releases the mark. A mark
  // is a small number, -1 when the directory cannot be marked.
  virtual int MarkWorkingDirectory(int* error = nullptr) = 0;
  virtual bool ReturnTo(int mark, int* error = nullptr) = 0;
  virtual void ForgetMark(int mark) = 0;
};

// The file system that the program works on now: the system's own unless
// a ScopedFileSystem installed another.
FileSystem& CurrentFileSystem();

// The system's own file system.
FileSystem& SystemFileSystem();

// Installs `file_system` for as long as the object lives and puts the one
// before it back afterwards.
class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem* file_system);
  ~ScopedFileSystem();
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

 private:
  FileSystem* previous_;
};

#endif  // QRL_SERVICES_FILE_SYSTEM_H_
