#include "base/file_offset.h"

int64_t FileLength(FILE* file) {
  const int64_t here = TellFile(file);
  if (here < 0)
    return -1;
  const int64_t length = SeekFile(file, 0, SEEK_END) == 1 ? TellFile(file) : -1;
  return SeekFile(file, here, SEEK_SET) == 1 ? length : -1;
}
