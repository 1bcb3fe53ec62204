#include "engine/normal_level.h"

#include <vector>

#include "engine/target_files.h"
#include "fastmemlist/list_view.h"
#include "package/level_record.h"
#include "services/diagnostics.h"
#include "services/editable_text.h"
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

// The form in which earlier versions of this program wrote new code into
// the file wherever it was inserted as bytes: the serialized list of the
// code items (wrapped lines, or the item that holds the bytes).
std::string SerializedNewCode(const NormalLevelParts& parts) {
  if (parts.text_code) {
    return DataAddStrings("", parts.wrapped);
  }
  return LinesData({parts.code.begin() + 1, parts.code.end()});
}

// The bytes that a line replacement puts in: every line ended by a LF,
// as rebuilding a file from its lines writes them.
std::string LinesAsBytes(const LineList& lines) { return lines.Text(); }

// One replacement of ReplaceCode, found but not carried out yet, so that
// its room on disk can be made before anything changes.
struct Replacement {
  enum class Kind { kLines, kBytes } kind = Kind::kLines;
  uint64_t at = 0;     // the first line, or byte offset
  uint64_t count = 0;  // lines, or bytes, replaced
  std::string put;     // the bytes put in
  std::string found;   // bytes: what stood there, to put it back
};

// What a replacement looks for: lines (type "0") or bytes (type "1").
struct Search {
  std::string_view type;
  std::string_view bytes;
  std::vector<std::string_view> lines;
};

// The lines serialized in `data`; none when it is not a list.
std::vector<std::string_view> ListLines(std::string_view data) {
  std::vector<std::string_view> lines;
  ListView list;
  if (list.Parse(data)) {
    for (uint64_t i = 0; i < list.Count(); ++i) {
      lines.push_back(list.Item(i));
    }
  }
  return lines;
}

// Looks for the search in the text as ReplaceCode does; false when it is
// not there or a type is unknown. Lines are looked for through the held
// file when there is one, which remembers its last search.
bool FindReplacement(EditableText& text, HeldFile* file, const Search& search,
                     std::string_view put, std::string_view put_type,
                     Replacement* replacement) {
  const std::string_view search_type = search.type;
  if (search_type == kTypeText) {
    if (put_type != kTypeText && put_type != kTypeBinary) {
      return false;
    }
    const int64_t at = file != nullptr
                           ? file->FindLines(search.lines)
                           : text.FindLines(LineBlock(search.lines));
    if (at < 0) {
      return false;
    }
    replacement->kind = Replacement::Kind::kLines;
    replacement->at = static_cast<uint64_t>(at);
    replacement->count = search.lines.size();
    if (put_type == kTypeText) {
      LineList put_lines;
      DataToStrings(put, &put_lines);
      replacement->put = LinesAsBytes(put_lines);
    } else if (!put.empty()) {
      replacement->put = std::string(put) + '\n';  // the bytes as one line
    }
    return true;
  }
  if (search_type == kTypeBinary) {
    if (!text.FindBytes(search.bytes, &replacement->at)) {
      return false;
    }
    replacement->kind = Replacement::Kind::kBytes;
    replacement->count = search.bytes.size();
    replacement->put = put;
    replacement->found = search.bytes;
    return true;
  }
  return false;
}

uint64_t SizeAfter(const EditableText& text, const Replacement& replacement) {
  if (replacement.kind == Replacement::Kind::kLines) {
    return text.SizeAfterReplaceLines(replacement.at, replacement.count,
                                      replacement.put);
  }
  return text.Size() - replacement.count + replacement.put.size();
}

void CarryOut(EditableText& text, const Replacement& replacement) {
  if (replacement.kind == Replacement::Kind::kLines) {
    text.ReplaceLines(replacement.at, replacement.count, replacement.put);
  } else {
    text.ReplaceBytes(replacement.at, replacement.count, replacement.put);
  }
}

// Carries the replacement out in the held file once its rewrite has room;
// false, with the text as it was, when it has not. With Ends::kAllLf every
// line of the result then ends with a LF.
enum class Ends { kAsTheyAre, kAllLf };

bool ChangeHeldFile(HeldFile* file, const Replacement& replacement, Ends ends) {
  const bool lf_ends = ends == Ends::kAllLf;
  EditableText& text = file->text();
  std::string err;
  if (!lf_ends) {
    if (!file->PrepareChange(SizeAfter(text, replacement), &err)) {
      Diagnose(err);
      return false;
    }
    CarryOut(text, replacement);
    return true;
  }
  // The size with LF ends is known once the bytes are in; putting back
  // what stood there undoes them when there is no room.
  CarryOut(text, replacement);
  if (!file->PrepareChange(text.SizeWithLfEnds(), &err)) {
    Diagnose(err);
    text.ReplaceBytes(replacement.at, replacement.put.size(),
                      replacement.found);
    return false;
  }
  text.EndLinesWithLf();
  return true;
}

// Why a file could not be held, as the report line words it.
std::string CannotReadMessage(const LevelCall& call, const std::string& file) {
  return LevelMessage("FILE " + file + " CAN'T BE READ! CAN'T APPLY LEVEL ",
                      call);
}

}  // namespace

