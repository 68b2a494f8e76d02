#include "image/bmp_codec.h"

#include "image/file_signature.h"
#include "image/pixel_memory.h"
#include "image/row_relay.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const uint16_t kBmpType = 0x4D42; // "BM"
const uint32_t kHeaderBytes = 54; // file header 14 + info header 40
const int32_t kPelsPerMeter = 2834;

// ----- little-endian fields, one at a time

bool ReadU16(FILE* file, uint16_t* value) {
  unsigned char b[2];
  if (fread(b, 1, 2, file) != 2)
    return false;
  *value = static_cast<uint16_t>(b[0] | (b[1] << 8));
  return true;
}

bool ReadU32(FILE* file, uint32_t* value) {
  unsigned char b[4];
  if (fread(b, 1, 4, file) != 4)
    return false;
  *value = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
  return true;
}

bool ReadS32(FILE* file, int32_t* value) {
  uint32_t u = 0;
  if (!ReadU32(file, &u))
    return false;
  // Two's complement without relying on implementation-defined conversions.
  *value = u <= static_cast<uint32_t>(INT32_MAX) ? static_cast<int32_t>(u)
                                                 : -static_cast<int32_t>(~u) - 1;
  return true;
}

bool WriteU16(FILE* file, uint16_t value) {
  const unsigned char b[2] = {static_cast<unsigned char>(value & 0xFF),
                              static_cast<unsigned char>(value >> 8)};
  return fwrite(b, 1, 2, file) == 2;
}

bool WriteU32(FILE* file, uint32_t value) {
  const unsigned char b[4] = {
      static_cast<unsigned char>(value & 0xFF), static_cast<unsigned char>((value >> 8) & 0xFF),
      static_cast<unsigned char>((value >> 16) & 0xFF), static_cast<unsigned char>(value >> 24)};
  return fwrite(b, 1, 4, file) == 4;
}

bool WriteS32(FILE* file, int32_t value) { return WriteU32(file, static_cast<uint32_t>(value)); }

// ----- row conversion: one tight loop per depth, no per-pixel branch on the format

// palette: 256 entries of R, G, B, 255.
void ConvertRow1(const unsigned char* src, unsigned char* dst, size_t width,
                 const unsigned char (*palette)[4]) {
  for (size_t x = 0; x < width; ++x, dst += 4) {
    const unsigned index = (src[x >> 3] >> (7 - (x & 7))) & 1u;
    memcpy(dst, palette[index], 4);
  }
}

void ConvertRow4(const unsigned char* src, unsigned char* dst, size_t width,
                 const unsigned char (*palette)[4]) {
  for (size_t x = 0; x < width; ++x, dst += 4) {
    const unsigned index = (src[x >> 1] >> ((x & 1) != 0 ? 0 : 4)) & 0x0Fu;
    memcpy(dst, palette[index], 4);
  }
}

void ConvertRow8(const unsigned char* src, unsigned char* dst, size_t width,
                 const unsigned char (*palette)[4]) {
  for (size_t x = 0; x < width; ++x, dst += 4)
    memcpy(dst, palette[src[x]], 4);
}

void ConvertRow24(const unsigned char* src, unsigned char* dst, size_t width) {
  for (size_t x = 0; x < width; ++x, src += 3, dst += 4) {
    dst[0] = src[2];
    dst[1] = src[1];
    dst[2] = src[0];
    dst[3] = 255;
  }
}

void ConvertRow32(const unsigned char* src, unsigned char* dst, size_t width) {
  for (size_t x = 0; x < width; ++x, src += 4, dst += 4) {
    dst[0] = src[2];
    dst[1] = src[1];
    dst[2] = src[0];
    dst[3] = 255; // the fourth byte of the file is ignored
  }
}

// Reads height rows of stride bytes and converts them; false on a short read.
bool ReadRows(FILE* file, unsigned char* row, size_t stride, ImageBuffer* image, int bitCount,
              const unsigned char (*palette)[4]) {
  const size_t width = static_cast<size_t>(image->width);
  const size_t height = static_cast<size_t>(image->height);
  const size_t rowBytes = width * 4;
  unsigned char* dst = image->pixels;
  // The depth is decided once; each case runs its own loop over all rows.
  switch (bitCount) {
  case 1:
    for (size_t n = 0; n < height; ++n, dst += rowBytes) {
      if (fread(row, 1, stride, file) != stride)
        return false;
      ConvertRow1(row, dst, width, palette);
    }
    return true;
  case 4:
    for (size_t n = 0; n < height; ++n, dst += rowBytes) {
      if (fread(row, 1, stride, file) != stride)
        return false;
      ConvertRow4(row, dst, width, palette);
    }
    return true;
  case 8:
    for (size_t n = 0; n < height; ++n, dst += rowBytes) {
      if (fread(row, 1, stride, file) != stride)
        return false;
      ConvertRow8(row, dst, width, palette);
    }
    return true;
  case 24:
    for (size_t n = 0; n < height; ++n, dst += rowBytes) {
      if (fread(row, 1, stride, file) != stride)
        return false;
      ConvertRow24(row, dst, width);
    }
    return true;
  case 32:
    for (size_t n = 0; n < height; ++n, dst += rowBytes) {
      if (fread(row, 1, stride, file) != stride)
        return false;
      ConvertRow32(row, dst, width);
    }
    return true;
  default:
    return false;
  }
}

