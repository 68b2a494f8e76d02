#include "tools/bench/peak_memory.h"

#include <cstdio>

long long OwnPeakMemoryKb() {
  FILE* const status = fopen("/proc/self/status", "r");
  if (status == nullptr)
    return -1;
  char line[256];
  long long kb = -1;
  while (fgets(line, sizeof line, status) != nullptr)
    if (sscanf(line, "VmHWM: %lld kB", &kb) == 1)
      break;
  fclose(status);
  return kb;
}
