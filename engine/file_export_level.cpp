#include "engine/file_export_level.h"

#include "package/level_record.h"
#include "services/diagnostics.h"
#include "services/file_services.h"

LevelOutcome ApplyFileExportLevel(const LevelCall& call) {
  TFASTMEMLIST entry;
  if (FileEntryCount(call.level) > 0) {
    GetFileEntry(call.level, 0, &entry);
  }
  const std::string file =
      entry.Count() > kEntryPath ? entry.Get(kEntryPath) : std::string();
  const LevelOutcome cannot_save = LevelOutcome::Failed(LevelMessage(
      "FILE " + file + " CAN'T BE SAVED! CAN'T APPLY LEVEL ", call));
  if (entry.Count() < kFileEntryItemCount) {
    return cannot_save;
  }
  const std::string_view type = entry.View(kEntryType);
  std::string content;
  if (type == kTypeText) {
    TFASTMEMLIST lines;
    if (!lines.LoadFromData(entry.View(kEntryContent)) &&
        !entry.View(kEntryContent).empty()) {
      return cannot_save;
    }
    for (uint64_t i = 0; i < lines.Count(); ++i) {
      content += lines.View(i);
      content += '\n';
    }
  } else if (type == kTypeBinary) {
    content = entry.Get(kEntryContent);
  } else {
    return LevelOutcome::Success();  // nothing to write
  }
  // The directory is made when the file cannot be written without it: most
  // files go where directories stand already.
  std::string why;
  if (StringToFile(file, content, &why)) {
    return LevelOutcome::Success();
  }
  const std::string directory = ExtractPathPart(file);
  if (!directory.empty() && !DirectoryExists(directory)) {
    if (!MakeDirectoryPath(directory)) {
      return LevelOutcome::Failed(
          LevelMessage("DIRECTORY " + directory +
                           " DOESN'T EXIST AND CAN'T BE CREATED! CAN'T APPLY "
                           "LEVEL ",
                       call));
    }
    if (StringToFile(file, content, &why)) {
      return LevelOutcome::Success();
    }
  }
  Diagnose(why);
  return cannot_save;
}
