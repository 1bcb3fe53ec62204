// Atomic replacement of a file's content, in two steps. Write puts the new
// bytes into a temporary file beside the target at once, so a full disk or
// a size limit shows there and then; Commit renames it over the target.
// Until the commit the target keeps its old content, and a replacement that
// is never committed leaves no trace. The content may be written again
// before the commit; when such a write fails, the content written before is
// put back into the temporary file, so a commit still installs it.
//
// A target that is a symbolic link is followed, so the file it points to is
// replaced and the link stays; an existing target keeps its permission bits
// and, where allowed, its owner. A device, pipe or socket is written in
// place, since replacing it would destroy it.
#ifndef QRL_SERVICES_FILE_REPLACEMENT_H_
#define QRL_SERVICES_FILE_REPLACEMENT_H_

#include <sys/stat.h>

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
  // written, or when a failed write could not put the earlier content back.
  bool Commit(std::string* err);
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
  std::string content_;
  bool damaged_ = false;  // the temporary file holds no complete content
};

#endif  // QRL_SERVICES_FILE_REPLACEMENT_H_
