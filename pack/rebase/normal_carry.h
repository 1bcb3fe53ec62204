// Carries one Normal level to the file as a later release has it (with the
// levels before it carried already): the block is located, the level's
// change is merged three-way with what the release did there (base: the
// level's obsolete code, package: its new code, NEW: the release's lines),
// and the level is kept, rewritten with the release's own lines as its
// context, dropped because the release has its change already, or left as
// a conflict with its three sides. A rewritten level keeps the rule that
// its blocks are the first matches both ways. Works on lines; reads no file.
#ifndef QRL_PACK_REBASE_NORMAL_CARRY_H_
#define QRL_PACK_REBASE_NORMAL_CARRY_H_

#include <cstddef>
#include <string>
#include <vector>

#include "pack/author/level_anchor.h"
#include "pack/rebase/block_locator.h"
#include "pack/rebase/line_merge.h"

enum class Verdict {
  kUnchanged,     // kept byte for byte
  kReanchored,    // its changed lines intact, its context taken from NEW
  kMerged,        // NEW changed lines inside its block; merged cleanly
  kAlreadyThere,  // NEW has its change already: dropped
  kConflict,      // not carried
  kKept,          // not analysed: kept as it is
};

struct NormalCarryInput {
  LineViews file;  // the file as the level meets it
  LevelBlock block;
  FrameCode frame;                 // the marker lines apply adds
  const BaseFile* base = nullptr;  // where apply met it in the old release
};

struct NormalCarry {
  Verdict verdict = Verdict::kConflict;
  size_t line = 0;                          // where in the file it acts, from 0
  LocateStage stage = LocateStage::kExact;  // how its place was found
  // kReanchored, kMerged: the level's new obsolete code and new code.
  AnchoredChange level;
  // kConflict: why, the three sides, and the file lines [mark_first,
  // mark_past) shown instead as `marked` (with the marker lines).
  std::string reason;
  MergeConflict sides;
  size_t mark_first = 0;
  size_t mark_past = 0;
  std::vector<std::string> marked;
};

NormalCarry CarryNormalLevel(const NormalCarryInput& input);

#endif  // QRL_PACK_REBASE_NORMAL_CARRY_H_
