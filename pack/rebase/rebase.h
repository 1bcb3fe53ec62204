// qrlpack rebase: carries a package whose paths stand under {ROOT} (as
// from-diff and from-trees make them) to another release of the tree, the
// release NEW. Each level is decided in run order against NEW, with the
// levels before it carried already, on the engine itself and in memory:
// NEW is never written. Normal levels are located, merged three-way and
// kept, rewritten or dropped; files carried whole are merged whole; a
// level that cannot be carried without a guess is a conflict. The root
// guard is made anew for what the carried package changes; other levels
// are kept as they are. With no
// conflict, the carried package is written after the same check from-diff
// makes (applied to NEW and reversed, it gives NEW back byte for byte);
// with one, nothing is written. A work tree shows NEW with every carried
// level applied and each conflict marked in its file.
#ifndef QRL_PACK_REBASE_REBASE_H_
#define QRL_PACK_REBASE_REBASE_H_

#include <cstddef>
#include <string>
#include <vector>

#include "pack/rebase/normal_carry.h"

struct RebaseOptions {
  std::string package;
  std::string onto;      // the release NEW
  std::string base;      // the release OLD the package was made for, or ""
  std::string output;    // the carried package, or "" for none
  std::string worktree;  // a copy of NEW to mark conflicts in, or ""
};

// What became of one level.
struct RebasedLevel {
  std::string number;
  std::string presentation;
  std::string kind;  // "Normal", "Complex", ...
  Verdict verdict = Verdict::kKept;
  std::string file;    // relative to NEW, for a level that changes a file
  size_t line = 0;     // where in that file it acts, from 1; 0 for nowhere
  std::string found;   // how its block was found: "as it was", ...
  std::string reason;  // why it conflicts; a note for other verdicts
  bool has_sides = false;
  MergeConflict sides;  // of a conflict: the package's, the base's, NEW's
};

struct RebaseOutcome {
  std::vector<RebasedLevel> levels;
  size_t conflicts = 0;
  bool nothing_left = false;  // every level is in NEW already
  std::string check_failure;  // why the carried package did not verify
  bool written = false;       // OUT was written
  bool worktree_written = false;
};

inline constexpr int kRebaseCarried = 0;
inline constexpr int kRebaseConflicts = 1;
inline constexpr int kRebaseUsage = 2;
inline constexpr int kRebaseUnreadable = 3;

// Carries the package; returns the exit code. kRebaseUnreadable, with *err,
// when the package or a tree cannot be read or OUT or the work tree cannot
// be written.
int Rebase(const RebaseOptions& options, RebaseOutcome* outcome,
           std::string* err);

// The verdict as the report words it.
std::string_view VerdictName(Verdict verdict);

#endif  // QRL_PACK_REBASE_REBASE_H_
