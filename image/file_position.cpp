#include "image/file_position.h"

int64_t TellFile(FILE* file) {
#if defined(_WIN32)
  return _ftelli64(file);
#else
  return static_cast<int64_t>(ftello(file));
#endif
}

int SeekFile(FILE* file, int64_t offset) {
#if defined(_WIN32)
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0 ? 1 : 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 ? 1 : 0;
#endif
}

int64_t FileLength(FILE* file) {
  const int64_t here = TellFile(file);
  if (here < 0)
    return -1;
#if defined(_WIN32)
  const bool atEnd = _fseeki64(file, 0, SEEK_END) == 0;
#else
  const bool atEnd = fseeko(file, 0, SEEK_END) == 0;
#endif
  const int64_t length = atEnd ? TellFile(file) : -1;
  return SeekFile(file, here) != 0 ? length : -1;
}
