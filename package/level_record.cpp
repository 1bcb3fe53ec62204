#include "package/level_record.h"

#include "package/level_view.h"

std::string_view KindName(std::string_view code) {
  return LevelKindName(LevelKindOf(code));
}

std::string_view KindCode(std::string_view name) {
  for (size_t i = 0; i < kLevelKindCount; ++i) {
    if (LevelKindName(static_cast<LevelKind>(i)) == name) {
      return LevelKindCode(static_cast<LevelKind>(i));
    }
  }
  return {};
}

bool LevelRecordIsWellFormed(std::string_view record, DecodeError* err) {
  LevelView level;
  return DecodeLevel(record, &level, err);
}

uint64_t FileEntryCount(const TFASTMEMLIST& level) {
  return DataCount(level.View(kFileEntries));
}

void GetFileEntry(const TFASTMEMLIST& level, uint64_t entry_index,
                  TFASTMEMLIST* entry) {
  entry->Clear();
  entry->LoadFromData(DataItem(level.View(kFileEntries), entry_index));
}

std::string FileEntryField(const TFASTMEMLIST& level, uint64_t entry_index,
                           uint64_t field) {
  return DataItem(DataItem(level.View(kFileEntries), entry_index), field);
}

void PutFileEntry(TFASTMEMLIST* level, const TFASTMEMLIST& entry,
                  uint64_t entry_index) {
  TFASTMEMLIST entries;
  entries.LoadFromData(level->View(kFileEntries));
  entries.PutList(entry_index, entry);
  level->PutList(kFileEntries, entries);
}
