#include "pack/json/assemble.h"

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "pack/json/description.h"
#include "pack/json/kind_forms.h"
#include "pack/json/list_width.h"
#include "package/level_record.h"
#include "package/package.h"
#include "package/settings_block.h"

namespace {

using Fields = std::initializer_list<std::string_view>;

// What the bytes of a {"raw": ...} form must be to keep the package
// loadable where they go.
enum class RawCheck { kAnyBytes, kList, kEntryList, kSettings };

std::string Child(const std::string& path, std::string_view key) {
  return path.empty() ? std::string(key) : path + "." + std::string(key);
}

std::string Element(const std::string& path, size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

const Json* Find(const Json& object, std::string_view key) {
  const auto it = object.find(std::string(key));
  return it == object.end() ? nullptr : &*it;
}

// The value of a JSON integer from 0 to `most`; false for anything else.
bool SmallInteger(const Json& value, uint64_t most, uint64_t* out) {
  if (!value.is_number_integer() ||
      (!value.is_number_unsigned() && value.get<int64_t>() < 0)) {
    return false;
  }
  *out = value.get<uint64_t>();
  return *out <= most;
}

// False with *what when `bytes` cannot stand where `check` says.
bool RawBytesFit(std::string_view bytes, RawCheck check, std::string* what) {
  DecodeError error;
  ListView view;
  switch (check) {
    case RawCheck::kAnyBytes:
      return true;
    case RawCheck::kSettings:
      if (!SettingsDataIsWellFormed(bytes, &error)) {
        *what = "not a settings item: " + error.Text();
        return false;
      }
      return true;
    case RawCheck::kList:
    case RawCheck::kEntryList:
      break;
  }
  if (bytes.empty()) {
    return true;
  }
  if (!view.Parse(bytes, &error)) {
    *what = "not a serialized list: " + error.Text();
    return false;
  }
  for (uint64_t i = 0; check == RawCheck::kEntryList && i < view.Count(); ++i) {
    ListView entry;
    if (!entry.Parse(view.Item(i), &error) ||
        entry.Count() != kFileEntryItemCount) {
      *what = "file entry " + std::to_string(i) + " is not a list of " +
              std::to_string(kFileEntryItemCount) + " items";
      return false;
    }
  }
  return true;
}

// Turns descriptions into bytes. It keeps the first fault; the methods
// return the bytes of their element, meaningless once Failed() is true.
class Assembler {
 public:
  bool Failed() const { return failed_; }
  const std::string& Error() const { return error_; }

  std::string Package(const Json& value, const std::string& path, int depth);
  std::string Macros(const Json& value, const std::string& path);
  std::string Lines(const Json& value, const std::string& path, RawCheck check);
  std::string Entries(const Json& value, const std::string& path);
  std::string Code(const Json& value, const std::string& path, int depth);

 private:
  void Fail(const std::string& path, std::string_view what);
  // True for an object whose fields all are among `known`.
  bool CheckObject(const Json& value, const std::string& path, Fields known);
  // True for an object that holds "raw" (then as its only field).
  bool IsRaw(const Json& value, const std::string& path);
  std::string Raw(const Json& value, const std::string& path, RawCheck check);

  std::string Text(const Json& value, const std::string& path);
  std::string TextField(const Json& object, const std::string& path,
                        std::string_view key, std::string_view fallback = {});
  std::string IntegerField(const Json& object, const std::string& path,
                           std::string_view key, std::string_view fallback);
  // `prefix` followed by the texts of the array.
  std::string TextList(const Json& value, const std::string& path,
                       std::vector<std::string> prefix = {});
  // {"code": text}: a kind or content type given by its stored text.
  std::string StoredCode(const Json& value, const std::string& path);
  uint8_t Width(const Json& object, const std::string& path,
                const std::vector<std::string>& items);

  std::string Settings(const Json* value, const std::string& path);
  void AddMarkerGroup(const Json* value, const std::string& path,
                      std::vector<std::string>* items);
  std::string Position(const Json& value, const std::string& path);
  std::string Level(const Json& value, const std::string& path, int depth);
  std::string Kind(const Json& level, const std::string& path);
  std::string Entry(const Json& value, const std::string& path);
  std::string ExternalCode(const Json& value, const std::string& path);

  // An omitted list field is the empty list.
  template <typename Build>
  std::string ListField(const Json& object, const std::string& path,
                        std::string_view key, Build build) {
    const Json* field = Find(object, key);
    return field == nullptr ? std::string(kEmptyList)
                            : build(*field, Child(path, key));
  }

  bool failed_ = false;
  std::string error_;
};

void Assembler::Fail(const std::string& path, std::string_view what) {
  if (!failed_) {
    failed_ = true;
    error_ = path.empty() ? std::string(what) : path + ": " + std::string(what);
  }
}

bool Assembler::CheckObject(const Json& value, const std::string& path,
                            Fields known) {
  if (!value.is_object()) {
    Fail(path, "expected an object");
    return false;
  }
  for (auto it = value.begin(); it != value.end(); ++it) {
    bool found = false;
    for (std::string_view name : known) {
      found = found || name == it.key();
    }
    if (!found) {
      Fail(path, "unknown field " + Quoted(it.key()));
      return false;
    }
  }
  return true;
}

bool Assembler::IsRaw(const Json& value, const std::string& path) {
  if (!value.is_object() || Find(value, "raw") == nullptr) {
    return false;
  }
  if (value.size() != 1) {
    Fail(path, "\"raw\" goes without other fields");
  }
  return true;
}

std::string Assembler::Raw(const Json& value, const std::string& path,
                           RawCheck check) {
  const std::string raw_path = Child(path, "raw");
  std::string bytes = Text(value.front(), raw_path);
  std::string what;
  if (!Failed() && !RawBytesFit(bytes, check, &what)) {
    Fail(raw_path, what);
  }
  return bytes;
}

std::string Assembler::Text(const Json& value, const std::string& path) {
  std::string bytes;
  std::string what;
  std::string where;
  if (!JsonToBytes(value, &bytes, &what, &where)) {
    Fail(where.empty() ? path : Child(path, where), what);
  }
  return bytes;
}

std::string Assembler::TextField(const Json& object, const std::string& path,
                                 std::string_view key,
                                 std::string_view fallback) {
  const Json* field = Find(object, key);
  return field == nullptr ? std::string(fallback)
                          : Text(*field, Child(path, key));
}

std::string Assembler::IntegerField(const Json& object, const std::string& path,
                                    std::string_view key,
                                    std::string_view fallback) {
  const Json* field = Find(object, key);
  if (field == nullptr) {
    return std::string(fallback);
  }
  if (field->is_number_unsigned()) {
    return std::to_string(field->get<uint64_t>());
  }
  if (field->is_number_integer()) {
    return std::to_string(field->get<int64_t>());
  }
  if (field->is_string() || IsBase64Object(*field)) {
    return Text(*field, Child(path, key));
  }
  Fail(Child(path, key), "expected an integer or a string");
  return {};
}

std::string Assembler::TextList(const Json& value, const std::string& path,
                                std::vector<std::string> prefix) {
  if (!value.is_array()) {
    Fail(path, "expected an array");
    return {};
  }
  std::vector<std::string> items = std::move(prefix);
  items.reserve(items.size() + value.size());
  for (size_t i = 0; i < value.size() && !Failed(); ++i) {
    items.push_back(Text(value[i], Element(path, i)));
  }
  return EncodeList(items);
}

std::string Assembler::StoredCode(const Json& value, const std::string& path) {
  if (!CheckObject(value, path, {"code"}) || value.empty()) {
    Fail(path, "expected {\"code\": ...}");
    return {};
  }
  return Text(value.front(), Child(path, "code"));
}

uint8_t Assembler::Width(const Json& object, const std::string& path,
                         const std::vector<std::string>& items) {
  const Json* field = Find(object, "width");
  if (field == nullptr) {
    return NaturalWidth(items);
  }
  const std::string width_path = Child(path, "width");
  uint64_t width = 0;
  if (!SmallInteger(*field, 8, &width) ||
      (width != 1 && width != 2 && width != 4 && width != 8)) {
    Fail(width_path, "expected 1, 2, 4 or 8");
    return NaturalWidth(items);
  }
  if (!WidthHolds(static_cast<uint8_t>(width), items)) {
    Fail(width_path, "a width of " + std::to_string(width) +
                         " cannot hold the count and the lengths of the "
                         "items");
    return NaturalWidth(items);
  }
  return static_cast<uint8_t>(width);
}

std::string Assembler::Package(const Json& value, const std::string& path,
                               int depth) {
  if (depth > kMaxNesting) {
    Fail(path, "nested packages go deeper than " + std::to_string(kMaxNesting) +
                   " levels");
    return {};
  }
  if (!CheckObject(value, path, {"settings", "levels", "width"})) {
    return {};
  }
  const std::string levels_path = Child(path, "levels");
  const Json* levels = Find(value, "levels");
  if (levels != nullptr && !levels->is_array()) {
    Fail(levels_path, "expected an array");
    return {};
  }
  if (levels == nullptr || levels->empty()) {
    Fail(levels_path, "a package holds at least one level");
    return {};
  }
  std::vector<std::string> items;
  items.reserve(levels->size() + 2);
  for (size_t i = 0; i < levels->size() && !Failed(); ++i) {
    items.push_back(Level((*levels)[i], Element(levels_path, i), depth));
  }
  items.push_back(Settings(Find(value, "settings"), Child(path, "settings")));
  items.emplace_back(kPackageTrailer);
  return EncodeList(items, Width(value, path, items));
}

std::string Assembler::Settings(const Json* value, const std::string& path) {
  if (value == nullptr) {
    return SettingsToData(TSETTINGSBLOCK());
  }
  if (IsRaw(*value, path)) {
    return Raw(*value, path, RawCheck::kSettings);
  }
  if (!CheckObject(
          *value, path,
          {"level_marker", "label_marker", "comment_block", "user_information",
           "text10", "macros", "symbols", "width"})) {
    return {};
  }
  std::vector<std::string> items;
  for (std::string_view group :
       {"level_marker", "label_marker", "comment_block"}) {
    AddMarkerGroup(Find(*value, group), Child(path, group), &items);
  }
  items.push_back(TextField(*value, path, "user_information"));
  items.push_back(TextField(*value, path, "text10"));
  const Json* macros = Find(*value, "macros");
  items.push_back(macros == nullptr ? std::string()
                                    : Macros(*macros, Child(path, "macros")));
  items.push_back(TextField(*value, path, "symbols"));
  return EncodeList(items, Width(*value, path, items));
}

void Assembler::AddMarkerGroup(const Json* value, const std::string& path,
                               std::vector<std::string>* items) {
  if (value == nullptr) {
    items->insert(items->end(), {"", "", std::string(1, kMarkerNone)});
    return;
  }
  CheckObject(*value, path, {"prefix", "suffix", "position"});
  items->push_back(TextField(*value, path, "prefix"));
  items->push_back(TextField(*value, path, "suffix"));
  const Json* position = Find(*value, "position");
  items->push_back(position == nullptr
                       ? std::string(1, kMarkerNone)
                       : Position(*position, Child(path, "position")));
}

std::string Assembler::Position(const Json& value, const std::string& path) {
  if (value.is_string()) {
    for (size_t i = 0; i < std::size(kPositionNames); ++i) {
      if (kPositionNames[i] == value.get_ref<const std::string&>()) {
        return std::string(1, static_cast<char>(i));
      }
    }
  } else if (uint64_t byte = 0; SmallInteger(value, 255, &byte)) {
    return std::string(1, static_cast<char>(byte));
  } else if (IsBase64Object(value)) {
    std::string bytes = Text(value, path);
    if (bytes.empty()) {
      Fail(path, "a position holds at least one byte");
    }
    return bytes;
  }
  Fail(path,
       "expected \"none\", \"before\", \"after\", a number from 0 to 255 or "
       "{\"base64\": ...}");
  return {};
}

std::string Assembler::Macros(const Json& value, const std::string& path) {
  if (IsRaw(value, path)) {
    return Raw(value, path, RawCheck::kAnyBytes);
  }
  if (!value.is_array()) {
    Fail(path,
         "expected an array of {\"name\": ..., \"value\": ...} or "
         "{\"raw\": ...}");
    return {};
  }
  std::vector<std::string> items;
  for (size_t i = 0; i < value.size() && !Failed(); ++i) {
    const std::string macro_path = Element(path, i);
    CheckObject(value[i], macro_path, {"name", "value"});
    items.push_back(TextField(value[i], macro_path, "name"));
    items.push_back(TextField(value[i], macro_path, "value"));
  }
  return EncodeList(items);
}

std::string Assembler::Level(const Json& value, const std::string& path,
                             int depth) {
  if (!CheckObject(
          value, path,
          {"number", "kind", "presentation", "label", "item4", "severity",
           "success_symbols", "failure_symbols", "comment_lines",
           "requirements", "options", "entries", "code", "width"})) {
    return {};
  }
  std::vector<std::string> items(kLevelItemCount);
  items[kLevelNumber] =
      IntegerField(value, path, "number", kDefaultLevelNumber);
  items[kKindCode] = Kind(value, path);
  items[kPresentation] = TextField(value, path, "presentation");
  items[kLabel] = TextField(value, path, "label");
  items[kItem4] = TextField(value, path, "item4");
  items[kSeverity] = IntegerField(value, path, "severity", kDefaultSeverity);
  items[kSuccessSymbols] = TextField(value, path, "success_symbols");
  items[kFailureSymbols] = TextField(value, path, "failure_symbols");
  items[kCommentLines] = ListField(value, path, "comment_lines",
                                   [this](const Json& v, const std::string& p) {
                                     return Lines(v, p, RawCheck::kList);
                                   });
  items[kRequirements] = TextField(value, path, "requirements");
  items[kOptions] = TextField(value, path, "options");
  items[kFileEntries] = ListField(
      value, path, "entries",
      [this](const Json& v, const std::string& p) { return Entries(v, p); });
  items[kCode] = ListField(value, path, "code",
                           [this, depth](const Json& v, const std::string& p) {
                             return Code(v, p, depth);
                           });
  return EncodeList(items, Width(value, path, items));
}

std::string Assembler::Kind(const Json& level, const std::string& path) {
  const std::string kind_path = Child(path, "kind");
  const Json* kind = Find(level, "kind");
  if (kind == nullptr) {
    Fail(kind_path, "missing; expected one of " + KindNames());
    return {};
  }
  if (kind->is_object()) {
    return StoredCode(*kind, kind_path);
  }
  if (!kind->is_string()) {
    Fail(kind_path, "expected one of " + KindNames() + " or {\"code\": ...}");
    return {};
  }
  const std::string& name = kind->get_ref<const std::string&>();
  const std::string_view code = KindCode(name);
  if (code.empty()) {
    Fail(kind_path, "unknown kind " + Quoted(name) + "; expected one of " +
                        KindNames() + " or {\"code\": ...}");
  }
  return std::string(code);
}

std::string Assembler::Lines(const Json& value, const std::string& path,
                             RawCheck check) {
  if (IsRaw(value, path)) {
    return Raw(value, path, check);
  }
  if (!value.is_array()) {
    Fail(path, "expected an array of lines or {\"raw\": ...}");
    return {};
  }
  return TextList(value, path);
}

std::string Assembler::Entries(const Json& value, const std::string& path) {
  if (IsRaw(value, path)) {
    return Raw(value, path, RawCheck::kEntryList);
  }
  if (!value.is_array()) {
    Fail(path, "expected an array of file entries or {\"raw\": ...}");
    return {};
  }
  std::vector<std::string> entries;
  for (size_t i = 0; i < value.size() && !Failed(); ++i) {
    entries.push_back(Entry(value[i], Element(path, i)));
  }
  return EncodeList(entries);
}

std::string Assembler::Entry(const Json& value, const std::string& path) {
  if (!CheckObject(value, path,
                   {"separator", "path", "type", "lines", "bytes", "width"})) {
    return {};
  }
  std::vector<std::string> items(kFileEntryItemCount);
  items[kEntrySeparator] =
      TextField(value, path, "separator", kDefaultSeparator);
  items[kEntryPath] = TextField(value, path, "path");
  const Json* type = Find(value, "type");
  const Json* lines = Find(value, "lines");
  const Json* bytes = Find(value, "bytes");
  // A text entry keeps its lines in "lines"; a binary entry, or one of
  // another stored type, its bytes in "bytes".
  bool text = bytes == nullptr;
  if (type == nullptr) {
    items[kEntryType] = text ? kTypeText : kTypeBinary;
  } else if (type->is_object()) {
    items[kEntryType] = StoredCode(*type, Child(path, "type"));
    text = false;
  } else if (*type == "text" || *type == "binary") {
    text = *type == "text";
    items[kEntryType] = text ? kTypeText : kTypeBinary;
  } else {
    Fail(Child(path, "type"),
         "expected \"text\", \"binary\" or {\"code\": ...}");
  }
  if (text && bytes != nullptr) {
    Fail(Child(path, "bytes"), "a text entry keeps its content in \"lines\"");
  } else if (!text && lines != nullptr) {
    Fail(Child(path, "lines"), "this entry keeps its content in \"bytes\"");
  } else if (text) {
    items[kEntryContent] = ListField(
        value, path, "lines", [this](const Json& v, const std::string& p) {
          return Lines(v, p, RawCheck::kAnyBytes);
        });
  } else {
    items[kEntryContent] = TextField(value, path, "bytes");
  }
  return EncodeList(items, Width(value, path, items));
}

std::string Assembler::Code(const Json& value, const std::string& path,
                            int depth) {
  if (value.is_array()) {
    return TextList(value, path, {std::string(kTypeText)});
  }
  if (IsRaw(value, path)) {
    return Raw(value, path, RawCheck::kList);
  }
  if (!value.is_object() || value.empty()) {
    Fail(path, "expected an array of lines or an object (see the code forms)");
    return {};
  }
  if (Find(value, "items") != nullptr) {
    CheckObject(value, path, {"items"});
    return TextList(value.front(), Child(path, "items"));
  }
  if (Find(value, "bytes") != nullptr) {
    CheckObject(value, path, {"bytes"});
    return EncodeList(
        {std::string(kTypeBinary), Text(value.front(), Child(path, "bytes"))});
  }
  if (Find(value, "path") != nullptr) {
    CheckObject(value, path, {"path"});
    return EncodeList(
        {std::string(kTypeText), Text(value.front(), Child(path, "path"))});
  }
  if (Find(value, "package") != nullptr) {
    CheckObject(value, path, {"package"});
    return EncodeList(
        {std::string(kTypeBinary),
         Package(value.front(), Child(path, "package"), depth + 1)});
  }
  return ExternalCode(value, path);
}

std::string Assembler::ExternalCode(const Json& value,
                                    const std::string& path) {
  if (!CheckObject(value, path,
                   {"options", "start_directory", "executable",
                    "process_directory", "parameters"})) {
    return {};
  }
  std::vector<std::string> items = {
      std::string(kTypeText),
      TextField(value, path, "options"),
      TextField(value, path, "start_directory"),
      TextField(value, path, "executable"),
      TextField(value, path, "process_directory"),
  };
  const Json* parameters = Find(value, "parameters");
  if (parameters == nullptr) {
    return EncodeList(items);
  }
  return TextList(*parameters, Child(path, "parameters"), std::move(items));
}

bool Finish(const Assembler& assembler, std::string bytes, std::string* out,
            std::string* err) {
  if (assembler.Failed()) {
    *err = assembler.Error();
    return false;
  }
  *out = std::move(bytes);
  return true;
}

}  // namespace

bool AssemblePackage(const Json& description, std::string* package,
                     std::string* err) {
  Assembler assembler;
  std::string data = assembler.Package(description, "", 0);
  if (!assembler.Failed()) {
    // Every element was checked where it was built; this only guards the
    // promise that qrlconsole accepts the result.
    TFASTMEMLIST levels;
    TSETTINGSBLOCK settings;
    DecodeError error;
    if (!LoadPackageFromData(data, &levels, &settings, &error)) {
      *err = "the built package would not load: " + error.Text();
      return false;
    }
  }
  return Finish(assembler, std::move(data), package, err);
}

bool AssembleMacros(const Json& value, std::string* bytes, std::string* err) {
  Assembler assembler;
  return Finish(assembler, assembler.Macros(value, ""), bytes, err);
}

bool AssembleLines(const Json& value, std::string* bytes, std::string* err) {
  Assembler assembler;
  return Finish(assembler, assembler.Lines(value, "", RawCheck::kAnyBytes),
                bytes, err);
}

bool AssembleEntries(const Json& value, std::string* bytes, std::string* err) {
  Assembler assembler;
  return Finish(assembler, assembler.Entries(value, ""), bytes, err);
}

bool AssembleCode(const Json& value, int depth, std::string* bytes,
                  std::string* err) {
  Assembler assembler;
  return Finish(assembler, assembler.Code(value, "", depth), bytes, err);
}
