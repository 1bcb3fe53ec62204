// What can be said about a block of lines that a level looks for in a
// file, beyond found or not: where else it stands, whether it stands only
// because blanks and letter case do not count, and, when it stands
// nowhere, where the file drifted from it, in words that a dry run and a
// stopped run both give. Reads the text; changes nothing that a later
// search would see differently.
#ifndef QRL_ENGINE_BLOCK_DRIFT_H_
#define QRL_ENGINE_BLOCK_DRIFT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "services/editable_text.h"

// Where a block stands. Line indexes count from 0.
struct BlockPlaces {
  int64_t first = -1;            // the place a level takes, -1 for none
  std::vector<uint64_t> others;  // further places below it, a few at most
  bool exact = true;  // the lines at `first` equal the block byte for byte
};

BlockPlaces FindBlockPlaces(EditableText& text,
                            const std::vector<std::string>& block,
                            size_t most_others = 3);

// Where a block that stands nowhere parts from the file.
struct BlockDrift {
  // The block's first line that cannot be found in its place: after the
  // longest start of the block that stands somewhere.
  size_t missing = 0;
  // Where that start stands (-1 when even the first line is nowhere) and
  // what the file has where the missing line was expected.
  int64_t start_at = -1;
  std::string found_instead;
  // When the first line stands nowhere: the file line most like it, -1
  // when no line is alike enough.
  int64_t nearest = -1;
  std::string nearest_text;
};

BlockDrift DescribeDrift(EditableText& text,
                         const std::vector<std::string>& block);

// How alike two lines are, from 0 (nothing in common) to 1 (equal), with
// blanks at their ends and letter case not counting.
double LineLikeness(std::string_view a, std::string_view b);

// A line as reasons quote it, and a line index (from 0) as they count it
// (from 1).
std::string QuotedLine(std::string_view line);
std::string LineNumberOf(int64_t index);

// Why `block` stands nowhere in the text, in plain words: `what` (such as
// "obsolete code") line N "..." is not found, and where the file parts
// from the block or which line is most like its first line. An empty
// block, which is never found, "has no lines".
std::string DriftReason(EditableText& text,
                        const std::vector<std::string>& block,
                        std::string_view what);

#endif  // QRL_ENGINE_BLOCK_DRIFT_H_
