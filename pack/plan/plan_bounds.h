// Where a planned run may write, and what it writes elsewhere. The run may
// write inside the trees of its root macros: of the macros on the command
// line, `{ROOT}` and every one that a level's stored path starts with
// (without any, the working directory the run starts in). Each tree is the
// directory its macro's value names as the run starts, resolved by the
// overlay (links followed); a macro that a program sets while the run goes
// on names no tree. The overlay tells every change it makes with the path
// it lands at, after macros, links, ".." and whatever a program built while
// it ran: a change that lands in no tree is outside. Never changes what the
// run does.
#ifndef QRL_PACK_PLAN_PLAN_BOUNDS_H_
#define QRL_PACK_PLAN_PLAN_BOUNDS_H_

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fastmemlist/fastmemlist.h"
#include "pack/plan/plan.h"
#include "services/overlay_file_system.h"

class PlanBounds {
 public:
  static constexpr size_t kNoLevel = static_cast<size_t>(-1);

  // Hears the overlay's changes while it lives. `macros` are the command
  // line's: name, value, name, value ...
  PlanBounds(OverlayFileSystem* overlay, const TFASTMEMLIST& macros);
  ~PlanBounds();
  PlanBounds(const PlanBounds&) = delete;
  PlanBounds& operator=(const PlanBounds&) = delete;

  // Level `level` (its index among the plan's levels) starts or ends.
  // Levels nest (a package inside a level).
  void LevelStarts(size_t level);
  void LevelEnds();
  // A stored path of a level starts with the macro `name`: when the command
  // line gave it, its tree is one the run may write in.
  void UsesMacro(std::string_view name);
  // The Normal level `level` rewrites `file`: the run may write it later,
  // when it installs its rewrites.
  void RewritesFile(size_t level, const std::string& file);

  // Whether the absolute, resolved `path` lies in a tree.
  bool Inside(const std::string& path) const;
  // Whether a change landed outside every tree.
  bool WroteOutside() const;
  // Adds to each level that changed something outside a warning naming
  // what and the trees.
  void AddWarnings(std::vector<PlannedLevel>* levels) const;

 private:
  void Wrote(const std::string& path);
  // The trees as a report names them.
  std::string TreeNames() const;

  OverlayFileSystem* overlay_;
  std::string start_directory_;
  // The command line's macros with the directories their values name,
  // resolved as the run starts; those that name trees.
  std::vector<std::pair<std::string, std::string>> given_;
  std::vector<std::pair<std::string, std::string>> trees_;
  std::vector<size_t> open_;
  size_t last_level_ = kNoLevel;
  std::map<std::string, size_t> targets_;  // resolved file -> Normal level
  // Every change by the level it belongs to, in the order they were made.
  std::vector<std::pair<size_t, std::string>> writes_;
};

#endif  // QRL_PACK_PLAN_PLAN_BOUNDS_H_
