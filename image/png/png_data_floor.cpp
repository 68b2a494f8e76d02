#include "image/png/png_data_floor.h"

#include "base/byte_order.h"
#include "base/file_offset.h"

namespace {

int SamplesOf(int colorType) {
  switch (colorType) {
  case 0:
    return 1; // gray
  case 2:
    return 3; // RGB
  case 3:
    return 1; // palette index
  case 4:
    return 2; // gray with alpha
  case 6:
    return 4; // RGBA
  default:
    return 0;
  }
}

// rows x (1 + bytes per row of cols pixels), added to *total; false once beyond counting.
bool AddPass(uint64_t cols, uint64_t rows, uint64_t bitsPerPixel, uint64_t* total) {
  if (cols == 0 || rows == 0)
    return true;
  const uint64_t rowBytes = 1 + (cols * bitsPerPixel + 7) / 8; // cols < 2^32, bits <= 64
  if (rowBytes > (UINT64_MAX - *total) / rows)
    return false;
  *total += rows * rowBytes;
  return true;
}

} // namespace

uint64_t PngFilteredBytes(uint32_t width, uint32_t height, int bitDepth, int colorType,
                          int interlaced) {
  const uint64_t bits = static_cast<uint64_t>(bitDepth > 0 ? bitDepth : 0) * SamplesOf(colorType);
  uint64_t total = 0;
  if (interlaced == 0)
    return AddPass(width, height, bits, &total) ? total : UINT64_MAX;
  // Adam7: each pass's first column and row, and its steps.
  static const int kPass[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                  {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  for (const auto& p : kPass) {
    const uint64_t cols =
        width > static_cast<uint32_t>(p[0]) ? (width - p[0] + p[2] - 1) / p[2] : 0;
    const uint64_t rows =
        height > static_cast<uint32_t>(p[1]) ? (height - p[1] + p[3] - 1) / p[3] : 0;
    if (!AddPass(cols, rows, bits, &total))
      return UINT64_MAX;
  }
  return total;
}

int PngDataCanHold(FILE* file, uint64_t filteredBytes) {
  const uint64_t needed =
      filteredBytes / kMaxDeflateRatio + (filteredBytes % kMaxDeflateRatio != 0);
  const int64_t here = TellFile(file);
  if (here < 8 || SeekFile(file, here - 8, SEEK_SET) == 0)
    return 0;
  // Only chunk headers are read, and only until enough data is seen: a few for real files.
  uint64_t imageData = 0;
  int64_t at = here - 8;
  unsigned char header[8];
  while (imageData < needed && fread(header, 1, 8, file) == 8 && header[4] == 'I' &&
         header[5] == 'D' && header[6] == 'A' && header[7] == 'T') {
    const uint32_t length = LoadBigEndian32(header);
    imageData += length;
    at += 12 + static_cast<int64_t>(length);
    if (SeekFile(file, at, SEEK_SET) == 0)
      break;
  }
  if (SeekFile(file, here, SEEK_SET) == 0)
    return 0;
  return imageData >= needed ? 1 : 0;
}