// The file's length when it can be told cheaply, else -1 (e.g. beyond 2 GB where long is
// 32 bits). The position is left undefined.
long FileLength(FILE* file) {
  if (fseek(file, 0, SEEK_END) != 0)
    return -1;
  return ftell(file);
}

int ReadBmpFile(FILE* file, ImageBuffer* image) {
  uint16_t bfType = 0, bfReserved1 = 0, bfReserved2 = 0;
  uint32_t bfSize = 0, bfOffBits = 0;
  if (!ReadU16(file, &bfType) || !ReadU32(file, &bfSize) || !ReadU16(file, &bfReserved1) ||
      !ReadU16(file, &bfReserved2) || !ReadU32(file, &bfOffBits))
    return 0;
  if (bfType != kBmpType)
    return 0;

  uint32_t biSize = 0, biCompression = 0, biSizeImage = 0, biClrUsed = 0, biClrImportant = 0;
  int32_t biWidth = 0, biHeight = 0, biXPelsPerMeter = 0, biYPelsPerMeter = 0;
  uint16_t biPlanes = 0, biBitCount = 0;
  if (!ReadU32(file, &biSize) || !ReadS32(file, &biWidth) || !ReadS32(file, &biHeight) ||
      !ReadU16(file, &biPlanes) || !ReadU16(file, &biBitCount) || !ReadU32(file, &biCompression) ||
      !ReadU32(file, &biSizeImage) || !ReadS32(file, &biXPelsPerMeter) ||
      !ReadS32(file, &biYPelsPerMeter) || !ReadU32(file, &biClrUsed) ||
      !ReadU32(file, &biClrImportant))
    return 0;

  if (biHeight <= 0)
    return 0; // top-down files are not accepted
  image->height = biHeight;
  image->width = biWidth;
  image->channels = 3;
  if (biBitCount != 1 && biBitCount != 4 && biBitCount != 8 && biBitCount != 24 && biBitCount != 32)
    return 0;
  if (biCompression != 0)
    return 0;
  if (biWidth <= 0)
    return 0;

  // Colour table: always 2, 16 or 256 entries from offset 54, whatever biClrUsed says.
  // Every index of the depth is inside the table, so no lookup can leave it.
  unsigned char palette[256][4];
  memset(palette, 0, sizeof palette);
  if (biBitCount <= 8) {
    const size_t entries = static_cast<size_t>(1) << biBitCount;
    unsigned char table[256 * 4];
    if (fread(table, 4, entries, file) != entries)
      return 0;
    for (size_t i = 0; i < entries; ++i) {
      palette[i][0] = table[i * 4 + 2]; // red
      palette[i][1] = table[i * 4 + 1]; // green
      palette[i][2] = table[i * 4 + 0]; // blue
      palette[i][3] = 255;
    }
  }

  // Sizes from the header's numbers are checked before anything is allocated from them.
  const uint64_t stride64 =
      ((static_cast<uint64_t>(biBitCount) * static_cast<uint64_t>(biWidth) + 31) / 32) * 4;
  if (stride64 > SIZE_MAX)
    return 0;
  if (ImagePixelBytes(biWidth, biHeight) == 0)
    return 0;
  const size_t stride = static_cast<size_t>(stride64);

  // A file too short for its rows fails now rather than after a giant allocation.
  const long length = FileLength(file);
  if (length >= 0) {
    const uint64_t available =
        static_cast<uint64_t>(length) > bfOffBits ? static_cast<uint64_t>(length) - bfOffBits : 0;
    if (static_cast<uint64_t>(biHeight) > available / stride64)
      return 0;
  }

  if (bfOffBits > static_cast<uint32_t>(LONG_MAX))
    return 0;
  if (fseek(file, static_cast<long>(bfOffBits), SEEK_SET) != 0)
    return 0;

  if (AllocImagePixels(image) == 0)
    return 0;
  AdviseLargePages(image->pixels, ImagePixelBytes(image->width, image->height));
  unsigned char* row = static_cast<unsigned char*>(calloc(stride, 1));
  if (row == nullptr)
    return 0;
  const bool ok = ReadRows(file, row, stride, image, biBitCount, palette);
  free(row);
  return ok ? 1 : 0;
}

// Rows go out in blocks of about 64 KB (fewer, larger writes); a second thread writes each
// block while this one converts the next, so converting overlaps the system's copying.
const size_t kBlockBytes = 65536;

