// Requirement codes: the (path, content type, content) triples of the file
// entries that Requirement, Complex, FileDirectoryCreationRemoval, Normal
// and FileExport levels test before they run, and the EXECUTECHECKS report
// of triples that occur more than once. Reads only.
#ifndef QRL_CHECKS_DUPLICATE_REQUIREMENTS_H_
#define QRL_CHECKS_DUPLICATE_REQUIREMENTS_H_

#include <cstdint>
#include <optional>
#include <string_view>

#include "fastmemlist/fastmemlist.h"
#include "package/level_view.h"
#include "services/line_list.h"

// A file entry of a level, both indexes counted from 0.
struct RequirementPosition {
  uint64_t level = 0;
  uint64_t entry = 0;

  bool operator==(const RequirementPosition&) const = default;
};

// The first file entry of a level of this kind that is a requirement code,
// as the kind table says (engine/level_kinds.h): 0 for Requirement, Complex
// and FileDirectoryCreationRemoval levels, 1 for Normal and FileExport
// levels (entry 0 is their target file), none for any other kind.
std::optional<uint64_t> FirstRequirementEntry(LevelKind kind);

// Moves to the next requirement position: with `first_call` from (0, 0)
// inclusive, otherwise from the entry after *position. False, with the
// position past the last level, when there is none.
bool NextRequirementPosition(const TFASTMEMLIST& levels,
                             RequirementPosition* position, bool first_call);

// Appends nothing when every requirement code is unique; otherwise a
// summary line with the number of duplicate pairs and then one line per
// pair, earlier position first, pairs in the order of their positions.
void CheckDuplicateRequirements(const TFASTMEMLIST& levels, LineList* output);

#endif  // QRL_CHECKS_DUPLICATE_REQUIREMENTS_H_
