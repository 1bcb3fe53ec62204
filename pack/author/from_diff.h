// qrlpack from-diff: the package that does to a tree what "patch -pN"
// does with a unified diff, and undoes it again. The tree is only read.
#ifndef QRL_PACK_AUTHOR_FROM_DIFF_H_
#define QRL_PACK_AUTHOR_FROM_DIFF_H_

#include <string>
#include <string_view>
#include <vector>

#include "pack/author/comment_markers.h"
#include "pack/author/tree_change.h"

struct FromDiffOptions {
  int strip = 1;           // leading path components, as patch -p
  std::string tree = ".";  // the tree the diff applies to
  MarkerStyle markers = MarkerStyle::kNone;
};

// The change that the diff makes to the tree, read from the tree and
// applied in memory. False with one line per problem in *errors.
bool ChangeFromDiff(std::string_view diff, const FromDiffOptions& options,
                    ChangeSet* changes, std::vector<std::string>* errors);

// ChangeFromDiff, then the verified package. *notes (when given) gets a
// line for each level left without markers.
bool PackageFromDiff(std::string_view diff, const FromDiffOptions& options,
                     std::string* package, std::vector<std::string>* errors,
                     std::vector<std::string>* notes = nullptr);

// A relative path made plain: "./a//b" is "a/b". False for an absolute path,
// a ".." component or nothing left.
bool PlainRelativePath(std::string_view path, std::string* plain);

#endif  // QRL_PACK_AUTHOR_FROM_DIFF_H_
