#include "services/file_replacement.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "services/diagnostics.h"
#include "services/file_system_rules.h"
#include "services/handle_io.h"
#include "services/posix_error.h"
#include "services/stale_temporaries.h"
#include "services/system_path.h"
#include "services/temporary_names.h"
#include "services/unique_fd.h"

namespace {

bool Fail(std::string* err, std::string_view context, int error) {
  if (err != nullptr) {
    *err = PosixError(context, error);
  }
  return false;
}

std::string OctalMode(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// Writes the whole content at the start of `fd`, over what the file held
// (`old_size` bytes), and cuts the file after it. Overwriting in place is
// much cheaper for the file system than emptying the file first.
bool WriteFromStart(int fd, std::string_view content, uint64_t old_size,
                    int* error) {
  struct iovec whole = {const_cast<char*>(content.data()), content.size()};
  if (!WritePiecesAt(fd, &whole, 1, 0, error)) {
    return false;
  }
  if (content.size() < old_size &&
      ::ftruncate(fd, static_cast<off_t>(content.size())) != 0) {
    *error = errno;
    return false;
  }
  return true;
}

// A temporary file whose time was set this recently needs no touch before
// its rename: the sweep of other runs takes only files a minute old.
constexpr auto kFreshFor = std::chrono::seconds(10);

}  // namespace

bool PosixFileReplacement::Begin(const std::string& file_name,
                                 std::string* err) {
  Discard();
  content_.clear();
  content_on_disk_ = false;
  create_in_place_ = false;
  file_size_ = 0;
  notes_.clear();
  return ResolveReplacementTarget(SystemFileSystem(), file_name, &target_,
                                  &target_info_, err);
}

bool PosixFileReplacement::CreateTemporary(std::string* err) {
  const std::string directory = SystemDirectoryPart(target_);
  RemoveStaleTemporariesOnce(directory);
  const mode_t umask = ProcessUmask();
  const mode_t mode = target_info_.exists() ? target_info_.mode : 0666 & ~umask;
  std::string name;
  UniqueFd fd;
  for (int attempt = 0; !fd.valid(); ++attempt) {
    name = directory + ReplacementTemporaryName();
    fd.reset(::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC,
                    mode & 0777));
    if (!fd.valid() && (errno != EEXIST || attempt == 100)) {
      return Fail(err, "cannot create a temporary file for " + target_, errno);
    }
  }
  // The lock tells a later run that the file is being written. A file
  // system without locks leaves it unlocked: then only its fresh
  // modification time keeps it from being taken for a leftover.
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    // Ignored, as said.
  }
  const int error = TakeOverAttributes(fd.get(), umask);
  if (error != 0) {
    ::unlink(name.c_str());
    return Fail(err, "cannot set the mode for " + target_, error);
  }
  temporary_.name = std::move(name);
  temporary_.fd = fd.release();
  fresh_since_ = std::chrono::steady_clock::now();
  return true;
}

