#include "pack/json/describe.h"

#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

#include "pack/json/assemble.h"
#include "pack/json/description.h"
#include "pack/json/kind_forms.h"
#include "pack/json/list_width.h"
#include "package/level_record.h"
#include "package/package.h"
#include "package/settings_block.h"

namespace {

bool Accepted(std::string_view data, DecodeError* err) {
  TFASTMEMLIST levels;
  TSETTINGSBLOCK settings;
  return LoadPackageFromData(data, &levels, &settings, err);
}

// True for UTF-8 without control characters other than tab and line ends.
bool ReadsAsText(std::string_view bytes) {
  for (char byte : bytes) {
    if (static_cast<unsigned char>(byte) < 0x20 && byte != '\t' &&
        byte != '\n' && byte != '\r') {
      return false;
    }
  }
  return IsValidUtf8(bytes);
}

// Raw bytes are mostly serialized lists, which read best in base64.
Json RawForm(std::string_view bytes) {
  Json raw = Json::object();
  raw["raw"] =
      ReadsAsText(bytes) ? Json(std::string(bytes)) : BinaryToJson(bytes);
  return raw;
}

// {"code": text}: a kind or content type that has no name.
Json StoredCodeForm(std::string_view code) {
  Json stored = Json::object();
  stored["code"] = TextToJson(code);
  return stored;
}

// `natural` when building it gives back exactly `bytes`, else the raw form.
template <typename Assemble>
Json NaturalOrRaw(Json natural, std::string_view bytes, Assemble assemble) {
  std::string again;
  std::string err;
  if (assemble(natural, &again, &err) && again == bytes) {
    return natural;
  }
  return RawForm(bytes);
}

// A number when `text` is exactly how a 64-bit integer is written in
// decimal (no sign for positives, no leading zeros), else the text.
Json IntegerForm(std::string_view text) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (!text.empty() && text[0] == '-') {
    int64_t value = 0;
    if (std::from_chars(first, last, value).ptr == last &&
        std::to_string(value) == text) {
      return Json(value);
    }
  } else {
    uint64_t value = 0;
    if (std::from_chars(first, last, value).ptr == last &&
        std::to_string(value) == text) {
      return Json(value);
    }
  }
  return TextToJson(text);
}

// Adds the field only when the text is not empty, its default.
void AddText(Json* object, const char* key, std::string_view text) {
  if (!text.empty()) {
    (*object)[key] = TextToJson(text);
  }
}

// Adds "width" when the list was not written at its natural width.
void AddWidth(Json* object, const ListView& view) {
  if (view.Width() != NaturalWidth(view)) {
    (*object)["width"] = view.Width();
  }
}

// A list as the array of its items' forms; raw where that array would not
// give back the exact bytes.
template <typename ItemForm, typename Assemble>
Json ArrayForm(std::string_view bytes, ItemForm item_form, Assemble assemble) {
  ListView view;
  if (!view.Parse(bytes)) {
    return RawForm(bytes);
  }
  Json array = Json::array();
  for (uint64_t i = 0; i < view.Count(); ++i) {
    array.push_back(item_form(view.Item(i)));
  }
  return NaturalOrRaw(std::move(array), bytes, assemble);
}

Json LinesForm(std::string_view bytes) {
  return ArrayForm(bytes, TextToJson, AssembleLines);
}

// Adds a list field unless it holds the empty list, its default.
template <typename Describe>
void AddList(Json* object, const char* key, std::string_view bytes,
             Describe describe) {
  if (bytes != kEmptyList) {
    (*object)[key] = describe(bytes);
  }
}

Json MacrosForm(std::string_view bytes) {
  ListView view;
  if (!view.Parse(bytes) || view.Count() % 2 != 0) {
    return RawForm(bytes);
  }
  Json macros = Json::array();
  for (uint64_t i = 0; i < view.Count(); i += 2) {
    Json macro = Json::object();
    macro["name"] = TextToJson(view.Item(i));
    macro["value"] = TextToJson(view.Item(i + 1));
    macros.push_back(std::move(macro));
  }
  return NaturalOrRaw(std::move(macros), bytes, AssembleMacros);
}

