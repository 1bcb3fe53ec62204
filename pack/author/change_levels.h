// Turns a tree change into the levels of a package, under the macro {ROOT}
// that names the tree. A changed file gets one Normal level per hunk where
// a Normal level gives back its bytes exactly; each level's context grows
// until its obsolete code is the first match when apply reaches it and its
// new code the first match when reverse reaches it. Files that a Normal
// level cannot rewrite byte for byte (CR line ends, no final line end, an
// empty side, binary content, text that names {ROOT}), new files and removed
// files get whole-file and creation-removal levels that run only under the
// action they serve. Never touches a file.
#ifndef QRL_PACK_AUTHOR_CHANGE_LEVELS_H_
#define QRL_PACK_AUTHOR_CHANGE_LEVELS_H_

#include <string>
#include <string_view>
#include <vector>

#include "pack/author/comment_markers.h"
#include "pack/author/level_writer.h"
#include "pack/author/tree_change.h"

// What the levels of one file are, for messages about it.
struct FileLevels {
  std::string path;
  std::vector<LineHunk> hunks;  // of the Normal levels, as finally grouped
  bool whole_file = false;
  std::string applied;  // the file after apply, markers included
};

// The package that carries `changes`, and for each changed file what its
// levels are. The tree that apply leaves is changes.after with the marker
// lines that `markers` adds: *applied. *notes gets a line for each level
// left without markers because a comment line would change the file there.
bool BuildChangePackage(const ChangeSet& changes, MarkerStyle markers,
                        std::string* package, TreeState* applied,
                        std::vector<FileLevels>* files,
                        std::vector<std::string>* notes, std::string* err);

#endif  // QRL_PACK_AUTHOR_CHANGE_LEVELS_H_
