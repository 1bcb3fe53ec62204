#include "package/level_view.h"

#include <atomic>
#include <iterator>

#include "package/level_record.h"

namespace {

std::atomic<uint64_t> decode_count{0};

// The codes and names of the kinds, in the order of LevelKind.
constexpr std::string_view kCodes[] = {kKindNormal,
                                       kKindRequirement,
                                       kKindComplex,
                                       kKindFileExport,
                                       kKindFileDirectoryCreationRemoval,
                                       kKindExternal,
                                       kKindPackage};

constexpr std::string_view kNames[] = {"Normal",
                                       "Requirement",
                                       "Complex",
                                       "FileExport",
                                       "FileDirectoryCreationRemoval",
                                       "External",
                                       "Package"};

static_assert(std::size(kCodes) == kLevelKindCount &&
                  std::size(kNames) == kLevelKindCount,
              "every LevelKind needs its code and name");

bool Fail(DecodeError* err, uint64_t offset, std::string what) {
  if (err != nullptr && err->what.empty()) {
    err->offset = offset;
    err->what = std::move(what);
  }
  return false;
}

// Decodes one item of the record as a list of lines (an empty item is an
// empty list); false, with the offset translated into the record's, when
// it is not a list.
bool DecodeLines(std::string_view item, uint64_t item_offset,
                 uint64_t item_index, std::vector<std::string_view>* lines,
                 DecodeError* err) {
  lines->clear();
  if (item.empty()) {
    return true;
  }
  ListView list;
  DecodeError inner;
  if (!list.Parse(item, &inner)) {
    return Fail(err, item_offset + inner.offset,
                "item " + std::to_string(item_index) + ": " + inner.what);
  }
  lines->reserve(list.Count());
  for (uint64_t i = 0; i < list.Count(); ++i) {
    lines->push_back(list.Item(i));
  }
  return true;
}

bool DecodeEntry(std::string_view data, uint64_t offset, uint64_t index,
                 FileEntryView* entry, DecodeError* err) {
  ListView fields;
  DecodeError inner;
  if (!fields.Parse(data, &inner)) {
    entry->whole = false;
    return Fail(err, offset + inner.offset,
                "file entry " + std::to_string(index) + ": " + inner.what);
  }
  entry->separator = fields.ItemOrEmpty(kEntrySeparator);
  entry->path = fields.ItemOrEmpty(kEntryPath);
  entry->type = fields.ItemOrEmpty(kEntryType);
  entry->content = fields.ItemOrEmpty(kEntryContent);
  if (entry->type == kTypeText) {
    ListView lines;
    entry->lines_valid = lines.Parse(entry->content);
    if (entry->lines_valid) {
      entry->lines.reserve(lines.Count());
      for (uint64_t i = 0; i < lines.Count(); ++i) {
        entry->lines.push_back(lines.Item(i));
      }
    }
  }
  if (fields.Count() != kFileEntryItemCount) {
    entry->whole = false;
    return Fail(err, offset,
                "file entry " + std::to_string(index) + " holds " +
                    std::to_string(fields.Count()) + " items instead of 4");
  }
  return true;
}

// Item 11 as a list of entries; an empty item is an empty list.
bool ParseEntries(std::string_view item, uint64_t item_offset, ListView* list,
                  DecodeError* err) {
  DecodeError inner;
  if (item.empty() || list->Parse(item, &inner)) {
    return true;
  }
  return Fail(err, item_offset + inner.offset,
              "item " + std::to_string(kFileEntries) + ": " + inner.what);
}

bool DecodeEntries(const ListView& list, uint64_t item_offset,
                   std::vector<FileEntryView>* entries, DecodeError* err) {
  entries->resize(list.Count());
  bool ok = true;
  for (uint64_t j = 0; j < list.Count(); ++j) {
    ok &= DecodeEntry(list.Item(j), item_offset + list.ItemOffset(j), j,
                      &(*entries)[j], err);
  }
  return ok;
}

// Decodes the items of a record that `item(i)` gives, `count` of them;
// `offset(i)` places item i in the serialized record, for *err.
template <typename ItemAt, typename OffsetAt>
bool DecodeItems(uint64_t count, ItemAt item_at, OffsetAt offset_at,
                 LevelView* level, DecodeError* err) {
  decode_count.fetch_add(1, std::memory_order_relaxed);
  *level = LevelView();
  bool ok = true;
  if (count != kLevelItemCount) {
    ok = Fail(
        err, 1,
        "the record holds " + std::to_string(count) + " items instead of 13");
  }
  const auto item = [&](uint64_t i) {
    return i < count ? item_at(i) : std::string_view();
  };
  const auto offset = [&](uint64_t i) {
    return i < count ? offset_at(i) : uint64_t{0};
  };
  level->number = item(kLevelNumber);
  level->kind_code = item(kKindCode);
  level->kind = LevelKindOf(level->kind_code);
  level->presentation = item(kPresentation);
  level->label = item(kLabel);
  level->item4 = item(kItem4);
  level->severity = item(kSeverity);
  level->success_symbols = item(kSuccessSymbols);
  level->failure_symbols = item(kFailureSymbols);
  level->requirements = item(kRequirements);
  level->options = item(kOptions);
  ok &= DecodeLines(item(kCommentLines), offset(kCommentLines), kCommentLines,
                    &level->comment_lines, err);
  // Checked in the order a reader meets them: the entry list and the code
  // before the entries inside.
  ListView entries;
  ok &= ParseEntries(item(kFileEntries), offset(kFileEntries), &entries, err);
  ok &= DecodeLines(item(kCode), offset(kCode), kCode, &level->code, err);
  ok &= DecodeEntries(entries, offset(kFileEntries), &level->entries, err);
  return ok;
}

void AddList(const std::vector<std::string_view>& items, TFASTMEMLIST* list) {
  list->Add(LinesData(items));
}

}  // namespace

