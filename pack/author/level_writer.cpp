#include "pack/author/level_writer.h"

#include "fastmemlist/fastmemlist.h"

std::string ListData(const std::vector<std::string>& items) {
  TFASTMEMLIST list;
  for (const std::string& item : items) {
    list.Add(item);
  }
  return list.SaveToString();
}

std::string LevelRecordData(const LevelFields& level) {
  TFASTMEMLIST entries;
  for (const EntryFields& entry : level.entries) {
    TFASTMEMLIST fields;
    fields.Add("/");
    fields.Add(entry.path);
    fields.Add(entry.type);
    fields.Add(entry.type == kTypeText ? ListData(entry.lines) : entry.bytes);
    entries.Add(fields.SaveToString());
  }
  TFASTMEMLIST code;
  code.Add(level.code_type);
  for (const std::string& item : level.code) {
    code.Add(item);
  }
  TFASTMEMLIST record;
  record.Add(std::to_string(level.number));
  record.Add(level.kind);
  record.Add(level.presentation);
  record.Add(level.label);
  record.AddEmpty();  // item 4
  record.Add("3");    // severity: a failure stops apply
  record.AddEmpty();  // success symbols
  record.AddEmpty();  // failure symbols
  record.Add(ListData(level.comment_lines));
  record.Add(level.requirements);
  record.Add(level.options);
  record.Add(entries.SaveToString());
  record.Add(code.SaveToString());
  return record.SaveToString();
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
