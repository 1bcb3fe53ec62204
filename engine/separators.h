// Directory separators stored in level records. Packages may be written on
// a system whose separator is "\"; before a level runs, its stored paths are
// rewritten to "/". A stored path carries its separator as its first
// character: "\dir\file" or "//home/user/x".
#ifndef QRL_ENGINE_SEPARATORS_H_
#define QRL_ENGINE_SEPARATORS_H_

#include <string>
#include <string_view>

#include "fastmemlist/fastmemlist.h"
#include "services/line_list.h"

// Rewrites the separators of the record's paths to `target`: the PATH
// option, the file names of the file entries, the operation lines of a
// FileDirectoryCreationRemoval level, the package path of a Package level
// and the three paths of an External level. An empty `source` stands for
// any separator; otherwise only paths written with `source` change.
void ConvertSeparators(TFASTMEMLIST* level, std::string_view source,
                       std::string_view target);

// Moves the first "PATH " (else "PATH+ ") option item to the end of the
// options, with its key in upper case and `source` replaced by `target` in
// its value.
void ConvertPathOption(std::string* options, std::string_view source,
                       std::string_view target);

// The path a stored path names, with "/" separators; empty for empty text.
std::string StoredPathToPath(std::string_view stored);
void StoredPathsToPaths(LineList* stored);

#endif  // QRL_ENGINE_SEPARATORS_H_
