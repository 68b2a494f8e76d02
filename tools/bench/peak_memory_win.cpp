#include <windows.h>

#include "tools/bench/peak_memory.h"

#include <psapi.h>

long long OwnPeakMemoryKb() {
  PROCESS_MEMORY_COUNTERS counters;
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
    return -1;
  return static_cast<long long>(counters.PeakWorkingSetSize / 1024);
}
