// Feeds arbitrary bytes to the diff reading of qrlpack from-diff: the input
// is a diff, then a zero byte, then the content of every file it names.
// Each file's hunks are applied in memory and its levels are made (without
// the verification, which needs the disk). Any crash, sanitizer report,
// hang or oversized allocation is a finding.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pack/author/change_levels.h"
#include "pack/author/patch_file.h"
#include "pack/author/unified_diff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t zero = input.find('\0');
  const std::string_view diff = input.substr(0, zero);
  const std::string_view content = zero == std::string_view::npos
                                       ? std::string_view()
                                       : input.substr(zero + 1);
  std::vector<DiffFile> files;
  std::vector<std::string> errors;
  ParseUnifiedDiff(diff, &files, &errors);
  ChangeSet changes;
  for (const DiffFile& file : files) {
    FileChange change;
    change.path = "f" + std::to_string(changes.files.size());
    std::string after;
    if (!PatchFile(change.path, content, file.hunks, &after, &change.hunks,
                   &errors)) {
      continue;
    }
    change.before = std::string(content);
    change.after = after;
    changes.before.files[change.path] = *change.before;
    changes.after.files[change.path] = after;
    changes.files.push_back(std::move(change));
  }
  for (const MarkerStyle markers : {MarkerStyle::kNone, MarkerStyle::kC}) {
    std::string package;
    TreeState applied;
    std::vector<FileLevels> levels;
    std::vector<std::string> notes;
    std::string err;
    BuildChangePackage(changes, markers, &package, &applied, &levels, &notes,
                       &err);
  }
  return 0;
}
