#include "engine/normal_level.h"

#include <vector>

#include "package/level_record.h"
#include "services/file_services.h"
#include "services/string_utils.h"

namespace {

// Puts `block` before the code (position 1) or after it (position 2).
void Place(const LineList& block, uint8_t position, LineList* code) {
  if (position == kMarkerBefore) {
    InsertList(block, code, 0);
  } else if (position == kMarkerAfter) {
    InsertList(block, code, static_cast<int64_t>(code->Count()));
  }
}

// What a Normal level works with, read from its prepared record.
struct NormalParts {
  bool well_formed = false;  // file entry 0 and a code type are there
  std::string file;          // the target file
  std::string old_type;
  std::string old_code;  // serialized lines (text) or bytes (binary)
  TFASTMEMLIST code;     // item 0 the type, then lines or item 1 the bytes
  bool text_code = false;
  LineList wrapped;    // text code: the framed lines
  std::string binary;  // binary code: its bytes
};

NormalParts ReadParts(const LevelCall& call) {
  NormalParts parts;
  const TFASTMEMLIST& level = call.level;
  parts.code.LoadFromData(level.View(kCode));
  if (FileEntryCount(level) == 0 || parts.code.Count() == 0) {
    return parts;
  }
  TFASTMEMLIST entry;
  GetFileEntry(level, 0, &entry);
  parts.file = entry.Get(kEntryPath);
  parts.old_type = entry.Get(kEntryType);
  parts.old_code = entry.Get(kEntryContent);
  parts.text_code = parts.code.View(0) == kTypeText;
  if (parts.text_code) {
    for (uint64_t i = 1; i < parts.code.Count(); ++i) {
      parts.wrapped.Add(parts.code.Get(i));
    }
    LineList comments;
    DataToStrings(level.View(kCommentLines), &comments);
    WrapCode(call.state.settings, comments, level.View(kLabel), call.number,
             &parts.wrapped);
  } else if (parts.code.Count() > 1) {
    parts.binary = parts.code.Get(1);
  }
  parts.well_formed = true;
  return parts;
}

// The form in which earlier versions of this program wrote new code into
// the file wherever it was inserted as bytes: the serialized list of the
// code items (wrapped lines, or the item that holds the bytes).
std::string SerializedNewCode(const NormalParts& parts) {
  if (parts.text_code) {
    return DataAddStrings("", parts.wrapped);
  }
  TFASTMEMLIST items = parts.code;
  items.Delete(0);
  return items.SaveToString();
}

struct Search {
  std::string data;
  std::string type;
};

}  // namespace

void WrapCode(const TSETTINGSBLOCK& settings, const LineList& comment_lines,
              std::string_view label, std::string_view number, LineList* code) {
  if (!comment_lines.Empty()) {
    LineList block;
    if (!settings.comment_block.prefix.empty()) {
      block.Add(settings.comment_block.prefix);
    }
    InsertList(comment_lines, &block, static_cast<int64_t>(block.Count()));
    if (!settings.comment_block.suffix.empty()) {
      block.Add(settings.comment_block.suffix);
    }
    Place(block, settings.comment_block.position, code);
  }
  const TMARKERGROUP& label_marker = settings.label_marker;
  Place(
      LineList{label_marker.prefix + std::string(label) + label_marker.suffix},
      label_marker.position, code);
  const TMARKERGROUP& level_marker = settings.level_marker;
  Place(
      LineList{level_marker.prefix + std::string(number) + level_marker.suffix},
      level_marker.position, code);
}

bool ReplaceCode(std::string* content, std::string_view search,
                 std::string_view search_type, std::string_view put,
                 std::string_view put_type) {
  if (search_type == kTypeText) {
    if (put_type != kTypeText && put_type != kTypeBinary) {
      return false;
    }
    LineList block;
    DataToStrings(search, &block);
    const std::vector<std::string_view> lines = SplitLines(*content);
    const int64_t at = FindLineBlock(lines, block);
    if (at < 0) {
      return false;
    }
    LineList put_lines;
    if (put_type == kTypeText) {
      DataToStrings(put, &put_lines);
    } else if (!put.empty()) {
      put_lines.Add(std::string(put));  // the bytes as one line
    }
    // The file is rebuilt from its lines, each ended by a LF, with the put
    // lines in place of the block.
    std::string rebuilt;
    rebuilt.reserve(content->size() + put.size() + put_lines.Count() + 1);
    const auto add_line = [&rebuilt](std::string_view line) {
      rebuilt += line;
      rebuilt += '\n';
    };
    const size_t first = static_cast<size_t>(at);
    for (size_t i = 0; i < first; ++i) {
      add_line(lines[i]);
    }
    for (const std::string& line : put_lines) {
      add_line(line);
    }
    for (size_t i = first + block.Count(); i < lines.size(); ++i) {
      add_line(lines[i]);
    }
    *content = std::move(rebuilt);
    return true;
  }
  if (search_type == kTypeBinary) {
    uint64_t at = 0;
    if (!FindBytes(search.data(), content->data(), search.size(),
                   content->size(), &at)) {
      return false;
    }
    content->replace(at, search.size(), put);
    return true;
  }
  return false;
}