Json PositionForm(std::string_view item) {
  if (item.size() != 1) {
    return BinaryToJson(item);
  }
  const uint8_t byte = static_cast<uint8_t>(item[0]);
  if (byte < std::size(kPositionNames)) {
    return Json(kPositionNames[byte]);
  }
  return Json(byte);
}

// Adds a marker group unless all three of its items hold their defaults.
void AddMarkerGroup(const ListView& view, uint64_t first, const char* key,
                    Json* settings) {
  Json group = Json::object();
  AddText(&group, "prefix", view.Item(first));
  AddText(&group, "suffix", view.Item(first + 1));
  const std::string_view position = view.Item(first + 2);
  if (position != std::string_view("\0", 1)) {
    group["position"] = PositionForm(position);
  }
  if (!group.empty()) {
    (*settings)[key] = std::move(group);
  }
}

// The stored form is described in package/settings_block.h.
Json SettingsForm(std::string_view item) {
  ListView view;
  if (!view.Parse(item) || view.Count() != kSettingsItemCount) {
    return RawForm(item);  // the empty item
  }
  Json settings = Json::object();
  AddMarkerGroup(view, 0, "level_marker", &settings);
  AddMarkerGroup(view, 3, "label_marker", &settings);
  AddMarkerGroup(view, 6, "comment_block", &settings);
  AddText(&settings, "user_information", view.Item(9));
  AddText(&settings, "text10", view.Item(10));
  if (!view.Item(11).empty()) {
    settings["macros"] = MacrosForm(view.Item(11));
  }
  AddText(&settings, "symbols", view.Item(12));
  AddWidth(&settings, view);
  return settings;
}

// An entry that is not a list of four items makes Entries() fail, and the
// whole entry list then takes the raw form.
Json EntryForm(std::string_view bytes) {
  ListView view;
  if (!view.Parse(bytes) || view.Count() != kFileEntryItemCount) {
    return RawForm(bytes);
  }
  Json entry = Json::object();
  if (view.Item(kEntrySeparator) != kDefaultSeparator) {
    entry["separator"] = TextToJson(view.Item(kEntrySeparator));
  }
  entry["path"] = TextToJson(view.Item(kEntryPath));
  const std::string_view type = view.Item(kEntryType);
  const std::string_view content = view.Item(kEntryContent);
  if (type == kTypeText) {
    entry["type"] = "text";
    AddList(&entry, "lines", content, LinesForm);
  } else {
    entry["type"] = type == kTypeBinary ? Json("binary") : StoredCodeForm(type);
    if (!content.empty()) {
      entry["bytes"] = ContentToJson(content);
    }
  }
  AddWidth(&entry, view);
  return entry;
}

Json EntriesForm(std::string_view bytes) {
  return ArrayForm(bytes, EntryForm, AssembleEntries);
}

Json TextArray(const std::vector<std::string>& items, size_t first) {
  Json array = Json::array();
  for (size_t i = first; i < items.size(); ++i) {
    array.push_back(TextToJson(items[i]));
  }
  return array;
}

// An External level's code: "0", options, start directory, executable,
// process directory, then the parameters.
Json ExternalForm(const std::vector<std::string>& items) {
  Json external = Json::object();
  AddText(&external, "options", items[1]);
  AddText(&external, "start_directory", items[2]);
  external["executable"] = TextToJson(items[3]);  // marks the form
  AddText(&external, "process_directory", items[4]);
  if (items.size() > 5) {
    external["parameters"] = TextArray(items, 5);
  }
  return external;
}

