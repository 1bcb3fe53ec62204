#include "pack/author/from_diff.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "pack/author/change_package.h"
#include "pack/author/from_trees.h"
#include "pack/author/patch_file.h"
#include "pack/author/unified_diff.h"
#include "services/file_services.h"
#include "services/file_system.h"

namespace {

// What the tree holds at a path.
enum class Kind { kMissing, kFile, kDirectory, kOther };

Kind KindAt(const std::string& path, bool* executable) {
  const FileInfo info = PathInfo(path, FollowLinks::kNo);
  if (!info.exists()) {
    return Kind::kMissing;
  }
  if (executable != nullptr) {
    *executable = (info.mode & 0111) != 0;
  }
  if (info.type == FileType::kRegular) {
    return Kind::kFile;
  }
  return info.type == FileType::kDirectory ? Kind::kDirectory : Kind::kOther;
}

// The names in a directory; empty when it cannot be read.
std::set<std::string> Entries(const std::string& directory) {
  std::vector<DirectoryEntry> entries;
  std::set<std::string> names;
  if (ReadDirectory(directory + "/", &entries) == DirectoryRead::kOk) {
    for (const DirectoryEntry& entry : entries) {
      names.insert(entry.name);
    }
  }
  return names;
}

// The first component of `path` that is a symbolic link in the tree at
// `root`, or "" when none is. A package that wrote through it would change
// what lies wherever the link points, maybe outside the tree.
std::string LinkOnTheWay(const std::string& root, const std::string& path,
                         std::string* target) {
  for (size_t end = path.find('/');; end = path.find('/', end + 1)) {
    const std::string part = path.substr(0, end);
    const FileInfo info = PathInfo(root + part, FollowLinks::kNo);
    if (!info.exists()) {
      return std::string();  // nothing stands below a name that is missing
    }
    if (info.type == FileType::kLink) {
      if (!CurrentFileSystem().ReadLink(root + part, target)) {
        target->clear();
      }
      return part;
    }
    if (end == std::string::npos) {
      return std::string();
    }
  }
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// What becomes of the missing directories above a file the diff names:
// made with it, or left missing (the file goes).
enum class MissingParents { kLeft, kMade };

class DiffReader {
 public:
  DiffReader(const FromDiffOptions& options, ChangeSet* changes,
             std::vector<std::string>* errors)
      : options_(options), changes_(changes), errors_(errors) {
    root_ = options.tree.empty() ? "./" : options.tree;
    if (root_.back() != '/') {
      root_ += '/';
    }
  }

  void Add(const DiffFile& file);
  // Directories that the removed files leave empty go too, as patch does.
  void RemoveEmptiedDirectories();

 private:
  bool Resolve(const DiffFile& file, std::string* path);
  void Error(const DiffFile& file, const std::string& path,
             const std::string& what) {
    errors_->push_back("diff line " + std::to_string(file.line) + ": " + path +
                       ": " + what);
  }
  // A file that an earlier part of the diff changed already (a series of
  // patches from git format-patch): its hunks apply to the changed
  // content. A later patch of a series makes a change of its own, which
  // starts where the one before ended; otherwise (or with markers, which
  // the earlier levels put into the file) the levels take the line
  // differences of the whole.
  void AddAgain(const DiffFile& file, const std::string& path);
  // Applies the file's hunks to `before`: change->after (none when the
  // diff removes the file) and change->hunks. False when they do not fit.
  bool Patch(const DiffFile& file, const std::string& before,
             FileChange* change);
  // The change of a later patch of a series, from where the earlier ones
  // left the file.
  void AddPatchAgain(const DiffFile& file, const FileChange& earlier);
  // Records the existing directories above `path` in the state before, and
  // plans the missing ones when `create` says so.
  void NoteParents(const std::string& path, MissingParents missing);

  const FromDiffOptions& options_;
  ChangeSet* changes_;
  std::vector<std::string>* errors_;
  std::string root_;
  std::set<std::string> seen_;
  std::set<std::string> new_directories_;
  std::map<std::string, std::set<std::string>> removed_names_;
};

bool DiffReader::Resolve(const DiffFile& file, std::string* path) {
  const auto strip = [&](const std::string& name, std::string* out) {
    std::string stripped;
    return name != "/dev/null" &&
           StripPathComponents(name, options_.strip, &stripped) &&
           PlainRelativePath(stripped, out);
  };
  std::string old_path;
  std::string new_path;
  const bool old_ok = !file.old_absent && strip(file.old_name, &old_path);
  const bool new_ok = !file.new_absent && strip(file.new_name, &new_path);
  if (file.old_absent) {
    *path = new_path;
    if (new_ok) {
      return true;
    }
  } else if (file.new_absent) {
    *path = old_path;
    if (old_ok) {
      return true;
    }
  } else if (old_ok && new_ok) {
    // Names that differ without a rename: the one the tree has, as patch.
    bool executable = false;
    *path = old_path == new_path ||
                    KindAt(root_ + old_path, &executable) != Kind::kMissing
                ? old_path
                : new_path;
    return true;
  } else if (old_ok || new_ok) {
    *path = old_ok ? old_path : new_path;
    return true;
  }
  Error(file, file.old_absent ? file.new_name : file.old_name,
        "cannot take " + std::to_string(options_.strip) +
            " leading components (-p) from this name and keep a path "
            "inside the tree");
  return false;
}

void DiffReader::NoteParents(const std::string& path, MissingParents missing) {
  bool added = false;
  for (const std::string& directory : ParentDirectories(path)) {
    bool executable = false;
    const Kind kind = KindAt(root_ + directory, &executable);
    if (kind == Kind::kDirectory) {
      changes_->before.directories.insert(directory);
      changes_->after.directories.insert(directory);
    } else if (missing == MissingParents::kMade && kind == Kind::kMissing) {
      changes_->after.directories.insert(directory);
      if (new_directories_.insert(directory).second && !added) {
        // Only the topmost: reverse removes it with all below.
        changes_->created_directories.push_back(directory);
        added = true;
      }
      added = true;
    }
  }
}

void DiffReader::Add(const DiffFile& file) {
  std::string path;
  if (!Resolve(file, &path)) {
    return;
  }
  if (file.hunks.empty() && !file.old_absent && !file.new_absent) {
    return;  // a git header without any change to the content
  }
  std::string target;
  const std::string link = LinkOnTheWay(root_, path, &target);
  if (!link.empty()) {
    Error(file, path,
          (link == path
               ? std::string("a symbolic link in ")
               : "its path passes through " + link + ", a symbolic link in ") +
              options_.tree + " (to " + target +
              "); a package never writes through links");
    return;
  }
  if (!seen_.insert(path).second) {
    AddAgain(file, path);
    return;
  }
  const std::string full = root_ + path;
  bool executable = false;
  const Kind kind = KindAt(full, &executable);
  FileChange change;
  change.path = path;
  if (file.patch > 0) {
    change.patches = {file.patch};
  }
  if (kind == Kind::kOther) {
    Error(file, path,
          "not a regular file in " + options_.tree +
              " (a device, pipe or socket); a package cannot patch it");
    return;
  }
  if (kind == Kind::kDirectory) {
    Error(file, path, "is a directory in " + options_.tree);
    return;
  }
  if (file.old_absent && kind == Kind::kFile) {
    Error(
        file, path,
        "the diff creates this file, but " + options_.tree + " already has it");
    return;
  }
  if (!file.old_absent && kind == Kind::kMissing) {
    Error(file, path, "can't find this file in " + options_.tree);
    return;
  }
  std::string before;
  if (kind == Kind::kFile) {
    if (!FileToString(full, &before)) {
      Error(file, path, "cannot be read");
      return;
    }
    change.before = before;
  }
  if (!Patch(file, before, &change)) {
    return;
  }
  const std::string after = change.after.value_or("");
  // The state before and after, as far as this file goes.
  NoteParents(path, change.after.has_value() ? MissingParents::kMade
                                             : MissingParents::kLeft);
  if (change.before.has_value()) {
    changes_->before.files[path] = before;
    if (executable) {
      changes_->before.executables.insert(path);
    }
  }
  if (change.after.has_value()) {
    changes_->after.files[path] = after;
    const bool new_executable =
        !file.new_file_mode.empty() &&
        (std::strtol(file.new_file_mode.c_str(), nullptr, 8) & 0111) != 0;
    if (change.before.has_value() ? executable : new_executable) {
      changes_->after.executables.insert(path);
    }
    change.make_executable = !change.before.has_value() && new_executable;
  } else {
    removed_names_[DirectoryOf(path)].insert(BaseName(path));
  }
  changes_->files.push_back(std::move(change));
}

bool DiffReader::Patch(const DiffFile& file, const std::string& before,
                       FileChange* change) {
  std::string after;
  std::vector<std::string> failed;
  if (!PatchFile(change->path, before, file.hunks, &after, &change->hunks,
                 &failed)) {
    errors_->insert(errors_->end(), failed.begin(), failed.end());
    return false;
  }
  if (!file.new_absent) {
    change->after = std::move(after);
  } else if (!after.empty()) {
    Error(file, change->path,
          "the diff removes this file, but its hunks leave " +
              std::to_string(after.size()) + " bytes in it");
    return false;
  }
  return true;
}

void DiffReader::AddAgain(const DiffFile& file, const std::string& path) {
  FileChange* change = nullptr;
  for (FileChange& earlier : changes_->files) {
    if (earlier.path == path) {
      change = &earlier;
    }
  }
  if (change != nullptr && options_.markers == MarkerStyle::kNone &&
      file.patch > 0 && !change->patches.empty() &&
      change->patches.back() != file.patch) {
    AddPatchAgain(file, *change);
    return;
  }
  if (change == nullptr || !change->before.has_value() ||
      !change->after.has_value() || file.old_absent || file.new_absent) {
    Error(file, path,
          "the diff creates or removes this file and changes it elsewhere; "
          "make one diff of the whole change");
    return;
  }
  std::string after;
  std::vector<LineHunk> located;
  std::vector<std::string> failed;
  if (!PatchFile(path, *change->after, file.hunks, &after, &located, &failed)) {
    errors_->insert(errors_->end(), failed.begin(), failed.end());
    return;
  }
  change->after = after;
  changes_->after.files[path] = after;
  change->hunks =
      LineHunks(SplitTextLines(*change->before), SplitTextLines(after));
  if (file.patch > 0 &&
      (change->patches.empty() || change->patches.back() != file.patch)) {
    change->patches.push_back(file.patch);
  }
}

void DiffReader::AddPatchAgain(const DiffFile& file,
                               const FileChange& earlier) {
  const std::string path = earlier.path;
  if (file.old_absent == earlier.after.has_value()) {
    Error(file, path,
          earlier.after.has_value()
              ? "the diff creates this file, but an earlier patch left it there"
              : "an earlier patch removed this file");
    return;
  }
  FileChange change;
  change.path = path;
  change.before = earlier.after;
  change.patches = {file.patch};
  if (!Patch(file, earlier.after.value_or(""), &change)) {
    return;
  }
  if (change.after.has_value()) {
    changes_->after.files[path] = *change.after;
    NoteParents(path, MissingParents::kMade);
  } else {
    changes_->after.files.erase(path);
    removed_names_[DirectoryOf(path)].insert(BaseName(path));
  }
  changes_->files.push_back(std::move(change));
}

void DiffReader::RemoveEmptiedDirectories() {
  // Deepest first: a directory emptied of its last directory goes too.
  std::vector<std::string> candidates;
  for (const auto& [directory, names] : removed_names_) {
    candidates.push_back(directory);
  }
  std::set<std::string> removed;
  while (!candidates.empty()) {
    std::sort(candidates.begin(), candidates.end(),
              [](const std::string& a, const std::string& b) {
                return a.size() > b.size() || (a.size() == b.size() && a < b);
              });
    const std::string directory = candidates.front();
    candidates.erase(candidates.begin());
    if (directory.empty() || removed.contains(directory)) {
      continue;
    }
    std::set<std::string> left = Entries(root_ + directory);
    for (const std::string& name : removed_names_[directory]) {
      left.erase(name);
    }
    for (const auto& [path, content] : changes_->after.files) {
      if (DirectoryOf(path) == directory) {
        left.insert(BaseName(path));
      }
    }
    if (!left.empty()) {
      continue;
    }
    removed.insert(directory);
    changes_->removed_directories.push_back(directory);
    changes_->after.directories.erase(directory);
    changes_->before.directories.insert(directory);
    const std::string parent = DirectoryOf(directory);
    removed_names_[parent].insert(BaseName(directory));
    candidates.push_back(parent);
  }
}

}  // namespace

bool PlainRelativePath(std::string_view path, std::string* plain) {
  plain->clear();
  if (path.empty() || path.front() == '/') {
    return false;
  }
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) {
      end = path.size();
    }
    const std::string_view part = path.substr(start, end - start);
    if (part == "..") {
      return false;
    }
    if (!part.empty() && part != ".") {
      if (!plain->empty()) {
        *plain += '/';
      }
      *plain += part;
    }
    start = end + 1;
  }
  return !plain->empty();
}

bool ChangeFromDiff(std::string_view diff, const FromDiffOptions& options,
                    ChangeSet* changes, std::vector<std::string>* errors) {
  *changes = ChangeSet();
  std::vector<DiffFile> files;
  const size_t errors_before = errors->size();
  ParseUnifiedDiff(diff, &files, errors, &changes->series);
  DiffReader reader(options, changes, errors);
  for (const DiffFile& file : files) {
    reader.Add(file);
  }
  reader.RemoveEmptiedDirectories();
  return errors->size() == errors_before;
}

bool PackageFromDiff(std::string_view diff, const FromDiffOptions& options,
                     std::string* package, std::vector<std::string>* errors,
                     std::vector<std::string>* notes) {
  ChangeSet changes;
  if (!ChangeFromDiff(diff, options, &changes, errors)) {
    return false;
  }
  std::string err;
  if (!MakeChangePackage(changes, options.markers, package, &err, notes)) {
    errors->push_back(err);
    return false;
  }
  return true;
}
