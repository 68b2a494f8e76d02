#include "base/file_offset.h"

#include <sys/types.h>

static_assert(sizeof(off_t) >= sizeof(int64_t), "off_t must hold 64-bit offsets");

int SeekFile(FILE* file, int64_t offset, int origin) {
  return fseeko(file, static_cast<off_t>(offset), origin) == 0 ? 1 : 0;
}

int64_t TellFile(FILE* file) { return static_cast<int64_t>(ftello(file)); }
