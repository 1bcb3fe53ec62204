// A FileDirectoryCreationRemoval level carries operation lines, each
// creating ("+") or removing ("-") one file or one directory tree: the
// line's second character is its separator and the path follows it; a
// path ending in "/" names a directory. Applying walks the lines first to
// last; reversing walks them last to first doing the opposite, so a
// removed file comes back empty. The first line that fails ends the walk
// and nothing done before it is undone.
#ifndef QRL_ENGINE_FILE_DIRECTORY_LEVEL_H_
#define QRL_ENGINE_FILE_DIRECTORY_LEVEL_H_

#include "engine/driver_state.h"

// Lines shorter than 3 characters, or whose first character is neither "+"
// nor "-", are skipped. A tree removal never reaches outside the tree (a
// link is removed as a link) and never removes the root directory. The
// direction is the driver's.
LevelOutcome RunFileDirectoryLevel(const LevelCall& call);

#endif  // QRL_ENGINE_FILE_DIRECTORY_LEVEL_H_