int PosixFileReplacement::TakeOverAttributes(int fd, mode_t umask) {
  if (!target_info_.exists()) {
    // Creating gave the file the mode 0666 less the umask already.
    return 0;
  }
  mode_t mode = target_info_.mode;
  struct stat created;
  if (::fstat(fd, &created) != 0) {
    return errno;
  }
  // The owner and group go first: a change of either clears the set-ID
  // bits. Keeping the owner needs privileges the program may lack, the
  // group only membership in it; the content matters more, so a refusal
  // is noted and the replacement goes on. A set-ID bit goes with the owner
  // or group it was given for.
  const uid_t owner = target_info_.owner;
  const gid_t group = target_info_.group;
  if ((created.st_uid != owner || created.st_gid != group) &&
      ::fchown(fd, owner, group) != 0) {
    const int refusal = errno;
    if (created.st_uid != owner) {
      notes_.push_back(PosixError("cannot keep the owner (user " +
                                      std::to_string(owner) + ") of " + target_,
                                  refusal));
      mode &= ~S_ISUID;
    }
    if (created.st_gid != group &&
        ::fchown(fd, static_cast<uid_t>(-1), group) != 0) {
      notes_.push_back(PosixError("cannot keep the group (group " +
                                      std::to_string(group) + ") of " + target_,
                                  errno));
      mode &= ~S_ISGID;
    }
  }
  // Creating gave the file the mode less the umask, and never the set-ID
  // or sticky bits; only a mode that differs needs setting.
  bool mode_set = false;
  if ((mode & ~(umask & 0777)) != mode || (mode & 07000) != 0) {
    if (::fchmod(fd, mode) != 0) {
      return errno;
    }
    mode_set = true;
  }
  // The system may drop a set-group-ID bit silently (for a group that the
  // program is not a member of); a file created with the target's mode
  // and left alone has it.
  struct stat now;
  if (mode_set && ::fstat(fd, &now) == 0 &&
      (now.st_mode & 07777) != target_info_.mode) {
    notes_.push_back("cannot keep the mode " + OctalMode(target_info_.mode) +
                     " of " + target_ + ": it is " + OctalMode(now.st_mode) +
                     " now");
  }
  return 0;
}

bool PosixFileReplacement::Write(std::string_view content, std::string* err) {
  int error = 0;
  if (temporary_.fd < 0) {
    if (content.empty() && !target_info_.exists()) {
      // A new empty file cannot be seen half-written: the commit creates
      // it where it belongs, unless something stands there by then.
      content_.clear();
      create_in_place_ = true;
      return true;
    }
    if (!CreateTemporary(err)) {
      return false;
    }
    if (!WriteFromStart(temporary_.fd, content, 0, &error)) {
      RemoveTemporary();
      return Fail(err, "cannot write " + target_, error);
    }
    content_ = content;
    content_on_disk_ = true;
    create_in_place_ = false;
    file_size_ = content.size();
    fresh_since_ = std::chrono::steady_clock::now();
    return true;
  }
  // Later content is only given room now and written at the commit.
  if (content.size() > file_size_) {
    if (::fallocate(temporary_.fd, 0, 0, static_cast<off_t>(content.size())) ==
        0) {
      file_size_ = content.size();
    } else if (errno == EOPNOTSUPP &&
               WriteFromStart(temporary_.fd, content, file_size_, &error)) {
      // A file system without reservations gets the bytes themselves.
      content_ = content;
      content_on_disk_ = true;
      file_size_ = content.size();
      fresh_since_ = std::chrono::steady_clock::now();
      return true;
    } else {
      return Fail(err, "cannot write " + target_, error != 0 ? error : errno);
    }
  }
  content_ = content;
  content_on_disk_ = false;
  return true;
}

bool PosixFileReplacement::CreateInPlace(std::string* err) {
  UniqueFd fd(::open(target_.c_str(),
                     O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                     0666));
  if (fd.valid()) {
    if (::close(fd.release()) != 0) {
      return Fail(err, "cannot write " + target_, errno);
    }
    return true;
  }
  if (errno != EEXIST) {
    return Fail(err, "cannot write " + target_, errno);
  }
  // Something came meanwhile: it is replaced as any file is.
  int ignored = 0;
  target_info_ = SystemFileSystem().Stat(target_, FollowLinks::kNo, &ignored);
  if (target_info_.type != FileType::kRegular) {
    return Fail(err, "cannot write " + target_, EEXIST);
  }
  int error = 0;
  if (!CreateTemporary(err)) {
    return false;
  }
  if (!WriteFromStart(temporary_.fd, "", 0, &error)) {
    Discard();
    return Fail(err, "cannot write " + target_, error);
  }
  content_on_disk_ = true;
  return Commit(err);
}

