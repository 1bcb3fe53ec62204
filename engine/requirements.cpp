#include "engine/requirements.h"

#include "engine/target_files.h"
#include "package/level_record.h"
#include "services/file_services.h"
#include "services/string_utils.h"

namespace {

bool EntryMet(const ListView& entry, TargetFiles* files) {
  // A file that is missing or is a directory cannot be read either.
  const std::string file_name(entry.Item(kEntryPath));
  std::string content;
  if (files != nullptr ? !files->Read(file_name, &content)
                       : !FileToString(file_name, &content)) {
    return false;
  }
  const std::string_view type = entry.Item(kEntryType);
  const std::string_view wanted = entry.Item(kEntryContent);
  if (type == kTypeText) {
    LineList block;
    DataToStrings(wanted, &block);
    return FindLineBlock(SplitLines(content), block) >= 0;
  }
  if (type == kTypeBinary) {
    uint64_t position = 0;
    return FindBytes(wanted.data(), content.data(), wanted.size(),
                     content.size(), &position);
  }
  return false;
}

}  // namespace

bool LocalRequirementsMet(const TFASTMEMLIST& level, TargetFiles* files) {
  ListView entries;
  if (!entries.Parse(level.View(kFileEntries))) {
    return true;  // no entries
  }
  const uint64_t first = level.View(kKindCode) == kKindFileExport ? 1 : 0;
  for (uint64_t j = first; j < entries.Count(); ++j) {
    ListView entry;
    if (!entry.Parse(entries.Item(j)) || entry.Count() < kFileEntryItemCount ||
        !EntryMet(entry, files)) {
      return false;
    }
  }
  return true;
}
