// qrlpack from-trees: the package that turns the tree OLD into the tree NEW
// and back. Line differences come from the dtl diff library; binary files
// travel whole. Both trees are only read.
#ifndef QRL_PACK_AUTHOR_FROM_TREES_H_
#define QRL_PACK_AUTHOR_FROM_TREES_H_

#include <string>
#include <string_view>
#include <vector>

#include "pack/author/comment_markers.h"
#include "pack/author/tree_change.h"

// The change from `old_root` to `new_root`. False with one line per
// problem in *errors (a link, a file that became a directory, a changed
// execute bit).
bool ChangeFromTrees(const std::string& old_root, const std::string& new_root,
                     ChangeSet* changes, std::vector<std::string>* errors);

// The hunks, with three lines of context as "diff -u" gives them, that turn
// `before` into `after` (both split by SplitTextLines).
std::vector<LineHunk> LineHunks(const TextLines& before,
                                const TextLines& after);

// ChangeFromTrees, then the verified package; *notes as PackageFromDiff.
bool PackageFromTrees(const std::string& old_root, const std::string& new_root,
                      MarkerStyle markers, std::string* package,
                      std::vector<std::string>* errors,
                      std::vector<std::string>* notes = nullptr);

#endif  // QRL_PACK_AUTHOR_FROM_TREES_H_
