#include "image/bmp_codec.h"

#include "image/file_signature.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const uint16_t kBmpType = 0x4D42; // "BM"
const uint32_t kHeaderBytes = 54; // file header 14 + info header 40
const int32_t kPelsPerMeter = 2834;

// ----- little-endian fields, one at a time

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

int WriteBmpFile(FILE* file, const ImageBuffer* image, size_t stride, uint32_t fileSize) {
  if (!WriteU16(file, kBmpType) || !WriteU32(file, fileSize) || !WriteU16(file, 0) ||
      !WriteU16(file, 0) || !WriteU32(file, kHeaderBytes))
    return 0;
  if (!WriteU32(file, 40) || !WriteS32(file, image->width) || !WriteS32(file, image->height) ||
      !WriteU16(file, 1) || !WriteU16(file, 24) || !WriteU32(file, 0) || !WriteU32(file, 0) ||
      !WriteS32(file, kPelsPerMeter) || !WriteS32(file, kPelsPerMeter) || !WriteU32(file, 0) ||
      !WriteU32(file, 0))
    return 0;

  unsigned char* row = static_cast<unsigned char*>(calloc(stride, 1));
  if (row == nullptr)
    return 0;
  const size_t width = static_cast<size_t>(image->width);
  const size_t height = static_cast<size_t>(image->height);
  const unsigned char* src = image->pixels;
  int ok = 1;
  for (size_t n = 0; n < height; ++n) {
    unsigned char* dst = row;
    for (size_t x = 0; x < width; ++x, src += 4, dst += 3) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
    }
    if (fwrite(row, 1, stride, file) != stride) {
      ok = 0;
      break;
    }
  }
  free(row);
  if (ok == 0)
    return 0;
  const unsigned char trailer[2] = {0, 0};
  return fwrite(trailer, 1, 2, file) == 2 ? 1 : 0;
}

} // namespace

int IsBmpFile(const char* path) {
  unsigned char b[2];
  return ReadLeadingBytes(path, b, 2) && b[0] == 'B' && b[1] == 'M' ? 1 : 0;
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
