#include "pack/plan/plan_bounds.h"

#include <set>

#include "pack/author/change_levels.h"

namespace {

// A level shows at most this many of its paths outside; the rest it counts.
constexpr size_t kPathsShown = 5;

std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

// Whether `path` is `directory` or lies below it.
bool Below(const std::string& path, const std::string& directory) {
  if (directory == "/") {
    return true;
  }
  return path.compare(0, directory.size(), directory) == 0 &&
         (path.size() == directory.size() || path[directory.size()] == '/');
}

}  // namespace

PlanBounds::PlanBounds(OverlayFileSystem* overlay, const TFASTMEMLIST& macros)
    : overlay_(overlay), start_directory_(overlay->WorkingDirectory()) {
  for (uint64_t k = 0; k + 1 < macros.Count(); k += 2) {
    given_.emplace_back(
        std::string(macros.View(k)),
        overlay_->ResolvedPath(std::string(macros.View(k + 1))));
  }
  UsesMacro(kRootMacro);
  overlay_->WatchChanges([this](const std::string& path) { Wrote(path); });
}

PlanBounds::~PlanBounds() { overlay_->WatchChanges(nullptr); }

void PlanBounds::LevelStarts(size_t level) {
  open_.push_back(level);
  last_level_ = level;
}

void PlanBounds::LevelEnds() {
  if (!open_.empty()) {
    open_.pop_back();
  }
}

void PlanBounds::UsesMacro(std::string_view name) {
  for (const auto& tree : trees_) {
    if (tree.first == name) {
      return;
    }
  }
  // The first of the command line's macros of that name is the one a run
  // finds.
  for (const auto& given : given_) {
    if (given.first == name) {
      if (!given.second.empty()) {
        trees_.push_back(given);
      }
      return;
    }
  }
}

void PlanBounds::RewritesFile(size_t level, const std::string& file) {
  const std::string resolved = overlay_->ResolvedPath(file);
  if (!resolved.empty()) {
    targets_[resolved] = level;
  }
}

void PlanBounds::Wrote(const std::string& path) {
  // A Normal level's rewrite is installed when the run gets to it, maybe
  // inside a later level: it belongs to the level that made it.
  const auto target = targets_.find(path);
  const size_t level = target != targets_.end() ? target->second
                       : !open_.empty()         ? open_.back()
                                                : last_level_;
  writes_.emplace_back(level, path);
}

bool PlanBounds::Inside(const std::string& path) const {
  if (trees_.empty()) {
    return !start_directory_.empty() && Below(path, start_directory_);
  }
  for (const auto& [name, directory] : trees_) {
    if (Below(path, directory)) {
      return true;
    }
  }
  return false;
}

bool PlanBounds::WroteOutside() const {
  for (const auto& [level, path] : writes_) {
    if (!Inside(path)) {
      return true;
    }
  }
  return false;
}

std::string PlanBounds::TreeNames() const {
  if (trees_.empty()) {
    return "the working directory (" + Quoted(start_directory_) + ")";
  }
  std::string names = trees_.size() == 1 ? "the tree of " : "the trees of ";
  for (size_t i = 0; i < trees_.size(); ++i) {
    names += i == 0 ? "" : i + 1 == trees_.size() ? " and " : ", ";
    names += trees_[i].first + " (" + Quoted(trees_[i].second) + ")";
  }
  return names;
}

void PlanBounds::AddWarnings(std::vector<PlannedLevel>* levels) const {
  // Per level the paths outside, each once, and none below one named.
  std::map<size_t, std::vector<std::string>> outside;
  std::set<std::pair<size_t, std::string>> seen;
  for (const auto& [level, path] : writes_) {
    if (level >= levels->size() || Inside(path) ||
        !seen.emplace(level, path).second) {
      continue;
    }
    std::vector<std::string>& paths = outside[level];
    bool covered = false;
    for (const std::string& earlier : paths) {
      covered = covered || Below(path, earlier);
    }
    if (!covered) {
      paths.push_back(path);
    }
  }
  const std::string trees = TreeNames();
  for (const auto& [level, paths] : outside) {
    std::vector<std::string>& warnings = (*levels)[level].warnings;
    for (size_t i = 0; i < paths.size() && i < kPathsShown; ++i) {
      warnings.push_back("changes " + Quoted(paths[i]) + ", outside " + trees);
    }
    if (paths.size() > kPathsShown) {
      warnings.push_back("changes " +
                         std::to_string(paths.size() - kPathsShown) +
                         " more paths outside " + trees);
    }
  }
}
