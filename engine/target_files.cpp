#include "engine/target_files.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "fastmemlist/list_view.h"
#include "services/failure.h"
#include "services/handle_io.h"
#include "services/posix_error.h"
#include "services/system_path.h"

namespace {

// Enough files and bytes for any stretch of levels that moves between a
// few files; past them the least recently used is installed early.
constexpr size_t kMaxHeldFiles = 64;
constexpr uint64_t kMaxHeldBytes = uint64_t{256} << 20;

// Reads the file from the start: the `size` bytes it had, and any that it
// gained meanwhile. The byte asked for beyond the size shows whether the
// end has been reached. The buffer is not cleared first: it is read into.
bool ReadAll(int fd, uint64_t size, std::unique_ptr<char[]>* bytes,
             uint64_t* length) {
  auto buffer = std::make_unique_for_overwrite<char[]>(size + 1);
  int error = 0;
  const uint64_t got = ReadFromHandle(fd, buffer.get(), size + 1, &error);
  if (error != 0) {
    return false;
  }
  if (got <= size) {
    *bytes = std::move(buffer);
    *length = got;
    return true;
  }
  std::string more;
  if (!ReadWholeHandle(fd, &more, &error)) {
    return false;
  }
  *length = got + more.size();
  *bytes = std::make_unique_for_overwrite<char[]>(*length);
  std::memcpy(bytes->get(), buffer.get(), got);
  std::memcpy(bytes->get() + got, more.data(), more.size());
  return true;
}

bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

bool HeldFile::PrepareChange(uint64_t size, std::string* err) {
  if (replacement_ == nullptr) {
    auto replacement = std::make_unique<PosixFileReplacement>();
    if (!replacement->Begin(name_, err)) {
      return false;
    }
    const FileInfo& target = replacement->target_info();
    if (!target.exists() || target.device != read_stat_.st_dev ||
        target.inode != read_stat_.st_ino) {
      *err = "cannot write " + name_ +
             ": it was replaced by another file after it was read";
      return false;
    }
    replacement_ = std::move(replacement);
  }
  return replacement_->Reserve(size, err);
}

LineBlock LineBlockFromData(std::string_view data) {
  std::vector<std::string_view> lines;
  ListView block;
  if (block.Parse(data)) {
    lines.reserve(block.Count());
    for (uint64_t i = 0; i < block.Count(); ++i) {
      lines.push_back(block.Item(i));
    }
  }
  return LineBlock(lines);
}

int64_t HeldFile::FindLines(std::string_view block_data) {
  if (searched_ && last_version_ == text_.Version() &&
      last_block_ == block_data) {
    return last_found_;
  }
  last_found_ = text_.FindLines(LineBlockFromData(block_data));
  last_block_ = block_data;
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
  // Opening never waits (a pipe without a writer would), and only a plain
  // file is read.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat st;
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0) {
    *access = errno == ENOENT || errno == ENOTDIR ? Access::kMissing
                                                  : Access::kUnreadable;
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    *access = S_ISDIR(st.st_mode) ? Access::kMissing : Access::kUnreadable;
    return nullptr;
  }
  const Identity identity{st.st_dev, st.st_ino};
  Held::iterator file;
  const auto known = by_identity_.find(identity);
  if (known != by_identity_.end()) {
    // Another name of a file held already.
    file = known->second;
  } else {
    std::unique_ptr<char[]> bytes;
    uint64_t length = 0;
    if (!ReadAll(fd.get(), static_cast<uint64_t>(st.st_size), &bytes,
                 &length)) {
      *access = Access::kUnreadable;
      return nullptr;
    }
    auto held = std::make_unique<HeldFile>();
    held->name_ = path;
    held->fd_ = std::move(fd);
    held->read_stat_ = st;
    held->read_bytes_ = length;
    held->text_ = EditableText(std::move(bytes), length);
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
  while (held_.size() > kMaxHeldFiles || held_bytes_ > kMaxHeldBytes) {
    auto last = std::prev(held_.end());
    if (last->get() == keep) {
      return;
    }
    std::string err;
    const bool installed = Install(last->get(), &err);
    Release(last);
    if (!installed) {
      throw Failure(err);
    }
  }
}

bool TargetFiles::Install(HeldFile* file, std::string* err) {
  std::unique_ptr<FileReplacement> replacement =
      std::move(file->replacement_);
  if (replacement == nullptr) {
    return true;  // nothing changed
  }
  // The rewrite goes only over the file it was made from, and only while
  // nobody else has changed that file since it was read.
  struct stat now;
  struct stat target;
  if (::fstat(file->fd_.get(), &now) != 0 ||
      ::stat(replacement->target().c_str(), &target) != 0 ||
      target.st_dev != now.st_dev || target.st_ino != now.st_ino) {
    *err = "cannot write " + file->name_ +
           ": it was replaced by another file after it was read";
    return false;
  }
  if (now.st_size != file->read_stat_.st_size ||
      !SameTime(now.st_mtim, file->read_stat_.st_mtim)) {
    *err = "cannot write " + file->name_ +
           ": another program changed it after it was read";
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
  by_identity_.erase({(*file)->read_stat_.st_dev, (*file)->read_stat_.st_ino});
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
