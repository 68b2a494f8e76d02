#include "base/file_offset.h"

int SeekFile(FILE* file, int64_t offset, int origin) {
  return _fseeki64(file, static_cast<__int64>(offset), origin) == 0 ? 1 : 0;
}

int64_t TellFile(FILE* file) { return static_cast<int64_t>(_ftelli64(file)); }
