// Carries a file that a package carries whole (one it replaces, creates or
// removes) to the file as a later release has it. A replaced file is merged
// three-way (base: the old content the package carries, package: its new
// content, NEW: the release's) by lines that keep their own line ends, so
// CR LF and a missing final line end stay as they are. A created file that
// the release has with other bytes, and a removed or replaced file that the
// release changed or removed, are conflicts. Works on contents; reads no
// file.
#ifndef QRL_PACK_REBASE_WHOLE_FILE_CARRY_H_
#define QRL_PACK_REBASE_WHOLE_FILE_CARRY_H_

#include <string>

#include "pack/rebase/normal_carry.h"

enum class WholeFileKind { kReplaced, kCreated, kRemoved };

// What the package does to the file.
struct WholeFileChangeOf {
  WholeFileKind kind = WholeFileKind::kReplaced;
  std::string before;  // of a replaced or removed file
  std::string after;   // of a replaced or created file
  bool executable = false;
};

// The file as the release has it.
struct ReleaseFile {
  bool exists = false;
  std::string content;
  bool executable = false;
};

struct WholeFileCarry {
  Verdict verdict = Verdict::kConflict;
  // What the carried levels carry: kUnchanged keeps the package's levels;
  // kReanchored and kMerged carry these contents and execute bit.
  WholeFileChangeOf carried;
  // kConflict: why, the three sides, and the file as the work tree shows
  // it (with the marker lines).
  std::string reason;
  MergeConflict sides;
  std::string marked;
};

WholeFileCarry CarryWholeFile(const WholeFileChangeOf& change,
                              const ReleaseFile& onto);

#endif  // QRL_PACK_REBASE_WHOLE_FILE_CARRY_H_
