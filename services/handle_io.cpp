#include "services/handle_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "services/memory_reuse.h"

namespace {

template <typename Transfer, typename Byte>
uint64_t TransferLoop(Transfer transfer, Byte* position, uint64_t count,
                      int* error) {
  uint64_t total = 0;
  int failure = 0;
  while (total < count) {
    const size_t chunk =
        static_cast<size_t>(std::min(count - total, kMaxTransferChunk));
    ssize_t result;
    do {
      result = transfer(position, chunk);
    } while (result < 0 && errno == EINTR);
    if (result <= 0) {
      failure = result < 0 ? errno : 0;
      break;
    }
    position += result;
    total += static_cast<uint64_t>(result);
  }
  if (error != nullptr) {
    *error = failure;
  }
  return total;
}

}  // namespace

uint64_t ReadFromHandle(int fd, void* buffer, uint64_t count, int* error) {
  return TransferLoop([fd](char* at, size_t n) { return ::read(fd, at, n); },
                      static_cast<char*>(buffer), count, error);
}

uint64_t WriteToHandle(int fd, const void* buffer, uint64_t count, int* error) {
  return TransferLoop(
      [fd](const char* at, size_t n) { return ::write(fd, at, n); },
      static_cast<const char*>(buffer), count, error);
}

bool WritePiecesAt(int fd, struct iovec* pieces, size_t count, uint64_t offset,
                   int* error) {
  const size_t most = static_cast<size_t>(std::max(1L, ::sysconf(_SC_IOV_MAX)));
  while (count > 0) {
    if (pieces->iov_len == 0) {
      ++pieces;
      --count;
      continue;
    }
    const ssize_t written =
        ::pwritev(fd, pieces, static_cast<int>(std::min(count, most)),
                  static_cast<off_t>(offset));
    if (written <= 0) {
      if (written < 0 && errno == EINTR) {
        continue;
      }
      *error = written < 0 ? errno : EIO;
      return false;
    }
    offset += static_cast<uint64_t>(written);
    // Past the runs written whole, into the one cut short.
    for (auto left = static_cast<size_t>(written); left > 0;) {
      const size_t taken = std::min(left, pieces->iov_len);
      pieces->iov_base = static_cast<char*>(pieces->iov_base) + taken;
      pieces->iov_len -= taken;
      left -= taken;
      if (pieces->iov_len == 0) {
        ++pieces;
        --count;
      }
    }
  }
  return true;
}

bool ReadWholeHandle(int fd, std::string* out, int* error) {
  constexpr size_t kMinimumChunk = 64 * 1024;
  struct stat st;
  size_t capacity = kMinimumChunk;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    // One byte more than the size, so that the read which meets the end of
    // the file needs no second allocation.
    capacity = static_cast<size_t>(st.st_size) + 1;
  }
  out->reserve(capacity);
  PrefaultForWriting(out->data(), capacity);
  out->resize(capacity);
  size_t used = 0;
  for (;;) {
    int failure = 0;
    used +=
        ReadFromHandle(fd, out->data() + used, out->size() - used, &failure);
    if (failure != 0) {
      out->clear();
      *error = failure;
      return false;
    }
    if (used < out->size()) {
      break;  // end of file
    }
    out->resize(out->size() * 2);
  }
  out->resize(used);
  *error = 0;
  return true;
}
