#include "services/memory_reuse.h"

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
