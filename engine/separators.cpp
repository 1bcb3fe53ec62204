#include "engine/separators.h"

#include "package/level_record.h"
#include "services/string_utils.h"

namespace {

constexpr std::string_view kPathKey = "PATH ";
constexpr std::string_view kPathPlusKey = "PATH+ ";

// Whether a path whose separator is `separator` is to be converted.
bool Converts(std::string_view separator, std::string_view source,
              std::string_view target) {
  return separator != target && (source.empty() || separator == source);
}

void ConvertFileEntries(TFASTMEMLIST* level, std::string_view source,
                        std::string_view target) {
  TFASTMEMLIST entries;
  entries.LoadFromData(level->View(kFileEntries));
  bool changed = false;
  for (uint64_t j = 0; j < entries.Count(); ++j) {
    TFASTMEMLIST entry;
    entry.LoadFromData(entries.View(j));
    if (entry.Count() < kFileEntryItemCount ||
        !Converts(entry.View(kEntrySeparator), source, target)) {
      continue;
    }
    std::string path = entry.Get(kEntryPath);
    if (ReplaceAll(&path, entry.View(kEntrySeparator), target,
                   CaseSensitive::kYes)) {
      entry.Put(kEntryPath, path);
      entries.PutList(j, entry);
      changed = true;
    }
  }
  if (changed) {
    level->PutList(kFileEntries, entries);
  }
}

// Replaces the character at `at` of `text`, wherever it occurs in the text,
// by `target`, when that character is `source` (or `source` is empty).
bool ConvertByCharacterAt(std::string* text, size_t at, std::string_view source,
                          std::string_view target) {
  if (text->size() <= at) {
    return false;
  }
  const std::string separator(1, (*text)[at]);
  if (!source.empty() && separator != source) {
    return false;
  }
  return ReplaceAll(text, separator, target, CaseSensitive::kYes);
}

void ConvertCode(TFASTMEMLIST* level, std::string_view source,
                 std::string_view target) {
  const std::string_view kind = level->View(kKindCode);
  if (kind != kKindFileDirectoryCreationRemoval && kind != kKindPackage &&
      kind != kKindExternal) {
    return;
  }
  TFASTMEMLIST code;
  code.LoadFromData(level->View(kCode));
  if (code.Count() == 0) {
    return;
  }
  if (kind == kKindFileDirectoryCreationRemoval) {
    // Each line: operation, separator, path.
    code.Put(0, kTypeText);
    for (uint64_t i = 1; i < code.Count(); ++i) {
      std::string line = code.Get(i);
      if (line.size() >= 3 && ConvertByCharacterAt(&line, 1, source, target)) {
        code.Put(i, line);
      }
    }
  } else if (kind == kKindPackage) {
    if (code.View(0) != kTypeText || code.Count() < 2) {
      return;
    }
    std::string path = code.Get(1);
    if (path.size() >= 3 && ConvertByCharacterAt(&path, 0, source, target)) {
      code.Put(1, path);
    }
  } else {
    // External: start directory, executable, process directory.
    for (uint64_t i = 2; i <= 4 && i < code.Count(); ++i) {
      std::string path = code.Get(i);
      if (ConvertByCharacterAt(&path, 0, source, target)) {
        code.Put(i, path);
      }
    }
  }
  level->PutList(kCode, code);
}

}  // namespace

void ConvertSeparators(TFASTMEMLIST* level, std::string_view source,
                       std::string_view target) {
  std::string options = level->Get(kOptions);
  ConvertPathOption(&options, source, target);
  level->Put(kOptions, options);
  ConvertFileEntries(level, source, target);
  ConvertCode(level, source, target);
}

void ConvertPathOption(std::string* options, std::string_view source,
                       std::string_view target) {
  std::string_view key = kPathKey;
  std::string item = FindItemWithPrefix(kPathKey, *options, ',');
  if (item.empty()) {
    key = kPathPlusKey;
    item = FindItemWithPrefix(kPathPlusKey, *options, ',');
  }
  if (item.empty()) {
    return;
  }
  RemoveItemFromSeparatedText(options, ",", item, CaseSensitive::kYes);
  std::string value = item.substr(key.size());
  if (!source.empty()) {
    ReplaceAll(&value, source, target, CaseSensitive::kYes);
  }
  AppendWithSeparator(std::string(key) + value, ',', options);
}

std::string StoredPathToPath(std::string_view stored) {
  if (stored.empty()) {
    return std::string();
  }
  std::string path(stored.substr(1));
  if (stored[0] != '/') {
    for (char& c : path) {
      if (c == stored[0]) {
        c = '/';
      }
    }
  }
  return path;
}

void StoredPathsToPaths(LineList* stored) {
  for (std::string& line : stored->lines()) {
    line = StoredPathToPath(line);
  }
}
