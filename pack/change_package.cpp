#include "pack/change_package.h"

#include "pack/change_levels.h"
#include "pack/verify_package.h"

namespace {

// Which levels of the file a failure at `line` of its applied content
// points to.
std::string LevelsAt(const FileLevels& file, size_t line) {
  if (file.whole_file) {
    return "its whole-file levels";
  }
  if (file.hunks.empty()) {
    return "its levels";
  }
  const LineHunk* nearest = &file.hunks.front();
  for (const LineHunk& hunk : file.hunks) {
    if (line > 0 && hunk.new_start + 1 <= line) {
      nearest = &hunk;
    }
  }
  return nearest->name;
}

}  // namespace

bool MakeChangePackage(const ChangeSet& changes, MarkerStyle markers,
                       std::string* package, std::string* err,
                       std::vector<std::string>* notes) {
  std::string bytes;
  TreeState applied;
  std::vector<FileLevels> files;
  std::vector<std::string> said;
  if (!BuildChangePackage(changes, markers, &bytes, &applied, &files, &said,
                          err)) {
    return false;
  }
  VerifyFailure failure;
  if (!VerifyPackage(bytes, changes.before, applied, &failure)) {
    std::string where = failure.path.empty() ? "the package" : failure.path;
    for (const FileLevels& file : files) {
      if (file.path == failure.path) {
        where += ", " + LevelsAt(file, failure.line);
      }
    }
    *err = where + ": the package does not verify: after " + failure.action +
           ", " + failure.detail + "; nothing was written";
    return false;
  }
  *package = std::move(bytes);
  if (notes != nullptr) {
    notes->insert(notes->end(), said.begin(), said.end());
  }
  return true;
}
