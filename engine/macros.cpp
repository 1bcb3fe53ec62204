#include "engine/macros.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "engine/run_limits.h"
#include "package/level_record.h"
#include "services/line_list.h"

namespace {

// Bounds of an expansion that does not settle: the passes that a chain of
// every macro through every other needs, with room to spare, and a size
// that no legitimate level reaches (the run limits' expansion_bytes, or
// four times the level and the values).
constexpr uint64_t kMinimumPassLimit = 64;
constexpr uint64_t kSizeGrowthFactor = 4;

uint64_t RecordSize(const TFASTMEMLIST& level) {
  uint64_t size = 0;
  for (uint64_t i = 0; i < level.Count(); ++i) {
    size += level.ItemLength(i);
  }
  return size;
}

// A fast look for the name anywhere in the record's bytes: the texts of
// nested lists stand contiguously inside their items, so a name that is in
// none of the items cannot be replaced anywhere.
bool RecordMayContain(const TFASTMEMLIST& level, std::string_view name,
                      CaseSensitive sensitive) {
  const std::string folded_name =
      sensitive == CaseSensitive::kYes ? std::string() : UpperCase(name);
  for (uint64_t i = 0; i < level.Count(); ++i) {
    const std::string_view item = level.View(i);
    const bool found =
        sensitive == CaseSensitive::kYes
            ? item.find(name) != std::string_view::npos
            : UpperCase(item).find(folded_name) != std::string::npos;
    if (found) {
      return true;
    }
  }
  return false;
}

// Whether the name can stand in the item: a quick look at its bytes, which
// saves decoding the nested lists of an item that cannot hold it.
bool ItemMayContain(const TFASTMEMLIST& list, uint64_t item,
                    std::string_view name, CaseSensitive sensitive) {
  if (sensitive == CaseSensitive::kNo) {
    return true;  // the full replacement decides
  }
  return list.View(item).find(name) != std::string_view::npos;
}

// Replaces in a serialized list of text lines; stores it back when changed.
bool ReplaceInLines(std::string* data, std::string_view name,
                    std::string_view value, CaseSensitive sensitive) {
  LineList lines;
  DataToStrings(*data, &lines);
  if (!ReplaceAllInList(name, value, &lines, sensitive)) {
    return false;
  }
  *data = DataAddStrings("", lines);
  return true;
}

bool ReplaceInFileEntries(TFASTMEMLIST* level, std::string_view name,
                          std::string_view value, CaseSensitive sensitive) {
  TFASTMEMLIST entries;
  entries.LoadFromData(level->View(kFileEntries));
  bool replaced = false;
  for (uint64_t j = 0; j < entries.Count(); ++j) {
    TFASTMEMLIST entry;
    entry.LoadFromData(entries.View(j));
    if (entry.Count() < kFileEntryItemCount) {
      continue;
    }
    bool entry_replaced = false;
    for (uint64_t field : {kEntrySeparator, kEntryPath}) {
      if (!ItemMayContain(entry, field, name, sensitive)) {
        continue;
      }
      std::string text = entry.Get(field);
      if (ReplaceAll(&text, name, value, sensitive)) {
        entry.Put(field, text);
        entry_replaced = true;
      }
    }
    if (entry.View(kEntryType) == kTypeText &&
        ItemMayContain(entry, kEntryContent, name, sensitive)) {
      std::string content = entry.Get(kEntryContent);
      if (ReplaceInLines(&content, name, value, sensitive)) {
        entry.Put(kEntryContent, content);
        entry_replaced = true;
      }
    }
    if (entry_replaced) {
      entries.PutList(j, entry);
      replaced = true;
    }
  }
  if (replaced) {
    level->PutList(kFileEntries, entries);
  }
  return replaced;
}

// The options line of an External level: every item but the ones that
// name the output macro. Replacing that name by the macro's value would
// store the tool's output under the old value instead of the name.
constexpr uint64_t kExternalOptionsLine = 1;
constexpr std::string_view kOutputMacroOption = "OUTPUTMACRO";

bool ReplaceInExternalOptions(std::string* line, std::string_view name,
                              std::string_view value, CaseSensitive sensitive) {
  LineList items;
  SplitByCharacter(*line, &items, 0, ',');
  bool replaced = false;
  for (std::string& item : items.lines()) {
    if (!EqualsIgnoringCase(
            std::string_view(item).substr(0, kOutputMacroOption.size()),
            kOutputMacroOption)) {
      replaced |= ReplaceAll(&item, name, value, sensitive);
    }
  }
  if (replaced) {
    *line = JoinWithCharacter(items, ',');
  }
  return replaced;
}

bool ReplaceInCode(TFASTMEMLIST* level, std::string_view name,
                   std::string_view value, CaseSensitive sensitive) {
  TFASTMEMLIST code;
  code.LoadFromData(level->View(kCode));
  if (code.Count() == 0) {
    return false;
  }
  const std::string_view type = code.View(0);
  if (type == kTypeText) {
    const bool external = level->View(kKindCode) == kKindExternal;
    bool replaced = false;
    for (uint64_t i = 1; i < code.Count(); ++i) {
      std::string line = code.Get(i);
      if (external && i == kExternalOptionsLine
              ? ReplaceInExternalOptions(&line, name, value, sensitive)
              : ReplaceAll(&line, name, value, sensitive)) {
        code.Put(i, line);
        replaced = true;
      }
    }
    if (replaced) {
      level->PutList(kCode, code);
    }
    return replaced;
  }
  if (type != kTypeBinary || code.Count() < 2 ||
      level->View(kKindCode) == kKindPackage) {
    return false;
  }
  std::string bytes = code.Get(1);
  if (!ReplaceAll(&bytes, name, value, sensitive)) {
    return false;
  }
  code.Put(1, bytes);
  level->PutList(kCode, code);
  return true;
}

bool ReplaceInItem(TFASTMEMLIST* level, uint64_t item, std::string_view name,
                   std::string_view value, CaseSensitive sensitive) {
  if (item < level->Count() && !ItemMayContain(*level, item, name, sensitive)) {
    return false;
  }
  switch (item) {
    case kCommentLines: {
      std::string data = level->Get(kCommentLines);
      if (!ReplaceInLines(&data, name, value, sensitive)) {
        return false;
      }
      level->Put(kCommentLines, data);
      return true;
    }
    case kFileEntries:
      return ReplaceInFileEntries(level, name, value, sensitive);
    case kCode:
      return ReplaceInCode(level, name, value, sensitive);
    default: {
      if (item >= kLevelItemCount) {
        return false;
      }
      std::string text = level->Get(item);
      if (!ReplaceAll(&text, name, value, sensitive)) {
        return false;
      }
      level->Put(item, text);
      return true;
    }
  }
}

// One pass over every pair; false when the record grew past `size_limit`.
bool ExpansionPass(TFASTMEMLIST* level, const TFASTMEMLIST& macros,
                   CaseSensitive sensitive, uint64_t size_limit,
                   bool* replaced) {
  *replaced = false;
  for (uint64_t k = 0; k + 1 < macros.Count(); k += 2) {
    if (macros.ItemLength(k) == 0) {
      continue;
    }
    if (ReplaceMacroInLevel(level, macros.View(k), macros.View(k + 1), -1,
                            sensitive)) {
      *replaced = true;
      if (RecordSize(*level) > size_limit) {
        return false;
      }
    }
  }
  return true;
}

// Whether some macro's value brings back its own name, directly or
// through other macros: a cycle in the graph where a pair leads to every
// pair whose name its value contains. Checked only when an expansion was
// cut for its size; past kMaxCheckedPairs pairs the answer is yes.
constexpr uint64_t kMaxCheckedPairs = 1024;

bool NamesComeBack(const TFASTMEMLIST& macros, CaseSensitive sensitive) {
  const uint64_t pairs = macros.Count() / 2;
  if (pairs > kMaxCheckedPairs) {
    return true;
  }
  std::vector<std::vector<uint64_t>> leads_to(pairs);
  for (uint64_t k = 0; k < pairs; ++k) {
    for (uint64_t j = 0; j < pairs; ++j) {
      const std::string_view name = macros.View(2 * j);
      if (!name.empty() &&
          FindNext(name, macros.View(2 * k + 1), 1, sensitive) != 0) {
        leads_to[k].push_back(j);
      }
    }
  }
  // Depth-first search for a pair met again while still on the path.
  enum class Mark { kNew, kOnPath, kDone };
  std::vector<Mark> marks(pairs, Mark::kNew);
  for (uint64_t start = 0; start < pairs; ++start) {
    if (marks[start] != Mark::kNew) {
      continue;
    }
    std::vector<std::pair<uint64_t, size_t>> path = {{start, 0}};
    marks[start] = Mark::kOnPath;
    while (!path.empty()) {
      auto& [pair, next] = path.back();
      if (next == leads_to[pair].size()) {
        marks[pair] = Mark::kDone;
        path.pop_back();
        continue;
      }
      const uint64_t to = leads_to[pair][next++];
      if (marks[to] == Mark::kOnPath) {
        return true;
      }
      if (marks[to] == Mark::kNew) {
        marks[to] = Mark::kOnPath;
        path.emplace_back(to, 0);
      }
    }
  }
  return false;
}

}  // namespace

