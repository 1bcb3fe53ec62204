// Local requirements: the files that a level's file entries name must
// exist and hold the entries' contents.
#ifndef QRL_ENGINE_REQUIREMENTS_H_
#define QRL_ENGINE_REQUIREMENTS_H_

#include <cstdint>

#include "package/level_view.h"

class TargetFiles;

// True when every file entry's file exists and contains its content: text
// content as a block of lines (compared trimmed, ignoring case; an empty
// block is never found), binary content as bytes (an empty one always is).
// The kind's row in engine/level_kinds.h says which entry is tested first
// (entry 0 of a FileExport level names the file it will write and is
// not). A level without entries passes. Files are read through `files`
// when given (a driver's pending rewrites), else from disk.
bool LocalRequirementsMet(const LevelView& level, TargetFiles* files = nullptr);

// The index of the first file entry that fails the test above, or -1 when
// every one passes.
int64_t FirstUnmetEntry(const LevelView& level, TargetFiles* files = nullptr);

#endif  // QRL_ENGINE_REQUIREMENTS_H_
