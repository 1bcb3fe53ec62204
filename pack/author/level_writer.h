// Level records written from plain fields, for the levels qrlpack makes
// itself (the item layout is described in package/level_record.h). Lists
// get the smallest width, as every writer should.
#ifndef QRL_PACK_AUTHOR_LEVEL_WRITER_H_
#define QRL_PACK_AUTHOR_LEVEL_WRITER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "package/level_record.h"

struct EntryFields {
  std::string path;                     // written with "/" separators
  std::string_view type = kTypeBinary;  // kTypeText or kTypeBinary
  std::vector<std::string> lines;       // a text entry's content
  std::string bytes;                    // a binary entry's content
};

struct LevelFields {
  int64_t number = 1;
  std::string_view kind = kKindNormal;
  std::string presentation;
  std::string label;
  std::vector<std::string> comment_lines;
  std::string requirements;
  std::string options;
  std::vector<EntryFields> entries;
  std::string_view code_type = kTypeText;
  std::vector<std::string> code;  // the code items after the type
};

// The serialized record; the severity is 3, the symbols empty.
std::string LevelRecordData(const LevelFields& level);

// A level of that number, kind and presentation, everything else default.
LevelFields NewLevel(int64_t number, std::string_view kind,
                     std::string presentation);

// The macro under which every path of a package made from a change stands,
// and such a path.
inline constexpr std::string_view kRootMacro = "{ROOT}";
std::string Rooted(std::string_view path);

// The requirements that let a level run under one action only.
inline constexpr std::string_view kApplyOnly = "ACTION_APPLY";
inline constexpr std::string_view kReverseOnly = "ACTION_REVERSE";

// The serialized list of `items`.
std::string ListData(const std::vector<std::string>& items);

#endif  // QRL_PACK_AUTHOR_LEVEL_WRITER_H_
