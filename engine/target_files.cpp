#include "engine/target_files.h"

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>

#include "fastmemlist/list_view.h"
#include "services/failure.h"
#include "services/system_path.h"

namespace {

// Past the bound on held files and bytes the least recently used file is
// installed early. The bound on files starts small, which suits levels
// that take the files one after another, and doubles whenever a file
// installed early is wanted again: levels that cycle through more files
// than are held would otherwise install and read every file at every
// level. A held file keeps a descriptor open, and its rewrite a second
// one: at most a quarter of the descriptors the process may open go to
// them, so that tools, nested packages and the program's own files keep
// the rest.
constexpr size_t kMostHeldFiles = 4096;
constexpr size_t kLeastMostHeldFiles = 64;
constexpr uint64_t kMaxHeldBytes = uint64_t{256} << 20;
// Names of files installed early that are remembered, to see them wanted
// again; past this many the memory starts anew.
constexpr size_t kMostRememberedNames = 1 << 16;

}  // namespace

size_t MaxHeldFiles() {
  struct rlimit limit;
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 ||
      limit.rlim_cur == RLIM_INFINITY) {
    return kMostHeldFiles;
  }
  return std::clamp(static_cast<size_t>(limit.rlim_cur / 4),
                    kLeastMostHeldFiles, kMostHeldFiles);
}

bool HeldFile::PrepareChange(uint64_t size, std::string* err) {
  if (replacement_ == nullptr) {
    std::unique_ptr<FileReplacement> replacement =
        CurrentFileSystem().NewReplacement();
    if (!replacement->Begin(name_, err)) {
      return false;
    }
    const FileInfo& target = replacement->target_info();
    const FileInfo& read = opened_->info();
    if (!target.exists() || target.device != read.device ||
        target.inode != read.inode) {
      *err = "cannot write " + name_ +
             ": it was replaced by another file after it was read";
      return false;
    }
    replacement_ = std::move(replacement);
  }
  if (!replacement_->Reserve(size, err)) {
    if (!changed_) {
      // The text is as it was read: nothing is to be written, not even
      // that, and the level's failure is the whole story.
      replacement_->Discard();
      replacement_.reset();
    }
    return false;
  }
  changed_ = true;
  return true;
}

int64_t HeldFile::FindLines(const std::vector<std::string_view>& lines) {
  if (searched_ && last_version_ == text_.Version() &&
      std::equal(last_block_.begin(), last_block_.end(), lines.begin(),
                 lines.end())) {
    return last_found_;
  }
  last_found_ = text_.FindLines(LineBlock(lines));
  last_block_.assign(lines.begin(), lines.end());
  last_version_ = text_.Version();
  searched_ = true;
  return last_found_;
}

TargetFiles::~TargetFiles() {
  for (const std::unique_ptr<HeldFile>& file : held_) {
    std::string err;
    Install(file.get(), &err);
  }
}

HeldFile* TargetFiles::Hold(const std::string& path, Access* access) {
  Access ignored;
  if (access == nullptr) {
    access = &ignored;
  }
  const auto named = by_name_.find(path);
  if (named != by_name_.end()) {
    held_.splice(held_.begin(), held_, named->second);
    *access = Access::kHeld;
    return held_.front().get();
  }
  if (!UsablePath(path)) {
    *access = Access::kUnreadable;
    return nullptr;
  }
  if (installed_early_.erase(path) > 0) {
    max_files_ = std::min(max_files_ * 2, most_files_);
  }
  // The file system opens without waiting (a pipe without a writer would)
  // and reads only a plain file.
  int error = 0;
  std::unique_ptr<OpenedFile> opened = CurrentFileSystem().Open(path, &error);
  if (opened == nullptr) {
    *access = error == ENOENT || error == ENOTDIR || error == EISDIR
                  ? Access::kMissing
                  : Access::kUnreadable;
    return nullptr;
  }
  const Identity identity{opened->info().device, opened->info().inode};
  Held::iterator file;
  const auto known = by_identity_.find(identity);
  if (known != by_identity_.end()) {
    // Another name of a file held already.
    file = known->second;
  } else {
    auto held = std::make_unique<HeldFile>();
    held->name_ = path;
    held->read_bytes_ = opened->size();
    held->text_ = EditableText(opened->bytes(), opened->size());
    held->opened_ = std::move(opened);
    held_bytes_ += held->read_bytes_;
    held_.push_front(std::move(held));
    file = held_.begin();
    by_identity_.emplace(identity, file);
  }
  (*file)->names_.push_back(path);
  by_name_.emplace(path, file);
  held_.splice(held_.begin(), held_, file);
  Bound(held_.front().get());
  *access = Access::kHeld;
  return held_.front().get();
}

void TargetFiles::Bound(const HeldFile* keep) {
  while (held_.size() > max_files_ || held_bytes_ > kMaxHeldBytes) {
    auto last = std::prev(held_.end());
    if (last->get() == keep) {
      return;
    }
    std::string err;
    const bool installed = Install(last->get(), &err);
    if (installed_early_.size() >= kMostRememberedNames) {
      installed_early_.clear();
    }
    for (const std::string& name : (*last)->names_) {
      installed_early_.insert(name);
    }
    Release(last);
    if (!installed) {
      throw Failure(err);
    }
  }
}

bool TargetFiles::Install(HeldFile* file, std::string* err) {
  std::unique_ptr<FileReplacement> replacement = std::move(file->replacement_);
  if (replacement == nullptr) {
    return true;  // nothing changed
  }
  // The rewrite goes only over the file it was made from, and only while
  // nobody else has changed that file since it was read.
  std::string why;
  if (!file->opened_->StillThere(replacement->target(), &why)) {
    *err = "cannot write " + file->name_ + ": " + why;
    return false;
  }
  return replacement->CommitFrom(
      [file](const std::function<bool(std::string_view)>& write) {
        return file->text_.WriteTo(write);
      },
      err);
}

void TargetFiles::Release(Held::iterator file) {
  for (const std::string& name : (*file)->names_) {
    by_name_.erase(name);
  }
  const FileInfo& read = (*file)->opened_->info();
  by_identity_.erase({read.device, read.inode});
  held_bytes_ -= (*file)->read_bytes_;
  held_.erase(file);
}

void TargetFiles::Flush() {
  std::string first_error;
  while (!held_.empty()) {
    std::string err;
    if (!Install(held_.back().get(), &err) && first_error.empty()) {
      first_error = err;
    }
    Release(std::prev(held_.end()));
  }
  if (!first_error.empty()) {
    throw Failure(first_error);
  }
}