LevelKind LevelKindOf(std::string_view code) {
  for (size_t i = 0; i < std::size(kCodes); ++i) {
    if (kCodes[i] == code) {
      return static_cast<LevelKind>(i);
    }
  }
  return LevelKind::kUnknown;
}

std::string_view LevelKindName(LevelKind kind) {
  const auto i = static_cast<size_t>(kind);
  return i < std::size(kNames) ? kNames[i] : std::string_view();
}

std::string_view LevelKindCode(LevelKind kind) {
  const auto i = static_cast<size_t>(kind);
  return i < std::size(kCodes) ? kCodes[i] : std::string_view();
}

bool DecodeLevel(std::string_view record, LevelView* level, DecodeError* err) {
  ListView view;
  DecodeError inner;
  const bool parsed = view.Parse(record, &inner);
  if (!parsed) {
    Fail(err, inner.offset, inner.what);
  }
  const bool ok = DecodeItems(
      view.Count(), [&view](uint64_t i) { return view.Item(i); },
      [&view](uint64_t i) { return view.ItemOffset(i); }, level, err);
  return parsed && ok;
}

bool DecodeLevel(const TFASTMEMLIST& record, LevelView* level,
                 DecodeError* err) {
  // Offsets are those of the serialized form at the list's width.
  return DecodeItems(
      record.Count(), [&record](uint64_t i) { return record.View(i); },
      [&record](uint64_t i) {
        uint64_t offset =
            1 + uint64_t{record.ListWidth()} * (record.Count() + 1);
        for (uint64_t k = 0; k < i; ++k) {
          offset += record.ItemLength(k);
        }
        return offset;
      },
      level, err);
}

std::string EncodeLevel(const LevelView& level) {
  TFASTMEMLIST entries;
  for (const FileEntryView& entry : level.entries) {
    AddList({entry.separator, entry.path, entry.type, entry.content}, &entries);
  }
  TFASTMEMLIST record;
  for (std::string_view item :
       {level.number, level.kind_code, level.presentation, level.label,
        level.item4, level.severity, level.success_symbols,
        level.failure_symbols}) {
    record.Add(item);
  }
  AddList(level.comment_lines, &record);
  record.Add(level.requirements);
  record.Add(level.options);
  record.Add(entries.SaveToString());
  AddList(level.code, &record);
  return record.SaveToString();
}

std::string LinesData(const std::vector<std::string_view>& items) {
  TFASTMEMLIST list;
  for (std::string_view item : items) {
    list.Add(item);
  }
  return list.SaveToString();
}

uint64_t LevelDecodeCount() {
  return decode_count.load(std::memory_order_relaxed);
}
