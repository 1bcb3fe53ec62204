#include "engine/requirements.h"

#include "engine/level_kinds.h"
#include "engine/target_files.h"
#include "package/level_record.h"
#include "services/editable_text.h"
#include "services/file_services.h"
#include "services/string_utils.h"

namespace {

bool EntryMet(const FileEntryView& entry, TargetFiles* files) {
  // A file that is missing or is a directory cannot be read either.
  const std::string file_name(entry.path);
  const std::string_view type = entry.type;
  const std::string_view wanted = entry.content;
  if (!entry.whole || (type != kTypeText && type != kTypeBinary)) {
    return false;  // content of no known type is never found
  }
  HeldFile* held = nullptr;
  EditableText unheld;
  if (files != nullptr) {
    held = files->Hold(file_name);
    if (held == nullptr) {
      return false;
    }
  } else {
    std::string content;
    if (!FileToString(file_name, &content)) {
      return false;
    }
    unheld = EditableText(std::move(content));
  }
  EditableText& text = held != nullptr ? held->text() : unheld;
  if (type == kTypeText) {
    return (held != nullptr ? held->FindLines(entry.lines)
                            : text.FindLines(LineBlock(entry.lines))) >= 0;
  }
  uint64_t position = 0;
  return text.FindBytes(wanted, &position);
}

}  // namespace

bool LocalRequirementsMet(const LevelView& level, TargetFiles* files) {
  return FirstUnmetEntry(level, files) < 0;
}

int64_t FirstUnmetEntry(const LevelView& level, TargetFiles* files) {
  const LevelKindRow* kind = FindLevelKind(level.kind);
  const uint64_t first = kind != nullptr ? kind->first_local_requirement : 0;
  for (uint64_t j = first; j < level.entries.size(); ++j) {
    if (!EntryMet(level.entries[j], files)) {
      return static_cast<int64_t>(j);
    }
  }
  return -1;
}
