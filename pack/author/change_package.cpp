#include "pack/author/change_package.h"

#include "pack/author/change_levels.h"
#include "pack/author/verify_package.h"

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

// Why a package cannot carry the name exactly, or "".
std::string NameRefusal(const std::string& name) {
  if (name.find(kRootMacro) != std::string::npos) {
    return name + ": the name holds " + std::string(kRootMacro) +
           ", the macro that the package's paths stand under: the run "
           "would put the tree's path in its place";
  }
  if (name.find('\\') != std::string::npos) {
    return name +
           ": the name holds \"\\\", which a package's levels take as a "
           "directory separator: rename it first";
  }
  return std::string();
}

// False with *err for the first name of the change that a package cannot
// carry.
bool NamesCarry(const ChangeSet& changes, std::string* err) {
  for (const FileChange& change : changes.files) {
    *err = NameRefusal(change.path);
    if (!err->empty()) {
      return false;
    }
  }
  for (const auto* list :
       {&changes.created_directories, &changes.removed_directories}) {
    for (const std::string& directory : *list) {
      *err = NameRefusal(directory);
      if (!err->empty()) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool MakeChangePackage(const ChangeSet& changes, MarkerStyle markers,
                       std::string* package, std::string* err,
                       std::vector<std::string>* notes) {
  if (!NamesCarry(changes, err)) {
    return false;
  }
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