bool PosixFileReplacement::Commit(std::string* err) {
  if (std::exchange(create_in_place_, false)) {
    return CreateInPlace(err);
  }
  if (temporary_.fd < 0) {
    return Fail(err, "nothing was written for " + target_, EINVAL);
  }
  int error = 0;
  if (!content_on_disk_) {
    if (!WriteFromStart(temporary_.fd, content_, file_size_, &error)) {
      Discard();
      return Fail(err, "cannot write " + target_, error);
    }
    fresh_since_ = std::chrono::steady_clock::now();
  }
  // Closing lets go of the lock. A file whose time was set long ago (its
  // content went to it at the first Write) is touched now, so that no other
  // run can take it for a leftover in the moment before the rename.
  const int fd = std::exchange(temporary_.fd, -1);
  if (std::chrono::steady_clock::now() - fresh_since_ >= kFreshFor) {
    ::futimens(fd, nullptr);
  }
  if (::close(fd) != 0) {
    error = errno;
    Discard();
    return Fail(err, "cannot write " + target_, error);
  }
  if (::rename(temporary_.name.c_str(), target_.c_str()) != 0) {
    error = errno;
    Discard();
    return Fail(err, "cannot replace " + target_, error);
  }
  temporary_.name.clear();
  for (const std::string& note : notes_) {
    Diagnose(note);
  }
  notes_.clear();
  if (target_info_.exists() && (target_info_.mode & 0222) == 0) {
    Diagnose("replaced the read-only file " + target_);
  }
  return true;
}

bool PosixFileReplacement::Reserve(uint64_t size, std::string* err) {
  if (temporary_.fd < 0 && !CreateTemporary(err)) {
    return false;
  }
  if (size > file_size_) {
    // The room for the growth only; posix_fallocate writes it where the
    // file system cannot reserve.
    const int error =
        ::posix_fallocate(temporary_.fd, static_cast<off_t>(file_size_),
                          static_cast<off_t>(size - file_size_));
    if (error != 0) {
      return Fail(err, "cannot write " + target_, error);
    }
    file_size_ = size;
  }
  return true;
}

bool PosixFileReplacement::CommitFrom(const Producer& produce,
                                      std::string* err) {
  if (temporary_.fd < 0 && !CreateTemporary(err)) {
    return false;
  }
  // Written by position (the reservation has not moved the file offset,
  // but an earlier Write may have), the producer's pieces gathered where
  // they stand into as few calls as the system takes.
  constexpr size_t kGathered = 1024;
  std::vector<struct iovec> pieces;
  pieces.reserve(kGathered);
  int error = 0;
  uint64_t written = 0;
  uint64_t gathered = 0;
  const auto flush = [&]() {
    if (!WritePiecesAt(temporary_.fd, pieces.data(), pieces.size(), written,
                       &error)) {
      return false;
    }
    written += gathered;
    gathered = 0;
    pieces.clear();
    return true;
  };
  if (produce([&](std::string_view bytes) {
        if (bytes.empty()) {
          return true;
        }
        pieces.push_back({const_cast<char*>(bytes.data()), bytes.size()});
        gathered += bytes.size();
        return pieces.size() < kGathered || flush();
      })) {
    flush();
  } else if (error == 0) {
    error = EIO;  // the producer gave up
  }
  if (error == 0 && written < file_size_ &&
      ::ftruncate(temporary_.fd, static_cast<off_t>(written)) != 0) {
    error = errno;
  }
  if (error != 0) {
    Discard();
    return Fail(err, "cannot write " + target_, error);
  }
  content_on_disk_ = true;
  create_in_place_ = false;
  file_size_ = written;
  if (written > 0) {
    fresh_since_ = std::chrono::steady_clock::now();
  }
  return Commit(err);
}

void PosixFileReplacement::Discard() { RemoveTemporary(); }

void PosixFileReplacement::RemoveTemporary() {
  if (temporary_.fd >= 0) {
    ::close(temporary_.fd);
    temporary_.fd = -1;
  }
  if (!temporary_.name.empty()) {
    ::unlink(temporary_.name.c_str());
    temporary_.name.clear();
  }
}
