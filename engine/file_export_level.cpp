#include "engine/file_export_level.h"

#include "package/level_record.h"
#include "services/diagnostics.h"
#include "services/file_services.h"

LevelOutcome ApplyFileExportLevel(const LevelCall& call) {
  const std::vector<FileEntryView>& entries = call.view.entries;
  const FileEntryView entry = entries.empty() ? FileEntryView() : entries[0];
  const std::string file(entry.path);
  const LevelOutcome cannot_save = LevelOutcome::Failed(LevelMessage(
      "FILE " + file + " CAN'T BE SAVED! CAN'T APPLY LEVEL ", call));
  if (entries.empty() || !entry.whole) {
    return cannot_save;
  }
  const std::string_view type = entry.type;
  std::string content;
  if (type == kTypeText) {
    if (!entry.lines_valid && !entry.content.empty()) {
      return cannot_save;
    }
    for (std::string_view line : entry.lines) {
      content += line;
      content += '\n';
    }
  } else if (type == kTypeBinary) {
    content = std::string(entry.content);
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
