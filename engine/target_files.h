// The files that Normal levels rewrite during a driver run. A rewrite gets
// its room on disk at once (so a full disk shows at the level that caused
// it) but is installed over its target only when the run leaves the stretch
// of Normal and Requirement levels: before any other kind of level runs, when
// a Normal level moves on to another file, and at the end of the run. Reads
// of a file whose rewrite is pending see the pending content, so nothing in
// the run can tell the difference, while a file that many levels change in
// a row is replaced once instead of once per level.
#ifndef QRL_ENGINE_TARGET_FILES_H_
#define QRL_ENGINE_TARGET_FILES_H_

#include <memory>
#include <string>
#include <string_view>

#include "services/file_replacement.h"

class TargetFiles {
 public:
  TargetFiles();
  // Installs what is pending; a failure here can no longer be reported.
  ~TargetFiles();
  TargetFiles(const TargetFiles&) = delete;
  TargetFiles& operator=(const TargetFiles&) = delete;

  // The file's content, pending or on disk; false when it cannot be read.
  bool Read(const std::string& path, std::string* content);
  // Writes the new content; false when it cannot be written, the file then
  // keeping the content it had before.
  bool Write(const std::string& path, std::string_view content);
  // Installs the pending rewrite. A failure raises Failure: the levels that
  // made the rewrite have already succeeded.
  void Flush();

 private:
  // Whether `path` names the file whose rewrite is pending.
  bool IsPending(const std::string& path);

  std::unique_ptr<FileReplacement> pending_;
  // A name known to lead to the pending file. Nothing renames files while
  // a rewrite is pending, so the same name saves a look at the file system.
  std::string pending_name_;
};

#endif  // QRL_ENGINE_TARGET_FILES_H_