NormalLevelParts ReadNormalLevelParts(const LevelCall& call) {
  NormalLevelParts parts;
  const LevelView& level = call.view;
  parts.code = level.code;
  if (level.entries.empty() || parts.code.empty()) {
    return parts;
  }
  const FileEntryView& entry = level.entries[0];
  parts.file = std::string(entry.path);
  parts.old_type = std::string(entry.type);
  parts.old_code = std::string(entry.content);
  parts.old_lines = entry.lines;
  parts.text_code = parts.code[0] == kTypeText;
  if (parts.text_code) {
    for (size_t i = 1; i < parts.code.size(); ++i) {
      parts.wrapped.Add(std::string(parts.code[i]));
    }
    LineList comments;
    for (std::string_view line : level.comment_lines) {
      comments.Add(std::string(line));
    }
    WrapCode(call.state.settings, comments, level.label, call.number,
             &parts.wrapped);
  } else if (parts.code.size() > 1) {
    parts.binary = std::string(parts.code[1]);
  }
  parts.well_formed = true;
  return parts;
}

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
  EditableText text(std::move(*content));
  Replacement replacement;
  const bool found =
      FindReplacement(text, nullptr, {search_type, search, ListLines(search)},
                      put, put_type, &replacement);
  if (found) {
    CarryOut(text, replacement);
  }
  *content = text.Text();
  return found;
}

LevelOutcome ApplyNormalLevel(const LevelCall& call) {
  const NormalLevelParts parts = ReadNormalLevelParts(call);
  if (!parts.well_formed) {
    return LevelOutcome::Failed("");
  }
  HeldFile* file = call.state.files.Hold(parts.file);
  if (file == nullptr) {
    return LevelOutcome::Failed(CannotReadMessage(call, parts.file));
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
  Replacement replacement;
  if (!FindReplacement(file->text(), file,
                       {parts.old_type, parts.old_code, parts.old_lines}, put,
                       put_type, &replacement)) {
    return LevelOutcome::Failed("");
  }
  if (!ChangeHeldFile(file, replacement, Ends::kAsTheyAre)) {
    return LevelOutcome::Failed(LevelMessage(
        "FILE " + parts.file + " CAN'T BE SAVED! CAN'T APPLY LEVEL ", call));
  }
  return LevelOutcome::Success();
}

LevelOutcome ReverseNormalLevel(const LevelCall& call) {
  const NormalLevelParts parts = ReadNormalLevelParts(call);
  TargetFiles::Access access;
  HeldFile* file = call.state.files.Hold(parts.file, &access);
  if (access == TargetFiles::Access::kMissing) {
    return LevelOutcome::Failed(LevelMessage(
        "FILE " + parts.file + " DOESN'T EXIST! CAN'T REVERSE LEVEL ", call));
  }
  if (file == nullptr) {
    return LevelOutcome::Failed(CannotReadMessage(call, parts.file));
  }
  // Take out exactly what applying put in. Where it put bytes, look first
  // for the serialized form that earlier versions wrote (it holds the plain
  // bytes, so the other order would leave its length header behind).
  std::vector<std::pair<std::string, std::string_view>> searches;
  std::string put = parts.old_code;
  std::string put_type = parts.old_type;
  bool lf_ends = false;
  if (!parts.well_formed) {
    // Nothing to look for: the level names no file or no code.
  } else if (parts.text_code && parts.old_type == kTypeText) {
    searches.emplace_back(DataAddStrings("", parts.wrapped), kTypeText);
  } else if (parts.text_code && parts.old_type == kTypeBinary) {
    searches.emplace_back(SerializedNewCode(parts), kTypeBinary);
    if (!parts.wrapped.Empty()) {
      searches.emplace_back(parts.wrapped.Text(), kTypeBinary);
    }
  } else if (!parts.text_code && parts.old_type == kTypeText) {
    // The bytes stood as one line of their own; the obsolete lines go back
    // in their place.
    searches.emplace_back(SerializedNewCode(parts) + "\n", kTypeBinary);
    if (!parts.binary.empty()) {
      searches.emplace_back(parts.binary + "\n", kTypeBinary);
    }
    LineList old_lines;
    for (std::string_view line : parts.old_lines) {
      old_lines.Add(std::string(line));
    }
    put = old_lines.Text();
    put_type = std::string(kTypeBinary);
    lf_ends = true;
  } else if (!parts.text_code && parts.old_type == kTypeBinary) {
    searches.emplace_back(SerializedNewCode(parts), kTypeBinary);
    if (!parts.binary.empty()) {
      searches.emplace_back(parts.binary, kTypeBinary);
    }
  }
  Replacement replacement;
  bool found = false;
  for (const auto& [data, type] : searches) {
    const Search search{
        type, data,
        type == kTypeText ? ListLines(data) : std::vector<std::string_view>()};
    if (FindReplacement(file->text(), file, search, put, put_type,
                        &replacement)) {
      found = true;
      break;
    }
  }
  if (!found) {
    return LevelOutcome::Failed(LevelMessage(
        "FILE " + parts.file +
            " DOESN'T CONTAIN THE OBSOLETE CODE! CAN'T REVERSE LEVEL ",
        call));
  }
  if (!ChangeHeldFile(file, replacement,
                      lf_ends ? Ends::kAllLf : Ends::kAsTheyAre)) {
    return LevelOutcome::Failed(LevelMessage(
        "FILE " + parts.file + " CAN'T BE SAVED! CAN'T REVERSE LEVEL ", call));
  }
  return LevelOutcome::Success();
}
