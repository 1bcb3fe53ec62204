#include "checks/duplicate_requirements.h"

#include <algorithm>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "fastmemlist/list_view.h"
#include "package/level_record.h"

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

// The file entries of a level, parsed; empty when the level has none.
ListView FileEntries(std::string_view record, std::string_view* kind) {
  ListView level;
  level.Parse(record);
  *kind = level.ItemOrEmpty(kKindCode);
  ListView entries;
  entries.Parse(level.ItemOrEmpty(kFileEntries));
  return entries;
}

// Every requirement code of the package, in position order.
std::vector<RequirementCode> RequirementCodes(const TFASTMEMLIST& levels) {
  std::vector<RequirementCode> codes;
  for (uint64_t i = 0; i < levels.Count(); ++i) {
    std::string_view kind;
    const ListView entries = FileEntries(levels.View(i), &kind);
    const std::optional<uint64_t> first = FirstRequirementEntry(kind);
    if (!first) {
      continue;
    }
    for (uint64_t j = *first; j < entries.Count(); ++j) {
      ListView entry;
      entry.Parse(entries.Item(j));
      codes.push_back(
          {{i, j},
           {entry.ItemOrEmpty(kEntryPath), entry.ItemOrEmpty(kEntryType),
            entry.ItemOrEmpty(kEntryContent)}});
    }
  }
  return codes;
}

std::string PositionText(const RequirementPosition& position) {
  return std::to_string(position.level) + "," + std::to_string(position.entry);
}

}  // namespace

std::optional<uint64_t> FirstRequirementEntry(std::string_view kind_code) {
  if (kind_code == kKindRequirement || kind_code == kKindComplex ||
      kind_code == kKindFileDirectoryCreationRemoval) {
    return 0;
  }
  if (kind_code == kKindNormal || kind_code == kKindFileExport) {
    return 1;
  }
  return std::nullopt;
}

bool NextRequirementPosition(const TFASTMEMLIST& levels,
                             RequirementPosition* position, bool first_call) {
  if (first_call) {
    *position = {};
  } else {
    ++position->entry;
  }
  for (; position->level < levels.Count(); ++position->level) {
    std::string_view kind;
    const ListView entries = FileEntries(levels.View(position->level), &kind);
    const std::optional<uint64_t> first = FirstRequirementEntry(kind);
    if (first) {
      position->entry = std::max(position->entry, *first);
      if (position->entry < entries.Count()) {
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
