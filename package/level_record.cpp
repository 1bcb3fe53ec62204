#include "package/level_record.h"

#include <array>

namespace {

constexpr std::array<std::string_view, 7> kKindNames = {
    "Normal",
    "Requirement",
    "Complex",
    "FileExport",
    "FileDirectoryCreationRemoval",
    "External",
    "Package"};

bool Fail(DecodeError* err, uint64_t offset, std::string what) {
  if (err != nullptr) {
    err->offset = offset;
    err->what = std::move(what);
  }
  return false;
}

// Parses item `index` of a record as a list (an empty item is allowed),
// translating its error offset into the record's.
bool ParseListItem(const ListView& record, uint64_t index, ListView* item,
                   DecodeError* err) {
  if (record.Item(index).empty()) {
    return true;
  }
  DecodeError inner;
  if (!item->Parse(record.Item(index), &inner)) {
    return Fail(err, record.ItemOffset(index) + inner.offset,
                "item " + std::to_string(index) + ": " + inner.what);
  }
  return true;
}

}  // namespace

std::string_view KindName(std::string_view code) {
  if (code.size() == 1 && code[0] >= '0' && code[0] <= '6') {
    return kKindNames[static_cast<size_t>(code[0] - '0')];
  }
  return {};
}

std::string_view KindCode(std::string_view name) {
  static constexpr std::array<std::string_view, 7> kCodes = {
      kKindNormal,
      kKindRequirement,
      kKindComplex,
      kKindFileExport,
      kKindFileDirectoryCreationRemoval,
      kKindExternal,
      kKindPackage};
  for (size_t i = 0; i < kKindNames.size(); ++i) {
    if (kKindNames[i] == name) {
      return kCodes[i];
    }
  }
  return {};
}

bool LevelRecordIsWellFormed(std::string_view record, DecodeError* err) {
  ListView view;
  if (!view.Parse(record, err)) {
    return false;
  }
  if (view.Count() != kLevelItemCount) {
    return Fail(err, 1,
                "the record holds " + std::to_string(view.Count()) +
                    " items instead of 13");
  }
  ListView comment_lines;
  ListView code;
  ListView entries;  // stays empty when item 11 is
  if (!ParseListItem(view, kCommentLines, &comment_lines, err) ||
      !ParseListItem(view, kFileEntries, &entries, err) ||
      !ParseListItem(view, kCode, &code, err)) {
    return false;
  }
  const uint64_t entries_offset = view.ItemOffset(kFileEntries);
  ListView entry;
  for (uint64_t j = 0; j < entries.Count(); ++j) {
    DecodeError inner;
    const uint64_t entry_offset = entries_offset + entries.ItemOffset(j);
    if (!entry.Parse(entries.Item(j), &inner)) {
      return Fail(err, entry_offset + inner.offset,
                  "file entry " + std::to_string(j) + ": " + inner.what);
    }
    if (entry.Count() != kFileEntryItemCount) {
      return Fail(err, entry_offset,
                  "file entry " + std::to_string(j) + " holds " +
                      std::to_string(entry.Count()) + " items instead of 4");
    }
  }
  return true;
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
