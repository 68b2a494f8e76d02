#include "image/picture/pixel_memory.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

// The number after key on the first line of file that begins with it, times unit; UINT64_MAX
// when there is none.
uint64_t ReadBytes(const char* file, const char* key, uint64_t unit) {
  FILE* in = fopen(file, "r");
  if (in == nullptr)
    return UINT64_MAX;
  char line[256];
  uint64_t value = UINT64_MAX;
  const size_t keyLength = strlen(key);
  while (fgets(line, sizeof line, in) != nullptr) {
    if (strncmp(line, key, keyLength) != 0)
      continue;
    char* end = nullptr;
    const unsigned long long n = strtoull(line + keyLength, &end, 10);
    if (end != line + keyLength && n <= UINT64_MAX / unit)
      value = n * unit;
    break;
  }
  fclose(in);
  return value;
}

} // namespace

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

// What the kernel could hand out without swapping, page cache included (free pages alone
// would refuse pictures on a machine whose memory holds cached files).
size_t AvailablePhysicalBytes() {
  uint64_t available = ReadBytes("/proc/meminfo", "MemAvailable:", 1024);
  if (available == UINT64_MAX) {
    const long pages = sysconf(_SC_AVPHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
      available = static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
  }
  return available > SIZE_MAX ? SIZE_MAX : static_cast<size_t>(available);
}
