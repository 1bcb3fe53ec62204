// Atomic replacement of a file's content, in two steps. Write takes the new
// content and makes sure that the temporary file beside the target can hold
// it (a full disk or a size limit shows there and then); Commit puts the
// last content into that file and renames it over the target. Until the
// commit the target keeps its old content, and a replacement that is never
// committed leaves no trace. The content may be written many times before
// the commit: the first write goes to the file at once, later ones only
// reserve the space they need, so a file that many steps change is written
// once more at the end instead of once per step. A failed write leaves the
// content written before it for the commit.
//
// A target that is a symbolic link is followed, so the file it points to is
// replaced and the link stays; an existing target keeps its permission bits
// and, where allowed, its owner. A device, pipe or socket is written in
// place, since replacing it would destroy it.
#ifndef QRL_SERVICES_FILE_REPLACEMENT_H_
#define QRL_SERVICES_FILE_REPLACEMENT_H_

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class FileReplacement {
 public:
  FileReplacement() = default;
  ~FileReplacement() { Discard(); }
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Resolves the target. False, with the reason, when it cannot be
  // replaced (a directory, a link chain that does not end).
  bool Begin(const std::string& file_name, std::string* err);
  bool Write(std::string_view content, std::string* err);
  // Installs the last content written successfully; false when nothing was
  // written or the file system refuses.
  bool Commit(std::string* err);

  // The other way to a replacement, for content that is held elsewhere and
  // produced once at the end: Reserve makes sure the temporary file can
  // take `size` bytes (it is created by the first call; later calls only
  // give it room to grow), CommitFrom writes what `produce` hands out and
  // installs it. A failed reservation leaves the room reserved before.
  using Producer =
      std::function<bool(const std::function<bool(std::string_view)>& write)>;
  bool Reserve(uint64_t size, std::string* err);
  bool CommitFrom(const Producer& produce, std::string* err);
  // Removes the temporary files; the target stays as it was.
  void Discard();

  // The last content written successfully.
  const std::string& content() const { return content_; }
  // The file that the replacement installs, links resolved.
  const std::string& target() const { return target_; }
  // Whether the target existed at Begin, and then its device and inode.
  bool target_existed() const { return target_exists_; }
  dev_t target_device() const { return target_stat_.st_dev; }
  ino_t target_inode() const { return target_stat_.st_ino; }

 private:
  // One temporary file: its name and open descriptor.
  struct Temporary {
    std::string name;
    int fd = -1;
  };

  bool CreateTemporary(std::string* err);
  void RemoveTemporary();

  std::string target_;
  bool target_exists_ = false;
  bool in_place_ = false;
  struct stat target_stat_ = {};
  Temporary temporary_;
  std::string content_;           // the last content written successfully
  bool content_on_disk_ = false;  // the temporary file holds it already
  uint64_t file_size_ = 0;        // bytes the temporary file holds
};

#endif  // QRL_SERVICES_FILE_REPLACEMENT_H_
