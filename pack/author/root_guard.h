// The root guard of a package made from a change: levels that check the
// tree named by {ROOT} before anything else runs, under apply, reverse and
// createbackup alike, and stop the run with one line in plain words when
// it is not the tree the package was made for ("ROOT must end with /",
// "this tree lacks src/a.c, which the package changes"). Each side is a
// check, a Complex program that names the first fault in the macro
// {QRL_TREE}, and a stop, a Complex level whose presentation is that macro
// and which fails and halts the run on a fault. Nothing here touches a
// file.
#ifndef QRL_PACK_AUTHOR_ROOT_GUARD_H_
#define QRL_PACK_AUTHOR_ROOT_GUARD_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fastmemlist/fastmemlist.h"
#include "pack/author/level_writer.h"

// The files a package changes, relative to {ROOT}.
struct RootGuardPaths {
  std::vector<std::string> modified;  // there before apply and after it
  std::vector<std::string> deleted;   // there before apply, gone after it
  std::vector<std::string> created;   // gone before apply, there after it
};

// The guard's levels: the apply side (which createbackup runs too)
// numbered `first`, then the reverse side numbered `last`. Apply expects
// the modified and deleted files and none of the created ones; reverse
// expects the tree as apply left it.
std::vector<LevelFields> RootGuardLevels(const RootGuardPaths& paths,
                                         int64_t first, int64_t last);

// Whether a level record is one of a root guard's.
bool IsRootGuardLevel(std::string_view record);

// Takes every root guard level out of `levels` and puts a guard for `paths`
// in: the apply side first, numbered as the lowest level, the reverse side
// before the first level of the highest number, numbered so. Level numbers
// that are no integers count as 0.
void PutRootGuard(const RootGuardPaths& paths, TFASTMEMLIST* levels);

#endif  // QRL_PACK_AUTHOR_ROOT_GUARD_H_
