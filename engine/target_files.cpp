#include "engine/target_files.h"

#include <sys/stat.h>

#include "services/failure.h"
#include "services/file_services.h"

TargetFiles::TargetFiles() = default;

TargetFiles::~TargetFiles() {
  if (pending_ != nullptr) {
    std::string err;
    pending_->Commit(&err);
  }
}

bool TargetFiles::IsPending(const std::string& path) {
  if (pending_ == nullptr) {
    return false;
  }
  if (path == pending_name_) {
    return true;
  }
  // Every way of naming the file (links, other spellings) leads to the
  // same device and inode, which stay until the rewrite is installed.
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 ||
      st.st_dev != pending_->target_device() ||
      st.st_ino != pending_->target_inode()) {
    return false;
  }
  pending_name_ = path;
  return true;
}

bool TargetFiles::Read(const std::string& path, std::string* content) {
  if (IsPending(path)) {
    *content = pending_->content();
    return true;
  }
  return FileToString(path, content);
}

bool TargetFiles::Write(const std::string& path, std::string_view content) {
  std::string err;
  if (IsPending(path)) {
    return pending_->Write(content, &err);
  }
  Flush();
  auto replacement = std::make_unique<FileReplacement>();
  if (!replacement->Begin(path, &err) || !replacement->Write(content, &err)) {
    return false;
  }
  if (!replacement->target_existed()) {
    // Nothing to keep pending for a file that did not exist: its device
    // and inode are not known before it is installed.
    return replacement->Commit(&err);
  }
  pending_ = std::move(replacement);
  pending_name_ = path;
  return true;
}

void TargetFiles::Flush() {
  if (pending_ == nullptr) {
    return;
  }
  std::unique_ptr<FileReplacement> replacement = std::move(pending_);
  pending_name_.clear();
  std::string err;
  if (!replacement->Commit(&err)) {
    throw Failure(err);
  }
}
