#include "engine/requirements.h"

#include "engine/target_files.h"
#include "package/level_record.h"
#include "services/editable_text.h"
#include "services/file_services.h"
#include "services/string_utils.h"

namespace {

bool EntryMet(const ListView& entry, TargetFiles* files) {
  // A file that is missing or is a directory cannot be read either.
  const std::string file_name(entry.Item(kEntryPath));
  const std::string_view type = entry.Item(kEntryType);
  const std::string_view wanted = entry.Item(kEntryContent);
  if (type != kTypeText && type != kTypeBinary) {
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
    return (held != nullptr ? held->FindLines(wanted)
                            : text.FindLines(LineBlockFromData(wanted))) >= 0;
  }
  uint64_t position = 0;
  return text.FindBytes(wanted, &position);
}

}  // namespace

bool LocalRequirementsMet(const TFASTMEMLIST& level, TargetFiles* files) {
  return FirstUnmetEntry(level, files) < 0;
}

int64_t FirstUnmetEntry(const TFASTMEMLIST& level, TargetFiles* files) {
  ListView entries;
  if (!entries.Parse(level.View(kFileEntries))) {
    return -1;  // no entries
  }
  const uint64_t first = level.View(kKindCode) == kKindFileExport ? 1 : 0;
  for (uint64_t j = first; j < entries.Count(); ++j) {
    ListView entry;
    if (!entry.Parse(entries.Item(j)) || entry.Count() < kFileEntryItemCount ||
        !EntryMet(entry, files)) {
      return static_cast<int64_t>(j);
    }
  }
  return -1;
}
