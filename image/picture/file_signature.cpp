#include "image/picture/file_signature.h"

#include <cstdio>

int ReadLeadingBytes(const char* path, unsigned char* out, size_t count) {
  if (path == nullptr)
    return 0;
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr)
    return 0;
  const bool ok = std::fread(out, 1, count, file) == count;
  std::fclose(file);
  return ok ? 1 : 0;
}
