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

void PopulatePages(void* begin, size_t bytes) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  // One call for the range; an older system refuses it and the reader meets its faults.
  const uintptr_t page = 4096;
  const uintptr_t from = (reinterpret_cast<uintptr_t>(begin) + page - 1) & ~(page - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(begin) + bytes) & ~(page - 1);
  if (begin != nullptr && end > from)
    madvise(reinterpret_cast<void*>(from), end - from, MADV_POPULATE_WRITE);
#else
  (void)begin;
  (void)bytes;
#endif
}
