#include "image/picture/pixel_memory.h"

#include <windows.h>

#include <cstdint>

// Large pages need a privilege an ordinary user lacks.
void AdviseLargePages(void*, size_t) {}

// Windows has no call that only commits pages for writing. Locking a range brings its pages
// in at once, in the system, without a fault for each; unlocked again, they stay. Where the
// lock is refused (a small working set), touching does the same a page at a time. Then one
// byte of each page is touched so that the first access is taken here as well. The reader
// may be writing that byte at the same moment: a locked add of zero keeps whichever value it
// holds (the picture's memory is only ever on x86).
void PopulatePages(void* begin, size_t bytes) {
  if (begin == nullptr || bytes == 0)
    return;
  if (VirtualLock(begin, bytes))
    VirtualUnlock(begin, bytes);
  const uintptr_t page = 4096;
  const uintptr_t end = reinterpret_cast<uintptr_t>(begin) + bytes;
  for (uintptr_t p = reinterpret_cast<uintptr_t>(begin); p < end; p = (p | (page - 1)) + 1)
    __atomic_fetch_add(reinterpret_cast<unsigned char*>(p), 0, __ATOMIC_RELAXED);
}

size_t AvailablePhysicalBytes() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status))
    return SIZE_MAX;
  return status.ullAvailPhys > SIZE_MAX ? SIZE_MAX : static_cast<size_t>(status.ullAvailPhys);
}
