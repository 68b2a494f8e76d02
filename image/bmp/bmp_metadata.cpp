#include "image/bmp/bmp_metadata.h"

#include "base/byte_order.h"

#include <cstdint>

// A BMP states its resolution in pixels per metre, 0 when it does not know.
void ReadBmpMetadata(FILE* file, ImageMetadata* meta) {
  unsigned char header[46];
  if (fread(header, 1, sizeof header, file) != sizeof header ||
      LoadLittleEndian32(header + 14) < 40)
    return;
  const uint32_t x = LoadLittleEndian32(header + 38), y = LoadLittleEndian32(header + 42);
  if (x >= 1 && y >= 1 && x <= 0x7FFFFFFF && y <= 0x7FFFFFFF) {
    meta->resolutionUnit = kResolutionMetre;
    meta->xResolution = x;
    meta->yResolution = y;
  }
}
