#include "image/pixel_memory.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

void AdviseLargePages(void* block, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Only whole 2 MB pages inside the block; the rest keeps ordinary pages.
  const uintptr_t large = uintptr_t{2} << 20;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + large - 1) & ~(large - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(large - 1);
  if (block != nullptr && end > begin)
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE); // only a hint
#else
  (void)block;
  (void)bytes;
#endif
}

void PrefaultFromEnd(void* block, size_t bytes) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  const uintptr_t page = 4096, step = uintptr_t{2} << 20;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + page - 1) & ~(page - 1);
  uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(page - 1);
  while (block != nullptr && end > begin) {
    const uintptr_t from = end - begin > step ? end - step : begin;
    if (madvise(reinterpret_cast<void*>(from), end - from, MADV_POPULATE_WRITE) != 0)
      return; // an older system: the reader meets its faults itself
    end = from;
  }
#else
  (void)block;
  (void)bytes;
#endif
}
