#include "services/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <random>
#include <utility>

#include "services/file_system_rules.h"
#include "services/handle_io.h"
#include "services/posix_error.h"
#include "services/system_path.h"
#include "services/unique_fd.h"

namespace {

// A name beside the target for its next content: ".qrl-tmp-" and six
// letters or digits, of fixed length so that a target name of the longest
// allowed length still leaves room for its temporary sibling. The letters
// come from a generator seeded once per process.
std::string TemporaryBaseName() {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937_64 generator{std::random_device{}() ^
                                   static_cast<uint64_t>(::getpid()) << 32};
  std::string name = ".qrl-tmp-XXXXXX";
  uint64_t bits = generator();
  for (size_t i = name.size() - 6; i < name.size(); ++i, bits /= 62) {
    name[i] = kLetters[bits % 62];
  }
  return name;
}

bool Fail(std::string* err, std::string_view context, int error) {
  if (err != nullptr) {
    *err = PosixError(context, error);
  }
  return false;
}

// Writes the whole content at the start of `fd`, over what the file held
// (`old_size` bytes), and cuts the file after it. Overwriting in place is
// much cheaper for the file system than emptying the file first.
bool WriteFromStart(int fd, std::string_view content, uint64_t old_size,
                    int* error) {
  if (::lseek(fd, 0, SEEK_SET) != 0) {
    *error = errno;
    return false;
  }
  const uint64_t written =
      WriteToHandle(fd, content.data(), content.size(), error);
  if (written != content.size()) {
    if (*error == 0) {
      *error = EIO;  // a write that made no progress without saying why
    }
    return false;
  }
  if (content.size() < old_size &&
      ::ftruncate(fd, static_cast<off_t>(content.size())) != 0) {
    *error = errno;
    return false;
  }
  return true;
}

}  // namespace

bool PosixFileReplacement::Begin(const std::string& file_name,
                                 std::string* err) {
  Discard();
  content_.clear();
  content_on_disk_ = false;
  file_size_ = 0;
  if (file_name.empty()) {
    return Fail(err, "cannot write a file without a name", ENOENT);
  }
  if (!UsablePath(file_name, err)) {
    return false;
  }
  if (!ResolveReplacementTarget(SystemFileSystem(), file_name, &target_,
                                &target_info_, err)) {
    return false;
  }
  if (target_info_.type == FileType::kDirectory) {
    return Fail(err, "cannot write " + target_, EISDIR);
  }
  in_place_ = target_info_.exists() && target_info_.type != FileType::kRegular;
  return true;
}

bool PosixFileReplacement::CreateTemporary(std::string* err) {
  const mode_t umask = ProcessUmask();
  const mode_t mode = target_info_.exists() ? target_info_.mode : 0666 & ~umask;
  std::string name;
  UniqueFd fd;
  for (int attempt = 0; !fd.valid(); ++attempt) {
    name = SystemDirectoryPart(target_) + TemporaryBaseName();
    fd.reset(::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC,
                    mode & 0777));
    if (!fd.valid() && (errno != EEXIST || attempt == 100)) {
      return Fail(err, "cannot create a temporary file for " + target_, errno);
    }
  }
  if (target_info_.exists()) {
    // Keeping the owner needs privileges the program may lack; the content
    // matters more, so a refusal is ignored. The owner goes first because a
    // change of owner clears the set-user-ID bits.
    if (::fchown(fd.get(), target_info_.owner, target_info_.group) != 0) {
      // Ignored: the file then belongs to whoever runs the program.
    }
  }
  // Creating gave the file the mode less the umask, and never the set-ID
  // or sticky bits; only a mode that differs needs setting.
  if ((mode & ~(umask & 0777)) != mode || (mode & 07000) != 0) {
    if (::fchmod(fd.get(), mode) != 0) {
      const int error = errno;
      ::unlink(name.c_str());
      return Fail(err, "cannot set the mode for " + target_, error);
    }
  }
  temporary_.name = std::move(name);
  temporary_.fd = fd.release();
  return true;
}

bool PosixFileReplacement::Write(std::string_view content, std::string* err) {
  int error = 0;
  if (in_place_) {
    // A device, pipe or socket cannot be replaced; it is written as it is.
    UniqueFd fd(::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (!fd.valid()) {
      return Fail(err, "cannot open " + target_, errno);
    }
    const uint64_t written =
        WriteToHandle(fd.get(), content.data(), content.size(), &error);
    if (written != content.size()) {
      return Fail(err, "cannot write " + target_, error != 0 ? error : EIO);
    }
    return fd.Close() || Fail(err, "cannot write " + target_, errno);
  }
  if (temporary_.fd < 0) {
    if (!CreateTemporary(err)) {
      return false;
    }
    if (!WriteFromStart(temporary_.fd, content, 0, &error)) {
      RemoveTemporary();
      return Fail(err, "cannot write " + target_, error);
    }
    content_ = content;
    content_on_disk_ = true;
    file_size_ = content.size();
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
      return true;
    } else {
      return Fail(err, "cannot write " + target_, error != 0 ? error : errno);
    }
  }
  content_ = content;
  content_on_disk_ = false;
  return true;
}

bool PosixFileReplacement::Commit(std::string* err) {
  if (in_place_) {
    return true;
  }
  if (temporary_.fd < 0) {
    return Fail(err, "nothing was written for " + target_, EINVAL);
  }
  int error = 0;
  if (!content_on_disk_ &&
      !WriteFromStart(temporary_.fd, content_, file_size_, &error)) {
    Discard();
    return Fail(err, "cannot write " + target_, error);
  }
  const int fd = std::exchange(temporary_.fd, -1);
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
  return true;
}

bool PosixFileReplacement::Reserve(uint64_t size, std::string* err) {
  if (in_place_) {
    return Fail(err, "cannot replace " + target_, EINVAL);
  }
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
  if (in_place_) {
    return Fail(err, "cannot replace " + target_, EINVAL);
  }
  if (temporary_.fd < 0 && !CreateTemporary(err)) {
    return false;
  }
  // Written by position: the reservation has not moved the file offset,
  // but an earlier Write may have.
  int error = 0;
  uint64_t written = 0;
  produce([this, &written, &error](std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n =
          ::pwrite(temporary_.fd, bytes.data(),
                   std::min<size_t>(bytes.size(), kMaxTransferChunk),
                   static_cast<off_t>(written));
      if (n <= 0) {
        if (n < 0 && errno == EINTR) {
          continue;
        }
        error = n < 0 ? errno : EIO;
        return false;
      }
      written += static_cast<uint64_t>(n);
      bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  });
  if (error == 0 && written < file_size_ &&
      ::ftruncate(temporary_.fd, static_cast<off_t>(written)) != 0) {
    error = errno;
  }
  if (error != 0) {
    Discard();
    return Fail(err, "cannot write " + target_, error);
  }
  content_on_disk_ = true;
  file_size_ = written;
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
