// Makes the package that carries a tree change, and verifies it before
// handing it out: a package that does not turn the tree before into the
// tree after and back is never returned.
#ifndef QRL_PACK_AUTHOR_CHANGE_PACKAGE_H_
#define QRL_PACK_AUTHOR_CHANGE_PACKAGE_H_

#include <string>
#include <vector>

#include "pack/author/comment_markers.h"
#include "pack/author/tree_change.h"

// The package bytes for `changes`. False with *err naming the file (and the
// hunk, where a Normal level is at fault) when the package cannot be made
// or does not verify, or when a name that changes cannot be carried: one
// that holds {ROOT} (the run would put the tree's path in its place) or
// "\" (which the levels take as a directory separator). *notes (when
// given) gets a line for each level left without markers.
bool MakeChangePackage(const ChangeSet& changes, MarkerStyle markers,
                       std::string* package, std::string* err,
                       std::vector<std::string>* notes = nullptr);

#endif  // QRL_PACK_AUTHOR_CHANGE_PACKAGE_H_
