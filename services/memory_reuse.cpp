#include "services/memory_reuse.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>  // tells which C library this is
#ifdef __GLIBC__
#include <malloc.h>
#endif

void KeepFreedMemoryForReuse() {
#ifdef __GLIBC__
  // Without these the C library maps each block of 128 KiB or more anew
  // (the size of most source files) until the first such block is freed,
  // and hands the top of its heap back as soon as 128 KiB lie free there.
  constexpr int kMappedFrom = 4 << 20;
  constexpr int kKeptFree = 64 << 20;
  ::mallopt(M_MMAP_THRESHOLD, kMappedFrom);
  ::mallopt(M_TRIM_THRESHOLD, kKeptFree);
#endif
}

void PrefaultForWriting(char* data, size_t size) {
#ifdef MADV_POPULATE_WRITE
  constexpr size_t kWorthIt = 1 << 20;
  if (size < kWorthIt) {
    return;
  }
  // The whole pages inside the block; an older system refuses the advice,
  // and the pages then come one fault at a time as before.
  static const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const uintptr_t begin =
      (reinterpret_cast<uintptr_t>(data) + page - 1) & ~(page - 1);
  const uintptr_t end =
      (reinterpret_cast<uintptr_t>(data) + size) & ~(page - 1);
  if (end > begin) {
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
  }
#else
  (void)data;
  (void)size;
#endif
}
