// A release of the tree held in memory, on which a package's levels run
// one at a time on the engine, as qrlconsole would run them under apply
// with MACRO{ROOT} naming the release: an overlay of the file system keeps
// every change, so the release itself is never written, and tools and
// commands are never started (they count as done, without output). The
// macros and symbols a level leaves are handed to the next.
#ifndef QRL_PACK_REBASE_RELEASE_RUN_H_
#define QRL_PACK_REBASE_RELEASE_RUN_H_

#include <string>
#include <string_view>
#include <vector>

#include "fastmemlist/fastmemlist.h"
#include "package/settings_block.h"
#include "services/line_list.h"
#include "services/overlay_file_system.h"

class ReleaseRun {
 public:
  // `root` is the release's directory, absolute, with the final "/".
  ReleaseRun(const std::string& root, const TSETTINGSBLOCK& settings);

  const std::string& root() const { return root_; }
  // The settings of the run so far: the package's marker groups, the macros
  // and symbols that the levels run so far left.
  const TSETTINGSBLOCK& settings() const { return settings_; }

  // The record as the engine prepares it for its run: macros expanded,
  // separators made "/".
  TFASTMEMLIST Prepared(std::string_view record) const;
  // Whether the prepared level runs under apply with the present symbols.
  bool Selected(std::string_view record) const;

  // Runs one level record; false with the engine's report line (or why it
  // could not run) when it fails.
  bool Run(std::string_view record, std::string* err);

  // A file of the release as the levels run so far left it; the path is
  // relative to the root. False when it is not there or not a plain file.
  bool Read(const std::string& path, std::string* content);
  bool Write(const std::string& path, std::string_view content);
  FileInfo Stat(const std::string& path, FollowLinks follow);

  // What the levels run so far changed, with paths relative to the root.
  std::vector<OverlayChange> Changes();

 private:
  std::string root_;
  TSETTINGSBLOCK settings_;
  OverlayFileSystem overlay_;
};

#endif  // QRL_PACK_REBASE_RELEASE_RUN_H_
