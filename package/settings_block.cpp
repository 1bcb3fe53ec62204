#include "package/settings_block.h"

#include "fastmemlist/fastmemlist.h"

namespace {

// Item indexes of the stored form.
enum SettingsItem : uint64_t {
  kLevelMarkerGroup = 0,
  kLabelMarkerGroup = 3,
  kCommentGroup = 6,
  kUserInformation = 9,
  kText10 = 10,
  kMacros = 11,
  kSymbols = 12,
};

constexpr uint64_t kGroupStarts[] = {kLevelMarkerGroup, kLabelMarkerGroup,
                                     kCommentGroup};

TMARKERGROUP GroupFrom(const ListView& view, uint64_t first) {
  TMARKERGROUP group;
  group.prefix = std::string(view.Item(first));
  group.suffix = std::string(view.Item(first + 1));
  group.position = static_cast<uint8_t>(view.Item(first + 2)[0]);
  return group;
}

void AddGroup(const TMARKERGROUP& group, TFASTMEMLIST* list) {
  list->Add(group.prefix);
  list->Add(group.suffix);
  list->AddByte(group.position);
}

// Parses a non-empty stored form and checks its shape.
bool ParseSettings(std::string_view data, ListView* view, DecodeError* err) {
  if (!view->Parse(data, err)) {
    return false;
  }
  if (view->Count() != kSettingsItemCount) {
    if (err != nullptr) {
      err->offset = 1;
      err->what = "the settings hold " + std::to_string(view->Count()) +
                  " items instead of 13";
    }
    return false;
  }
  for (uint64_t first : kGroupStarts) {
    if (view->Item(first + 2).empty()) {
      if (err != nullptr) {
        err->offset = view->ItemOffset(first + 2);
        err->what = "settings item " + std::to_string(first + 2) +
                    " (a marker position) is empty";
      }
      return false;
    }
  }
  return true;
}

}  // namespace

bool SettingsDataIsWellFormed(std::string_view data, DecodeError* err) {
  ListView view;
  return data.empty() || ParseSettings(data, &view, err);
}

TSETTINGSBLOCK SettingsFromData(std::string_view data) {
  TSETTINGSBLOCK settings;
  ListView view;
  if (data.empty() || !ParseSettings(data, &view, nullptr)) {
    return settings;
  }
  settings.level_marker = GroupFrom(view, kLevelMarkerGroup);
  settings.label_marker = GroupFrom(view, kLabelMarkerGroup);
  settings.comment_block = GroupFrom(view, kCommentGroup);
  settings.user_information = std::string(view.Item(kUserInformation));
  settings.text10 = std::string(view.Item(kText10));
  settings.macros = std::string(view.Item(kMacros));
  settings.symbols = std::string(view.Item(kSymbols));
  return settings;
}

std::string SettingsToData(const TSETTINGSBLOCK& settings) {
  TFASTMEMLIST list;
  AddGroup(settings.level_marker, &list);
  AddGroup(settings.label_marker, &list);
  AddGroup(settings.comment_block, &list);
  list.Add(settings.user_information);
  list.Add(settings.text10);
  list.Add(settings.macros);
  list.Add(settings.symbols);
  return list.SaveToString();
}