int64_t FindMacro(const TFASTMEMLIST& macros, std::string_view text,
                  LookIn look_in, CaseSensitive sensitive) {
  for (uint64_t i = look_in == LookIn::kValues ? 1 : 0; i < macros.Count();
       i += 2) {
    const std::string_view item = macros.View(i);
    if (item.size() != text.size()) {
      continue;
    }
    if (text.empty() ||
        (sensitive == CaseSensitive::kYes ? item == text
                                          : UpperCase(item) == text)) {
      return static_cast<int64_t>(i);
    }
  }
  return -1;
}

bool ReplaceMacroInLevel(TFASTMEMLIST* level, std::string_view name,
                         std::string_view value, int64_t item,
                         CaseSensitive sensitive) {
  if (name.empty() || !RecordMayContain(*level, name, sensitive)) {
    return false;
  }
  if (item >= 0) {
    return static_cast<uint64_t>(item) < level->Count() &&
           ReplaceInItem(level, static_cast<uint64_t>(item), name, value,
                         sensitive);
  }
  bool replaced = false;
  for (uint64_t i = 0; i < level->Count(); ++i) {
    replaced |= ReplaceInItem(level, i, name, value, sensitive);
  }
  return replaced;
}

Expansion ExpandMacros(TFASTMEMLIST* level, const TFASTMEMLIST& macros,
                       CaseSensitive sensitive) {
  if (macros.Count() < 2) {
    return Expansion::kComplete;
  }
  uint64_t values_size = 0;
  for (uint64_t k = 1; k < macros.Count(); k += 2) {
    values_size += macros.ItemLength(k);
  }
  const uint64_t size_limit =
      std::max(CurrentRunLimits().expansion_bytes,
               kSizeGrowthFactor * (RecordSize(*level) + values_size));
  const uint64_t pass_limit = kMinimumPassLimit + macros.Count();
  for (uint64_t pass = 0; pass < pass_limit; ++pass) {
    bool replaced = false;
    if (!ExpansionPass(level, macros, sensitive, size_limit, &replaced)) {
      return NamesComeBack(macros, sensitive) ? Expansion::kCutSelfReference
                                              : Expansion::kCutTooLarge;
    }
    if (!replaced) {
      return Expansion::kComplete;
    }
  }
  // A chain through every macro settles within the pass limit; only a name
  // that keeps coming back gets this far.
  return Expansion::kCutSelfReference;
}

bool ExpandMacrosOnce(TFASTMEMLIST* levels, const TFASTMEMLIST& macros,
                      int64_t level_index, CaseSensitive sensitive) {
  bool changed = false;
  // Each level is independent of the others, so every macro can be applied
  // to one decoded level before the next level is decoded.
  for (uint64_t i = 0; i < levels->Count(); ++i) {
    if (level_index >= 0 && static_cast<uint64_t>(level_index) != i) {
      continue;
    }
    TFASTMEMLIST level;
    level.LoadFromData(levels->View(i));
    bool replaced = false;
    for (uint64_t k = 0; k + 1 < macros.Count(); k += 2) {
      if (macros.ItemLength(k) > 0) {
        replaced |= ReplaceMacroInLevel(&level, macros.View(k),
                                        macros.View(k + 1), -1, sensitive);
      }
    }
    if (replaced) {
      levels->PutList(i, level);
      changed = true;
    }
  }
  return changed;
}
