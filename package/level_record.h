// The level record: one step of a package, a serialized list of 13 items,
// some of them serialized lists themselves. This unit names the items, the
// kinds and the file-entry fields, checks a record's shape, and reaches
// into the file entries. Code that reads a level reads it decoded, as a
// LevelView (package/level_view.h).
//
//   0 level number (decimal text)   7 failure symbols
//   1 kind code ("0" .. "6")        8 comment lines (serialized list)
//   2 presentation                  9 requirements
//   3 label                         10 options
//   4 item 4 (carried only)         11 file entries (serialized list of
//   5 severity (decimal text)          serialized 4-item entries)
//   6 success symbols               12 code (serialized list; item 0 is the
//                                      code type, "0" text, "1" binary)
//
// A file entry: 0 separator ("/" or "\"), 1 path written with it, 2 content
// type ("0" text, "1" binary), 3 content (a serialized list of lines for
// text, the raw bytes for binary).
#ifndef QRL_PACKAGE_LEVEL_RECORD_H_
#define QRL_PACKAGE_LEVEL_RECORD_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "fastmemlist/fastmemlist.h"

enum LevelItem : uint64_t {
  kLevelNumber = 0,
  kKindCode = 1,
  kPresentation = 2,
  kLabel = 3,
  kItem4 = 4,
  kSeverity = 5,
  kSuccessSymbols = 6,
  kFailureSymbols = 7,
  kCommentLines = 8,
  kRequirements = 9,
  kOptions = 10,
  kFileEntries = 11,
  kCode = 12,
  kLevelItemCount = 13,
};

enum FileEntryItem : uint64_t {
  kEntrySeparator = 0,
  kEntryPath = 1,
  kEntryType = 2,
  kEntryContent = 3,
  kFileEntryItemCount = 4,
};

// Kind codes (item 1).
inline constexpr std::string_view kKindNormal = "0";
inline constexpr std::string_view kKindRequirement = "1";
inline constexpr std::string_view kKindComplex = "2";
inline constexpr std::string_view kKindFileExport = "3";
inline constexpr std::string_view kKindFileDirectoryCreationRemoval = "4";
inline constexpr std::string_view kKindExternal = "5";
inline constexpr std::string_view kKindPackage = "6";

// Code and content types.
inline constexpr std::string_view kTypeText = "0";
inline constexpr std::string_view kTypeBinary = "1";

// "Normal", "Requirement", ... for the codes "0" to "6"; empty for others.
std::string_view KindName(std::string_view code);
// The code of a kind name (exact spelling); empty for an unknown name.
std::string_view KindCode(std::string_view name);

// True when `record` is a list of 13 items whose items 8, 11 and 12 are
// empty or serialized lists, and each file entry is a list of 4 items.
// *err gives the offset within the record.
bool LevelRecordIsWellFormed(std::string_view record, DecodeError* err);

// File-entry accessors on a decoded record. Indexes are not checked.
uint64_t FileEntryCount(const TFASTMEMLIST& level);
void GetFileEntry(const TFASTMEMLIST& level, uint64_t entry_index,
                  TFASTMEMLIST* entry);
std::string FileEntryField(const TFASTMEMLIST& level, uint64_t entry_index,
                           uint64_t field);
void PutFileEntry(TFASTMEMLIST* level, const TFASTMEMLIST& entry,
                  uint64_t entry_index);

#endif  // QRL_PACKAGE_LEVEL_RECORD_H_