// The readable form of a code list, by kind; the type item comes first.
Json CodeItemsForm(const std::vector<std::string>& items,
                   std::string_view kind) {
  const bool text = !items.empty() && items[0] == kTypeText;
  const CodeShape shape = CodeShapeOf(LevelKindOf(kind));
  Json form = Json::object();
  if (shape == CodeShape::kExternal && text && items.size() >= 5) {
    return ExternalForm(items);
  }
  if (shape == CodeShape::kPackage && text && items.size() == 2) {
    form["path"] = TextToJson(items[1]);
  } else if (text) {
    return TextArray(items, 1);
  } else if (items.size() == 2 && items[0] == kTypeBinary) {
    form["bytes"] = ContentToJson(items[1]);
  } else {
    form["items"] = TextArray(items, 0);
  }
  return form;
}

Json PackageForm(std::string_view data, int depth);

Json CodeForm(std::string_view bytes, std::string_view kind, int depth) {
  ListView view;
  if (!view.Parse(bytes)) {
    return RawForm(bytes);  // the empty item
  }
  const std::vector<std::string> items = ListItems(view);
  if (CodeShapeOf(LevelKindOf(kind)) == CodeShape::kPackage &&
      items.size() == 2 && items[0] == kTypeBinary && depth < kMaxNesting &&
      view.Width() == NaturalWidth(view) && Accepted(items[1], nullptr)) {
    // Exact by construction: every element of the nested description is
    // checked on its own, and checking it again here would cost each
    // nesting level the whole of the packages inside it.
    Json form = Json::object();
    form["package"] = PackageForm(items[1], depth + 1);
    return form;
  }
  return NaturalOrRaw(
      CodeItemsForm(items, kind), bytes,
      [depth](const Json& value, std::string* again, std::string* err) {
        return AssembleCode(value, depth, again, err);
      });
}

// The record layout is described in package/level_record.h.
Json LevelForm(std::string_view record, int depth) {
  ListView view;
  view.Parse(record);  // well formed: the package was accepted
  Json level = Json::object();
  level["number"] = IntegerForm(view.Item(kLevelNumber));
  const std::string_view kind = view.Item(kKindCode);
  level["kind"] =
      KindName(kind).empty() ? StoredCodeForm(kind) : Json(KindName(kind));
  level["presentation"] = TextToJson(view.Item(kPresentation));
  AddText(&level, "label", view.Item(kLabel));
  AddText(&level, "item4", view.Item(kItem4));
  level["severity"] = IntegerForm(view.Item(kSeverity));
  AddText(&level, "success_symbols", view.Item(kSuccessSymbols));
  AddText(&level, "failure_symbols", view.Item(kFailureSymbols));
  AddList(&level, "comment_lines", view.Item(kCommentLines), LinesForm);
  AddText(&level, "requirements", view.Item(kRequirements));
  AddText(&level, "options", view.Item(kOptions));
  AddList(&level, "entries", view.Item(kFileEntries), EntriesForm);
  AddList(&level, "code", view.Item(kCode),
          [kind, depth](std::string_view bytes) {
            return CodeForm(bytes, kind, depth);
          });
  AddWidth(&level, view);
  return level;
}

// `data` is a package that qrlconsole accepts.
Json PackageForm(std::string_view data, int depth) {
  ListView view;
  view.Parse(data);
  const uint64_t count = view.Count();
  Json package = Json::object();
  Json settings = SettingsForm(view.Item(count - 2));
  if (!settings.empty()) {
    package["settings"] = std::move(settings);
  }
  Json levels = Json::array();
  for (uint64_t i = 0; i + 2 < count; ++i) {
    levels.push_back(LevelForm(view.Item(i), depth));
  }
  package["levels"] = std::move(levels);
  AddWidth(&package, view);
  return package;
}

}  // namespace

bool DescribePackage(std::string_view data, Json* description,
                     DecodeError* err) {
  if (!Accepted(data, err)) {
    return false;
  }
  *description = PackageForm(data, 0);
  return true;
}
