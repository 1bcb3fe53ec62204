#include "pack/author/level_writer.h"

#include "fastmemlist/fastmemlist.h"
#include "package/level_view.h"

std::string ListData(const std::vector<std::string>& items) {
  TFASTMEMLIST list;
  for (const std::string& item : items) {
    list.Add(item);
  }
  return list.SaveToString();
}

std::string LevelRecordData(const LevelFields& level) {
  const std::string number = std::to_string(level.number);
  LevelView view;
  view.number = number;
  view.kind_code = level.kind;
  view.presentation = level.presentation;
  view.label = level.label;
  view.severity = "3";  // a failure stops apply
  view.comment_lines.assign(level.comment_lines.begin(),
                            level.comment_lines.end());
  view.requirements = level.requirements;
  view.options = level.options;
  std::vector<std::string> contents;  // the text entries' serialized lines
  contents.reserve(level.entries.size());
  for (const EntryFields& entry : level.entries) {
    contents.push_back(entry.type == kTypeText ? ListData(entry.lines)
                                               : std::string());
  }
  for (size_t i = 0; i < level.entries.size(); ++i) {
    const EntryFields& entry = level.entries[i];
    FileEntryView& written = view.entries.emplace_back();
    written.separator = "/";
    written.path = entry.path;
    written.type = entry.type;
    written.content = entry.type == kTypeText ? std::string_view(contents[i])
                                              : std::string_view(entry.bytes);
  }
  view.code.push_back(level.code_type);
  view.code.insert(view.code.end(), level.code.begin(), level.code.end());
  return EncodeLevel(view);
}

LevelFields NewLevel(int64_t number, std::string_view kind,
                     std::string presentation) {
  LevelFields level;
  level.number = number;
  level.kind = kind;
  level.presentation = std::move(presentation);
  return level;
}

std::string Rooted(std::string_view path) {
  return std::string(kRootMacro) + std::string(path);
}
