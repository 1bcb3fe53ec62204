// Applies the hunks of one file of a diff to its content the way "patch"
// does without fuzz: each hunk where its lines stand, at the line the diff
// names or the nearest line after or before it (forward first), never
// before the end of the previous hunk. Works on bytes in memory only.
#ifndef QRL_PACK_AUTHOR_PATCH_FILE_H_
#define QRL_PACK_AUTHOR_PATCH_FILE_H_

#include <string>
#include <string_view>
#include <vector>

#include "pack/author/tree_change.h"
#include "pack/author/unified_diff.h"

// Applies `hunks` to `before`. On success *after is the patched content and
// *located the hunks where they applied. Otherwise *errors gets one line
// per hunk that does not apply, as patch reports it:
//   "src/a.c: hunk #2 FAILED at 57 (the diff's lines are not there)"
bool PatchFile(const std::string& path, std::string_view before,
               const std::vector<DiffHunk>& hunks, std::string* after,
               std::vector<LineHunk>* located,
               std::vector<std::string>* errors);

#endif  // QRL_PACK_AUTHOR_PATCH_FILE_H_