LevelOutcome ApplyNormalLevel(const LevelCall& call) {
  const NormalParts parts = ReadParts(call);
  if (!parts.well_formed) {
    return LevelOutcome::Failed("");
  }
  std::string content;
  if (!call.state.files.Read(parts.file, &content)) {
    return LevelOutcome::Failed(LevelMessage(
        "FILE " + parts.file + " CAN'T BE READ! CAN'T APPLY LEVEL ", call));
  }
  // The file receives the new code's content: framed lines, or the bytes of
  // binary code. Lines put where bytes matched are each ended with a LF.
  std::string put;
  std::string put_type;
  if (parts.text_code) {
    put_type = std::string(kTypeText);
    put = parts.old_type == kTypeText ? DataAddStrings("", parts.wrapped)
                                      : parts.wrapped.Text();
  } else {
    put_type = std::string(kTypeBinary);
    put = parts.binary;
  }
  if (!ReplaceCode(&content, parts.old_code, parts.old_type, put, put_type)) {
    return LevelOutcome::Failed("");
  }
  if (!call.state.files.Write(parts.file, content)) {
    return LevelOutcome::Failed(LevelMessage(
        "FILE " + parts.file + " CAN'T BE SAVED! CAN'T APPLY LEVEL ", call));
  }
  return LevelOutcome::Success();
}

LevelOutcome ReverseNormalLevel(const LevelCall& call) {
  const NormalParts parts = ReadParts(call);
  if (!FileExists(parts.file)) {
    return LevelOutcome::Failed(LevelMessage(
        "FILE " + parts.file + " DOESN'T EXIST! CAN'T REVERSE LEVEL ", call));
  }
  std::string content;
  if (!call.state.files.Read(parts.file, &content)) {
    return LevelOutcome::Failed(LevelMessage(
        "FILE " + parts.file + " CAN'T BE READ! CAN'T APPLY LEVEL ", call));
  }
  // Take out exactly what applying put in. Where it put bytes, look first
  // for the serialized form that earlier versions wrote (it holds the plain
  // bytes, so the other order would leave its length header behind).
  std::vector<Search> searches;
  std::string put = parts.old_code;
  std::string put_type = parts.old_type;
  bool normalise_lines = false;
  if (!parts.well_formed) {
    // Nothing to look for: the level names no file or no code.
  } else if (parts.text_code && parts.old_type == kTypeText) {
    searches.push_back({DataAddStrings("", parts.wrapped), "0"});
  } else if (parts.text_code && parts.old_type == kTypeBinary) {
    searches.push_back({SerializedNewCode(parts), "1"});
    if (!parts.wrapped.Empty()) {
      searches.push_back({parts.wrapped.Text(), "1"});
    }
  } else if (!parts.text_code && parts.old_type == kTypeText) {
    // The bytes stood as one line of their own; the obsolete lines go back
    // in their place.
    searches.push_back({SerializedNewCode(parts) + "\n", "1"});
    if (!parts.binary.empty()) {
      searches.push_back({parts.binary + "\n", "1"});
    }
    LineList old_lines;
    DataToStrings(parts.old_code, &old_lines);
    put = old_lines.Text();
    put_type = std::string(kTypeBinary);
    normalise_lines = true;
  } else if (!parts.text_code && parts.old_type == kTypeBinary) {
    searches.push_back({SerializedNewCode(parts), "1"});
    if (!parts.binary.empty()) {
      searches.push_back({parts.binary, "1"});
    }
  }
  bool replaced = false;
  for (const Search& search : searches) {
    if (ReplaceCode(&content, search.data, search.type, put, put_type)) {
      replaced = true;
      break;
    }
  }
  if (!replaced) {
    return LevelOutcome::Failed(LevelMessage(
        "FILE " + parts.file +
            " DOESN'T CONTAIN THE OBSOLETE CODE! CAN'T REVERSE LEVEL ",
        call));
  }
  if (normalise_lines) {
    LineList lines;
    lines.SetText(content);
    content = lines.Text();
  }
  if (!call.state.files.Write(parts.file, content)) {
    return LevelOutcome::Failed(LevelMessage(
        "FILE " + parts.file + " CAN'T BE SAVED! CAN'T REVERSE LEVEL ", call));
  }
  return LevelOutcome::Success();
}
