#include "package/package.h"

#include <utility>

#include "package/level_record.h"
#include "services/file_services.h"
#include "services/system_path.h"

namespace {

bool Fail(DecodeError* err, uint64_t offset, std::string what) {
  err->offset = offset;
  err->what = std::move(what);
  return false;
}

// Checks a parsed package list; offsets in *err count from the start of
// the package data.
bool CheckPackage(const ListView& view, DecodeError* err) {
  const uint64_t count = view.Count();
  if (count <= 2) {
    return Fail(err, 1,
                "a package holds at least one level, its settings and its "
                "trailer, but this list holds " +
                    std::to_string(count) + " items");
  }
  if (view.Item(count - 1) != kPackageTrailer) {
    return Fail(err, view.ItemOffset(count - 1),
                "the last item is not the trailer \"" +
                    std::string(kPackageTrailer) + "\"");
  }
  DecodeError inner;
  if (!SettingsDataIsWellFormed(view.Item(count - 2), &inner)) {
    return Fail(err, view.ItemOffset(count - 2) + inner.offset,
                "settings: " + inner.what);
  }
  for (uint64_t i = 0; i + 2 < count; ++i) {
    if (!LevelRecordIsWellFormed(view.Item(i), &inner)) {
      return Fail(err, view.ItemOffset(i) + inner.offset,
                  "level " + std::to_string(i) + ": " + inner.what);
    }
  }
  return true;
}

}  // namespace

namespace {

// Checks the package data and reads its settings; the levels come from
// `data` as it is given (a view, or a string whose bytes they keep).
template <typename Data>
bool LoadPackageItems(Data&& data, TFASTMEMLIST* levels,
                      TSETTINGSBLOCK* settings, DecodeError* err) {
  levels->Clear();
  DecodeError ignored;
  DecodeError* sink = err != nullptr ? err : &ignored;
  ListView view;
  if (!view.Parse(data, sink) || !CheckPackage(view, sink)) {
    return false;
  }
  const uint64_t count = view.Count();
  *settings = SettingsFromData(view.Item(count - 2));
  levels->LoadFromData(std::forward<Data>(data));
  levels->DeleteRange(count - 2, 2);
  return true;
}

}  // namespace

bool LoadPackageFromData(std::string_view data, TFASTMEMLIST* levels,
                         TSETTINGSBLOCK* settings, DecodeError* err) {
  return LoadPackageItems(data, levels, settings, err);
}

bool LoadPackage(const std::string& file_name, TFASTMEMLIST* levels,
                 TSETTINGSBLOCK* settings, std::string* err) {
  levels->Clear();
  if (!UsablePath(file_name, err)) {
    return false;
  }
  std::string data;
  // A package is read from the file system the run works on, so that a
  // nested package that an earlier level wrote is found also in a dry run.
  // ReadWholeFile also takes a pipe from the shell's process substitution,
  // where the file system is the system's own; a directory is refused as
  // one that cannot be opened.
  const bool read = DirectoryExists(file_name)
                        ? ReadFile(file_name, &data, err)
                        : ReadWholeFile(file_name, &data, err);
  if (!read) {
    return false;
  }
  DecodeError error;
  if (!LoadPackageItems(std::move(data), levels, settings, &error)) {
    *err = error.Text();
    return false;
  }
  return true;
}

bool HasPackageTrailer(std::string_view data) {
  ListView view;
  return view.Parse(data) && view.Count() > 0 &&
         view.Item(view.Count() - 1) == kPackageTrailer;
}

std::string PackageToData(const TFASTMEMLIST& levels,
                          const TSETTINGSBLOCK& settings) {
  TFASTMEMLIST package = levels;
  package.Add(SettingsToData(settings));
  package.Add(kPackageTrailer);
  return package.SaveToString();
}
