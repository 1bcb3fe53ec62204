// The work tree of a rebase: a copy of the release NEW with what the
// carried levels changed (and the conflicts marked) written into it, for a
// person to finish and turn into a package with from-trees. NEW itself is
// only read.
#ifndef QRL_PACK_REBASE_WORKTREE_H_
#define QRL_PACK_REBASE_WORKTREE_H_

#include <string>
#include <vector>

#include "services/overlay_file_system.h"

// Copies the tree at `onto_root` (with its final "/") to `directory`,
// which must not exist or be empty, files with their permission bits and
// links as links, then applies `changes` (paths relative to the tree).
// False, with *err, when something cannot be written.
bool WriteWorktree(const std::string& onto_root,
                   const std::vector<OverlayChange>& changes,
                   const std::string& directory, std::string* err);

#endif  // QRL_PACK_REBASE_WORKTREE_H_
