// The change between two small trees that a test writes: the trees made as
// old/ and new/ in a scratch directory, then read as from-trees reads them.
#ifndef QRL_TESTS_TREE_CHANGES_H_
#define QRL_TESTS_TREE_CHANGES_H_

#include <string>
#include <vector>

#include "pack/author/from_trees.h"
#include "tests/test_util.h"

// Makes the trees `before` and `after` as old/ and new/ in `dir` and reads
// the change between them.
inline bool ChangeOfTrees(const ScratchDir& dir, const FileTree& before,
                          const FileTree& after, ChangeSet* changes,
                          std::vector<std::string>* errors) {
  MakeTree(dir.Path("old"), before);
  MakeTree(dir.Path("new"), after);
  return ChangeFromTrees(dir.Path("old"), dir.Path("new"), changes, errors);
}

#endif  // QRL_TESTS_TREE_CHANGES_H_