struct BlockOutput {
  FILE* file;
  size_t stride;
  size_t rowsPerBlock;
  size_t height;
  int failed;
};

size_t BlockLength(const BlockOutput& out, size_t index) {
  const size_t first = index * out.rowsPerBlock;
  const size_t rows = out.height - first < out.rowsPerBlock ? out.height - first : out.rowsPerBlock;
  return rows * out.stride;
}

void WriteBlock(void* context, size_t index, const unsigned char* block) {
  BlockOutput& out = *static_cast<BlockOutput*>(context);
  const size_t length = BlockLength(out, index);
  if (out.failed == 0 && fwrite(block, 1, length, out.file) != length)
    out.failed = 1;
}

// ImageBuffer rows first .. first + count as B, G, R with zero padding to the stride.
void ConvertRows(const ImageBuffer* image, size_t first, size_t count, size_t stride,
                 unsigned char* out) {
  const size_t width = static_cast<size_t>(image->width);
  const unsigned char* src = image->pixels + first * width * 4;
  for (size_t n = 0; n < count; ++n, out += stride) {
    unsigned char* dst = out;
    for (size_t x = 0; x < width; ++x, src += 4, dst += 3) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
    }
    memset(dst, 0, stride - width * 3);
  }
}

int WriteBmpFile(FILE* file, const ImageBuffer* image, size_t stride, uint32_t fileSize) {
  if (!WriteU16(file, kBmpType) || !WriteU32(file, fileSize) || !WriteU16(file, 0) ||
      !WriteU16(file, 0) || !WriteU32(file, kHeaderBytes))
    return 0;
  if (!WriteU32(file, 40) || !WriteS32(file, image->width) || !WriteS32(file, image->height) ||
      !WriteU16(file, 1) || !WriteU16(file, 24) || !WriteU32(file, 0) || !WriteU32(file, 0) ||
      !WriteS32(file, kPelsPerMeter) || !WriteS32(file, kPelsPerMeter) || !WriteU32(file, 0) ||
      !WriteU32(file, 0))
    return 0;

  BlockOutput out = {file, stride, kBlockBytes / stride > 0 ? kBlockBytes / stride : 1,
                     static_cast<size_t>(image->height), 0};
  const size_t blockBytes = out.rowsPerBlock * stride;
  const size_t blocks = (out.height + out.rowsPerBlock - 1) / out.rowsPerBlock;
  RowRelay* const relay = StartRowRelay(blockBytes, WriteBlock, &out);
  unsigned char* own = nullptr;
  if (relay == nullptr) {
    own = static_cast<unsigned char*>(malloc(blockBytes));
    if (own == nullptr)
      return 0;
  }
  for (size_t k = 0; k < blocks && out.failed == 0; ++k) {
    unsigned char* const block = relay != nullptr ? NextRowSlot(relay) : own;
    const size_t first = k * out.rowsPerBlock;
    ConvertRows(image, first, BlockLength(out, k) / stride, stride, block);
    if (relay != nullptr)
      PassRow(relay);
    else
      WriteBlock(&out, k, block);
  }
  EndRowRelay(relay); // every block passed is written before this returns
  free(own);
  if (out.failed != 0)
    return 0;
  const unsigned char trailer[2] = {0, 0};
  return fwrite(trailer, 1, 2, file) == 2 ? 1 : 0;
}

} // namespace

int IsBmpFile(const char* path) {
  unsigned char b[2];
  return ReadLeadingBytes(path, b, 2) && b[0] == 'B' && b[1] == 'M' ? 1 : 0;
}

int ReadBmp(const char* path, ImageBuffer* image) {
  if (image == nullptr || IsBmpFile(path) == 0)
    return 0;
  FILE* file = fopen(path, "rb");
  if (file == nullptr)
    return 0;
  const int result = ReadBmpFile(file, image);
  fclose(file);
  return result;
}

int WriteBmp(const char* path, const ImageBuffer* image) {
  if (path == nullptr || image == nullptr || image->pixels == nullptr ||
      ImagePixelBytes(image->width, image->height) == 0)
    return 0;
  // stride = 3 x width rounded up to whole 4-byte words; the file is stride x height + 56 bytes
  // long, which bfSize states: a picture whose length does not fit the field is refused.
  const uint64_t stride64 = (static_cast<uint64_t>(image->width) * 3 + 3) / 4 * 4;
  const uint64_t fileSize = stride64 * static_cast<uint64_t>(image->height) + 56;
  if (stride64 > SIZE_MAX || fileSize > UINT32_MAX)
    return 0;

  FILE* file = fopen(path, "wb");
  if (file == nullptr)
    return 0;
  int result =
      WriteBmpFile(file, image, static_cast<size_t>(stride64), static_cast<uint32_t>(fileSize));
  // A full disk may only show when the buffered bytes reach the file.
  if (fclose(file) != 0)
    result = 0;
  return result;
}
