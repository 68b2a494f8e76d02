#include "image/bmp/bmp_metadata.h"

#include <cstdint>

namespace {

uint32_t ReadU32Le(const unsigned char* b) {
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

} // namespace

// A BMP states its resolution in pixels per metre, 0 when it does not know.
void ReadBmpMetadata(FILE* file, ImageMetadata* meta) {
  unsigned char header[46];
  if (fread(header, 1, sizeof header, file) != sizeof header || ReadU32Le(header + 14) < 40)
    return;
  const uint32_t x = ReadU32Le(header + 38), y = ReadU32Le(header + 42);
  if (x >= 1 && y >= 1 && x <= 0x7FFFFFFF && y <= 0x7FFFFFFF) {
    meta->resolutionUnit = kResolutionMetre;
    meta->xResolution = x;
    meta->yResolution = y;
  }
}
