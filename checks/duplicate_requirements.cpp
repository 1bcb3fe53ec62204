#include "checks/duplicate_requirements.h"

#include <algorithm>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/level_kinds.h"

namespace {

// The texts of a requirement code: views into the level list, which the
// check does not change.
struct CodeKey {
  std::string_view path;
  std::string_view type;
  std::string_view content;

  bool operator==(const CodeKey&) const = default;
};

struct CodeKeyHash {
  size_t operator()(const CodeKey& key) const {
    const std::hash<std::string_view> hash;
    size_t h = hash(key.path);
    for (std::string_view part : {key.type, key.content}) {
      h = h * 1000003u ^ hash(part);
    }
    return h;
  }
};

struct RequirementCode {
  RequirementPosition position;
  CodeKey key;
};

// Every requirement code of the package, in position order.
std::vector<RequirementCode> RequirementCodes(const TFASTMEMLIST& levels) {
  std::vector<RequirementCode> codes;
  LevelView level;
  for (uint64_t i = 0; i < levels.Count(); ++i) {
    DecodeLevel(levels.View(i), &level);
    const std::optional<uint64_t> first = FirstRequirementEntry(level.kind);
    if (!first) {
      continue;
    }
    for (uint64_t j = *first; j < level.entries.size(); ++j) {
      const FileEntryView& entry = level.entries[j];
      codes.push_back({{i, j}, {entry.path, entry.type, entry.content}});
    }
  }
  return codes;
}

std::string PositionText(const RequirementPosition& position) {
  return std::to_string(position.level) + "," + std::to_string(position.entry);
}

}  // namespace

std::optional<uint64_t> FirstRequirementEntry(LevelKind kind) {
  const LevelKindRow* row = FindLevelKind(kind);
  return row != nullptr ? row->first_requirement_code : std::nullopt;
}

bool NextRequirementPosition(const TFASTMEMLIST& levels,
                             RequirementPosition* position, bool first_call) {
  if (first_call) {
    *position = {};
  } else {
    ++position->entry;
  }
  LevelView level;
  for (; position->level < levels.Count(); ++position->level) {
    DecodeLevel(levels.View(position->level), &level);
    const std::optional<uint64_t> first = FirstRequirementEntry(level.kind);
    if (first) {
      position->entry = std::max(position->entry, *first);
      if (position->entry < level.entries.size()) {
        return true;
      }
    }
    position->entry = 0;
  }
  return false;
}

void CheckDuplicateRequirements(const TFASTMEMLIST& levels, LineList* output) {
  const std::vector<RequirementCode> codes = RequirementCodes(levels);
  // Equal codes gathered in position order; the rank of a code in its group
  // tells which members come after it.
  std::unordered_map<CodeKey, std::vector<size_t>, CodeKeyHash> groups;
  std::vector<size_t> rank(codes.size());
  for (size_t i = 0; i < codes.size(); ++i) {
    std::vector<size_t>& group = groups[codes[i].key];
    rank[i] = group.size();
    group.push_back(i);
  }
  LineList report;
  for (size_t a = 0; a < codes.size(); ++a) {
    const std::vector<size_t>& group = groups[codes[a].key];
    for (size_t k = rank[a] + 1; k < group.size(); ++k) {
      report.Add("Same requirement code can be found at index " +
                 PositionText(codes[a].position) + " and index " +
                 PositionText(codes[group[k]].position));
    }
  }
  if (report.Empty()) {
    return;
  }
  output->Add("WARNING! " + std::to_string(report.Count()) +
              " entries regarding duplicate code requirements:");
  for (std::string& line : report.lines()) {
    output->Add(std::move(line));
  }
}
