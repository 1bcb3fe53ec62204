// The three-way merge of rebase: libgit2's merge of files (diff3 rules,
// patience diffs) on lines. Where the package's side and NEW's side change
// the same lines, or lines next to each other, the merge is not clean: its
// result then shows each such place with the three sides between marker
// lines. Any byte may stand in a line.
#ifndef QRL_PACK_REBASE_LINE_MERGE_H_
#define QRL_PACK_REBASE_LINE_MERGE_H_

#include <string>
#include <vector>

#include "pack/rebase/line_diff.h"

// The marker lines of a conflict.
inline constexpr std::string_view kPackageMarker = "<<<<<<< package";
inline constexpr std::string_view kBaseMarker = "||||||| base";
inline constexpr std::string_view kSidesMarker = "=======";
inline constexpr std::string_view kNewMarker = ">>>>>>> NEW";

// One place where the sides overlap.
struct MergeConflict {
  std::vector<std::string> package;
  std::vector<std::string> base;
  std::vector<std::string> onto;  // NEW's side
};

struct LineMerge {
  bool ok = false;     // false: the library failed
  bool clean = false;  // no conflict
  // The merged lines; where the sides overlap, the marker lines and the
  // three sides.
  std::vector<std::string> lines;
  std::vector<MergeConflict> conflicts;
};

LineMerge MergeLines(const LineViews& base, const LineViews& package,
                     const LineViews& onto);

// A conflict block that shows all three sides as they are.
std::vector<std::string> ConflictBlock(const LineViews& package,
                                       const LineViews& base,
                                       const LineViews& onto);

#endif  // QRL_PACK_REBASE_LINE_MERGE_H_
