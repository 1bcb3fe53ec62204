// The system's own atomic replacement of a file's content (FileReplacement
// in services/file_system.h says what every replacement does). Write takes
// the new content and makes sure that the temporary file beside the target
// can hold it (a full disk or a size limit shows there and then); Commit
// puts the last content into that file and renames it over the target. The
// content may be written many times before the commit: the first write goes
// to the file at once, later ones only reserve the space they need, so a
// file that many steps change is written once more at the end instead of
// once per step. An empty content where nothing stands needs no temporary
// file: an empty file cannot be seen half-written, so the commit creates it
// in its place (and replaces whatever came there meanwhile as usual).
//
// The temporary file is ".qrl-tmp-" and six letters or digits, beside the
// target, and holds an exclusive flock while it is written; creating the
// first one in a directory removes what interrupted runs left there
// (services/stale_temporaries.h). It takes the target's owner, group and
// mode bits, set-ID bits included, as far as the system allows; whatever
// it refuses, and the replacement of a file that nobody may write, is
// said on the diagnostics channel once the commit is done. A target that
// is neither a regular file nor absent (a device, pipe or socket) is
// refused by Begin without being opened: replacing it would destroy it,
// and writing into it may wait forever.
#ifndef QRL_SERVICES_FILE_REPLACEMENT_H_
#define QRL_SERVICES_FILE_REPLACEMENT_H_

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "services/file_system.h"

class PosixFileReplacement : public FileReplacement {
 public:
  PosixFileReplacement() = default;
  ~PosixFileReplacement() override { Discard(); }
  PosixFileReplacement(const PosixFileReplacement&) = delete;
  PosixFileReplacement& operator=(const PosixFileReplacement&) = delete;

  bool Begin(const std::string& file_name, std::string* err) override;
  bool Write(std::string_view content, std::string* err) override;
  bool Commit(std::string* err) override;
  // Reserve creates the temporary file on its first call; later calls only
  // give it room to grow.
  bool Reserve(uint64_t size, std::string* err) override;
  bool CommitFrom(const Producer& produce, std::string* err) override;
  // Removes the temporary file.
  void Discard() override;

  const std::string& content() const override { return content_; }
  const std::string& target() const override { return target_; }
  const FileInfo& target_info() const override { return target_info_; }

 private:
  // One temporary file: its name and open descriptor.
  struct Temporary {
    std::string name;
    int fd = -1;
  };

  bool CreateTemporary(std::string* err);
  // Commits an empty content where nothing stood.
  bool CreateInPlace(std::string* err);
  // Gives the new temporary file the existing target's owner, group and
  // mode, noting what the system refuses; an errno value when the mode
  // cannot be set at all.
  int TakeOverAttributes(int fd, mode_t umask);
  void RemoveTemporary();

  std::string target_;
  FileInfo target_info_;
  Temporary temporary_;
  std::string content_;           // the last content written successfully
  bool content_on_disk_ = false;  // the temporary file holds it already
  // The content is empty and nothing stood at the target: the commit
  // creates the file there, without a temporary file.
  bool create_in_place_ = false;
  // When the temporary file's time was last set, by its creation or a write.
  std::chrono::steady_clock::time_point fresh_since_;
  uint64_t file_size_ = 0;          // bytes the temporary file holds
  std::vector<std::string> notes_;  // for the diagnostics, at the commit
};

#endif  // QRL_SERVICES_FILE_REPLACEMENT_H_
