// Feeds arbitrary bytes to package loading and to everything that reads a
// loaded package's records. Any crash, sanitizer report, hang or oversized
// allocation is a finding.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fastmemlist/fastmemlist.h"
#include "fuzz/fuzz_check.h"
#include "package/level_record.h"
#include "package/package.h"

namespace {

void ReadEveryField(const TFASTMEMLIST& levels) {
  for (uint64_t i = 0; i < levels.Count(); ++i) {
    TFASTMEMLIST level;
    Check(level.LoadFromData(levels.View(i)));
    Check(level.Count() == kLevelItemCount);
    const uint64_t entries = FileEntryCount(level);
    for (uint64_t j = 0; j < entries; ++j) {
      TFASTMEMLIST entry;
      GetFileEntry(level, j, &entry);
      Check(entry.Count() == kFileEntryItemCount);
      Check(FileEntryField(level, j, kEntryPath) == entry.Get(kEntryPath));
    }
    DataCount(level.View(kCode));
    DataCount(level.View(kCommentLines));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  TFASTMEMLIST list;
  if (list.LoadFromData(bytes)) {
    // Decoding and encoding again must be stable.
    TFASTMEMLIST again;
    Check(again.LoadFromData(list.SaveToString()));
    Check(again.SaveToString() == list.SaveToString());
  }

  TFASTMEMLIST levels;
  TSETTINGSBLOCK settings;
  DecodeError error;
  if (LoadPackageFromData(bytes, &levels, &settings, &error)) {
    ReadEveryField(levels);
    // What was accepted is accepted again once written back.
    TFASTMEMLIST reloaded;
    TSETTINGSBLOCK reloaded_settings;
    Check(LoadPackageFromData(PackageToData(levels, settings), &reloaded,
                              &reloaded_settings, nullptr));
    Check(reloaded.Count() == levels.Count());
  } else {
    Check(levels.Count() == 0);
    Check(error.offset <= size);
  }
  return 0;
}
