// Finds where the block of a Normal level (its obsolete code) stands in a
// later release of its file, or says why it cannot tell. It never guesses:
// a block that stands in two places, or whose best place is only weakly
// like it, is not located. In turn it tries
//   1. the engine's own match of the whole block;
//   2. the block with context lines dropped from its ends, while the rest
//      (which keeps every line the level changes) stands in one place only;
//   3. an alignment of the block with windows of the file by a line diff,
//      scored by the lines that say something, when one window alone is
//      alike enough.
// Given where apply met the block in the release the package was made for,
// the place is found instead by mapping that place through the diff of the
// two releases of the file, as a three-way merge does with its base. Works
// on lines; reads no file.
#ifndef QRL_PACK_REBASE_BLOCK_LOCATOR_H_
#define QRL_PACK_REBASE_BLOCK_LOCATOR_H_

#include <cstddef>
#include <string>
#include <vector>

#include "pack/rebase/line_diff.h"

// What a level looks for and what it puts there.
struct LevelBlock {
  LineViews obsolete;  // never empty
  LineViews code;      // the new code without its marker lines
};

// The lines [first, past) of `obsolete` that the level changes; an
// insertion alone counts the lines on either side of it. The whole block
// when the level changes nothing.
struct ChangedSpan {
  size_t first = 0;
  size_t past = 0;
};
ChangedSpan ChangedLines(const LevelBlock& block);

// The file of the release the package was made for, as apply met it, and
// where the level's block stood in it.
struct BaseFile {
  LineViews file;
  size_t first = 0;
};

enum class LocateStage { kExact, kTrimmed, kAligned, kBase };
enum class LocateFailure { kNone, kNowhere, kAmbiguous, kWeak };

struct BlockPlace {
  LocateFailure failure = LocateFailure::kNowhere;
  LocateStage stage = LocateStage::kExact;
  // File lines [first, past) stand for block lines [block_first,
  // block_past); the lines of the block outside them are context that the
  // file no longer has there.
  size_t first = 0;
  size_t past = 0;
  size_t block_first = 0;
  size_t block_past = 0;
  // Where a block that is not located could stand: the places that tie,
  // or the weak best one. First lines, from 0.
  std::vector<size_t> candidates;
};

BlockPlace LocateBlock(const LineViews& file, const LevelBlock& block,
                       const BaseFile* base);

// The first places (up to `most`) where the engine finds `block` in `file`,
// from the top.
std::vector<size_t> EnginePlaces(const LineViews& file, const LineViews& block,
                                 size_t most);

// Whether a line says something: three letters or digits at least.
bool Telling(std::string_view line);

#endif  // QRL_PACK_REBASE_BLOCK_LOCATOR_H_
