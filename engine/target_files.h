// The files that Normal levels, and the file entries of requirements, read
// and rewrite during a driver run. A file is read once and held as an
// EditableText while levels search and change it; its rewrite gets room on
// disk with every change (so a full disk or a size limit shows at the level
// that caused it) but is produced and installed only when the run leaves
// the stretch of Normal and Requirement levels: before any other kind of
// level runs, and at the end of the run. Several files may be held at once,
// within a bound on their number and size; past it the file used least
// recently is installed early. Reads of a held file see its held text, so
// nothing in the run can tell the difference, while a file that many levels
// change is read once and written once.
#ifndef QRL_ENGINE_TARGET_FILES_H_
#define QRL_ENGINE_TARGET_FILES_H_

#include <sys/types.h>

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "services/editable_text.h"
#include "services/file_system.h"

// How many files are held at once at first: levels that take the files
// one after another need no more, and each file held costs the memory of
// its bytes.
inline constexpr size_t kFewestHeldFiles = 8;

// How many files may be held at once at most: a quarter of the descriptors
// the process may open, at least 64 and at most 4096.
size_t MaxHeldFiles();

// One held file: its text, the file as it was opened and read (kept open,
// so that its identity stays its own), and its rewrite once a level
// changed it.
class HeldFile {
 public:
  EditableText& text() { return text_; }
  const std::string& name() const { return name_; }

  // The first line of the text from which `lines` stand in turn (compared
  // as EditableText::FindLines does), or -1. The answer is kept while the
  // text stays as it is: a level's requirements and the level itself look
  // for the same block.
  int64_t FindLines(const std::vector<std::string_view>& lines);

  // Before a change that leaves the text `size` bytes long: makes room for
  // the rewrite. False, with *err saying why, when the disk or a limit
  // refuses; the text must then stay as it is, and a file that no change
  // was prepared for before is not rewritten at all.
  bool PrepareChange(uint64_t size, std::string* err);

 private:
  friend class TargetFiles;

  std::string name_;                // the name it was first reached by
  std::vector<std::string> names_;  // every name known to lead to it
  std::unique_ptr<OpenedFile> opened_;
  uint64_t read_bytes_ = 0;  // what the bound on held files counts
  EditableText text_;
  std::unique_ptr<FileReplacement> replacement_;  // once changed
  bool changed_ = false;                          // a change was prepared
  std::vector<std::string> last_block_;           // the last block looked for
  uint64_t last_version_ = 0;
  int64_t last_found_ = -1;
  bool searched_ = false;
};

class TargetFiles {
 public:
  TargetFiles() : most_files_(MaxHeldFiles()) {}
  // Installs what is pending; a failure here can no longer be reported.
  ~TargetFiles();
  TargetFiles(const TargetFiles&) = delete;
  TargetFiles& operator=(const TargetFiles&) = delete;

  enum class Access { kHeld, kMissing, kUnreadable };

  // The held file that `path` leads to, read on first use; nullptr when it
  // cannot be read: *access then says whether nothing or a directory stands
  // there (kMissing) or something that cannot be read as a plain file.
  HeldFile* Hold(const std::string& path, Access* access = nullptr);

  // Installs every pending rewrite and lets go of every held file. Raises
  // Failure when a rewrite cannot be installed (the others are installed
  // still): the levels that made it have already succeeded.
  void Flush();

 private:
  using Identity = std::pair<dev_t, ino_t>;
  using Held = std::list<std::unique_ptr<HeldFile>>;

  // Installs (or drops) the least recently used files while the held ones
  // are over the bound; `keep` stays.
  void Bound(const HeldFile* keep);
  // Installs the file's rewrite, when it has one; false with *err.
  static bool Install(HeldFile* file, std::string* err);
  void Release(Held::iterator file);

  size_t most_files_;  // the bound on held files may grow to this
  size_t max_files_ = kFewestHeldFiles;              // the bound now
  std::unordered_set<std::string> installed_early_;  // their names
  Held held_;                                        // most recently used first
  std::unordered_map<std::string, Held::iterator> by_name_;
  std::map<Identity, Held::iterator> by_identity_;
  uint64_t held_bytes_ = 0;  // the bytes read of the held files
};

#endif  // QRL_ENGINE_TARGET_FILES_H_
