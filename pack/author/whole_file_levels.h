// The levels that carry a file whole, for what a Normal level cannot
// reproduce byte for byte (CR line ends, no final line end, an empty side,
// binary content, text that names {ROOT}) and for files that a change
// creates or removes. Each writes only where the file is exactly as the
// package expects: a replaced file must hold the old bytes, no more and no
// less, before apply replaces it, and the new ones before reverse puts the
// old ones back; a created file must be missing; a removed file comes back
// only where nothing stands. The same unit finds such levels in a package
// again, with the contents they carry. Nothing here touches a file.
#ifndef QRL_PACK_AUTHOR_WHOLE_FILE_LEVELS_H_
#define QRL_PACK_AUTHOR_WHOLE_FILE_LEVELS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fastmemlist/fastmemlist.h"
#include "pack/author/level_writer.h"

enum class WholeFileChange { kReplaced, kCreated, kRemoved };

struct WholeFile {
  WholeFileChange change = WholeFileChange::kReplaced;
  std::string path;    // relative to {ROOT}
  std::string before;  // of a replaced or removed file
  std::string after;   // of a replaced or created file
  // A created file is made executable, a removed one comes back so.
  bool executable = false;
  std::string reason;  // why a replaced file travels whole, if known
};

// Appends the levels of `file`, numbered `base` to `base` + 2:
//   replaced: base + 1 the exact check and the write (apply), the exact
//             check and the old bytes back (reverse);
//   created:  base the check that it is missing (apply) and its creation,
//             base + 1 its content, base + 2 its execute bits;
//   removed:  base its content and execute bits back (reverse), base + 1
//             its removal.
void AddWholeFileLevels(const WholeFile& file, int64_t base,
                        std::vector<LevelFields>* levels);

struct FoundWholeFile {
  WholeFile file;                 // the reason is not kept
  std::vector<uint64_t> records;  // its levels' places in the list
};

// Every file that `levels` carries whole as AddWholeFileLevels writes it,
// in the order of its first level.
std::vector<FoundWholeFile> FindWholeFileLevels(const TFASTMEMLIST& levels);

// For a level that compares a file with a content before it writes (the
// checks of replaced files, the restores of replaced and removed files):
// the file's path relative to {ROOT} and the content it expects.
bool WholeFileExpectation(std::string_view record, std::string* path,
                          std::string* expected);

// How `content` parts from `expected`, in plain words naming the first
// line that differs (from 1); empty when they are equal.
std::string DescribeContentDifference(std::string_view content,
                                      std::string_view expected);

#endif  // QRL_PACK_AUTHOR_WHOLE_FILE_LEVELS_H_
