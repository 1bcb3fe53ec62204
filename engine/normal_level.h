// A Normal level changes one file: applying replaces a block of obsolete
// code by the new code framed with marker lines; reversing finds the framed
// new code and puts the obsolete code back. The frame (level line, label
// line, comment block) comes from the settings block, so reversing needs
// the settings, macros and level number that applying used.
#ifndef QRL_ENGINE_NORMAL_LEVEL_H_
#define QRL_ENGINE_NORMAL_LEVEL_H_

#include <string>
#include <string_view>
#include <vector>

#include "engine/driver_state.h"
#include "fastmemlist/fastmemlist.h"
#include "package/settings_block.h"
#include "services/line_list.h"

// Frames text code lines: the comment lines between the comment header and
// trailer (each only when not empty; the block only when there are comment
// lines), then the label line (prefix + label + suffix), then the level
// line (prefix + number + suffix), each put before the code or after it as
// its group's position says.
void WrapCode(const TSETTINGSBLOCK& settings, const LineList& comment_lines,
              std::string_view label, std::string_view number, LineList* code);

// Replaces the first occurrence of `search` in `content` by `put`.
// Text search ("0"): `search` is a serialized list of lines, found in the
// content's lines compared trimmed and ignoring case; the content is then
// rebuilt with LF after every line. The put data is, for put type "0", a
// serialized list of lines to insert; for "1", bytes inserted as one line.
// Binary search ("1"): `search` is bytes, found as they are; `put` is
// inserted in their place byte for byte. False, with the content
// unchanged, when the search data is not found or a type is unknown.
bool ReplaceCode(std::string* content, std::string_view search,
                 std::string_view search_type, std::string_view put,
                 std::string_view put_type);

// What a Normal level works with, read from its prepared record.
struct NormalLevelParts {
  bool well_formed = false;  // file entry 0 and a code type are there
  std::string file;          // the target file
  std::string old_type;
  std::string old_code;  // serialized lines (text) or bytes (binary)
  // Text obsolete code: its lines, viewing the level's record.
  std::vector<std::string_view> old_lines;
  // The code item: the type, then lines or (item 1) the bytes; views of
  // the record.
  std::vector<std::string_view> code;
  bool text_code = false;
  LineList wrapped;    // text code: the framed lines
  std::string binary;  // binary code: its bytes
};

// The parts of the level in `call`, its new code framed for the running
// level number as applying and reversing frame it.
NormalLevelParts ReadNormalLevelParts(const LevelCall& call);

LevelOutcome ApplyNormalLevel(const LevelCall& call);
LevelOutcome ReverseNormalLevel(const LevelCall& call);

#endif  // QRL_ENGINE_NORMAL_LEVEL_H_
