// A FileExport level writes a whole file carried in its first file entry:
// text lines (each followed by a line feed) or raw bytes. Missing
// directories on the way are created; an existing file is replaced
// atomically. Reversing leaves the file in place, so there is no reverse
// handler.
#ifndef QRL_ENGINE_FILE_EXPORT_LEVEL_H_
#define QRL_ENGINE_FILE_EXPORT_LEVEL_H_

#include "engine/driver_state.h"

// A file name without a directory part is written in the working
// directory. An unknown content type writes nothing and succeeds; a level
// without a file entry, or whose text content does not decode, writes
// nothing and fails as a file that cannot be saved.
LevelOutcome ApplyFileExportLevel(const LevelCall& call);

#endif  // QRL_ENGINE_FILE_EXPORT_LEVEL_H_
