// The typed level: a level record (package/level_record.h lists its 13
// items) decoded once into named fields that view the record's bytes, and
// the one encoder that writes a record from such fields. Decoding checks
// every length against the bytes at hand and never copies an item; the
// record must outlive the view.
#ifndef QRL_PACKAGE_LEVEL_VIEW_H_
#define QRL_PACKAGE_LEVEL_VIEW_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fastmemlist/fastmemlist.h"
#include "fastmemlist/list_view.h"

// The kinds a level record names in item 1; kUnknown stands for any other
// code, which the drivers leave undone.
enum class LevelKind : uint8_t {
  kNormal,
  kRequirement,
  kComplex,
  kFileExport,
  kFileDirectoryCreationRemoval,
  kExternal,
  kPackage,
  kUnknown,
};
inline constexpr size_t kLevelKindCount = 7;  // the known kinds

// "Normal", "Requirement", ...; empty for kUnknown.
std::string_view LevelKindName(LevelKind kind);
// Whether a table keyed by LevelKind (each row with a `kind`) has one row
// per known kind, in the enum's order; tables check it in a static_assert.
template <typename Row, size_t N>
constexpr bool RowsFollowLevelKinds(const Row (&rows)[N]) {
  for (size_t i = 0; i < N; ++i) {
    if (static_cast<size_t>(rows[i].kind) != i) {
      return false;
    }
  }
  return N == kLevelKindCount;
}

// The kind of a code ("0" .. "6"); kUnknown for any other text.
LevelKind LevelKindOf(std::string_view code);
// The code of a known kind; empty for kUnknown.
std::string_view LevelKindCode(LevelKind kind);

// One file entry: 0 separator, 1 path, 2 content type, 3 content.
struct FileEntryView {
  std::string_view separator;
  std::string_view path;
  std::string_view type;
  std::string_view content;  // raw: serialized lines or bytes
  // The lines of text content, when the content decodes as a list.
  std::vector<std::string_view> lines;
  bool lines_valid = false;  // text content that decodes as a list
  bool whole = true;         // the entry held its 4 items

  bool operator==(const FileEntryView&) const = default;
};

struct LevelView {
  LevelKind kind = LevelKind::kUnknown;
  std::string_view kind_code;     // item 1 as stored
  std::string_view number;        // item 0, decimal text
  std::string_view presentation;  // item 2
  std::string_view label;         // item 3
  std::string_view item4;         // carried only
  std::string_view severity;      // item 5, decimal text
  std::string_view success_symbols;
  std::string_view failure_symbols;
  std::vector<std::string_view> comment_lines;  // item 8
  std::string_view requirements;                // item 9
  std::string_view options;                     // item 10
  std::vector<FileEntryView> entries;           // item 11
  std::vector<std::string_view> code;           // item 12: code type, then code

  // The code type (code item 0), empty when the code list is.
  std::string_view CodeType() const {
    return code.empty() ? std::string_view() : code[0];
  }

  bool operator==(const LevelView&) const = default;
};

// Decodes a record. False, with *err saying where, when it is not a list
// of 13 items whose items 8, 11 and 12 are empty or lists and whose file
// entries are lists of 4 items; *level then still holds what could be
// read: a missing item reads empty, an undecodable list has no items, and
// a file entry that is not 4 items reads the items it has.
bool DecodeLevel(std::string_view record, LevelView* level,
                 DecodeError* err = nullptr);
// The same for a record already split into items (a prepared level).
bool DecodeLevel(const TFASTMEMLIST& record, LevelView* level,
                 DecodeError* err = nullptr);

// The record of `level`: items 8, 11 and 12 as lists (empty lists when
// the vectors are), every list at its smallest width. `lines` of an entry
// are not read: its `content` is written as it stands. `kind_code` is
// written; callers that set only `kind` use LevelKindCode for it.
std::string EncodeLevel(const LevelView& level);

// The serialized list of `items`; what a text entry's content holds.
std::string LinesData(const std::vector<std::string_view>& items);

// How many times DecodeLevel ran in this process; lets tests count the
// decodes of one walk.
uint64_t LevelDecodeCount();

#endif  // QRL_PACKAGE_LEVEL_VIEW_H_
