#include "image/bmp/bmp_codec.h"

#include "base/file_offset.h"
#include "image/bmp/bmp_header.h"
#include "image/bmp/bmp_masks.h"
#include "image/bmp/bmp_rle.h"
#include "image/picture/file_signature.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
const size_t kReadBytes = size_t{256} << 10;

// ----- row conversion: one tight loop per depth, no per-pixel branch on the format

// bits 1, 2, 4 or 8: the leftmost pixel in the highest bits of its byte.
void ConvertPaletteRow(const unsigned char* src, unsigned char* dst, size_t width, unsigned bits,
                       const unsigned char (*palette)[4]) {
  if (bits == 8) {
    for (size_t x = 0; x < width; ++x, dst += 4)
      memcpy(dst, palette[src[x]], 4);
    return;
  }
  const unsigned perByte = 8 / bits;
  const unsigned mask = (1u << bits) - 1;
  for (size_t x = 0; x < width; ++x, dst += 4) {
    const unsigned shift = 8 - bits * (static_cast<unsigned>(x % perByte) + 1);
    memcpy(dst, palette[(src[x / perByte] >> shift) & mask], 4);
  }
}

// Each pixel's three bytes are loaded as one little-endian word with the next pixel's first
// byte (so not for the last pixel, whose word would reach past the row) and stored as one:
// a third of the work of moving them byte by byte.
void ConvertRow24(const unsigned char* src, unsigned char* dst, size_t width) {
  size_t x = 0;
  if (kLittleEndian) {
    for (; x + 1 < width; ++x, src += 3, dst += 4) {
      uint32_t bgr;
      memcpy(&bgr, src, 4);
      const uint32_t rgba =
          ((bgr >> 16) & 0xFFu) | (bgr & 0xFF00u) | ((bgr & 0xFFu) << 16) | 0xFF000000u;
      memcpy(dst, &rgba, 4);
    }
  }
  for (; x < width; ++x, src += 3, dst += 4) {
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
    dst[3] = 255; // the fourth byte of an uncompressed file is ignored
  }
}

// Reads height rows of stride bytes in file order, rowsPerRead at a time into buffer, and
// converts them; kImageDamaged on a short read or a mask with holes. Sets channels: 4 only
// when an alpha mask brought some non-zero alpha.
ImageResult ReadRows(FILE* file, const BmpHeader& h, unsigned char* buffer, size_t stride,
                     size_t rowsPerRead, ImageBuffer* image) {
  const size_t width = static_cast<size_t>(image->width);
  const size_t height = static_cast<size_t>(image->height);
  const size_t rowBytes = width * 4;
  BmpMasks masks;
  const bool masked = h.bitCount == 16 || (h.bitCount == 32 && h.compression != kBmpRgb);
  if (masked && !SetUpMasks(h, &masks))
    return kImageDamaged;
  unsigned alpha = 0;
  for (size_t n = 0; n < height; ++n) {
    const size_t inBuffer = n % rowsPerRead;
    if (inBuffer == 0) {
      const size_t rows = height - n < rowsPerRead ? height - n : rowsPerRead;
      if (fread(buffer, 1, rows * stride, file) != rows * stride)
        return kImageDamaged;
    }
    const unsigned char* const row = buffer + inBuffer * stride;
    unsigned char* dst = image->pixels + (h.topDown ? height - 1 - n : n) * rowBytes;
    if (masked)
      alpha |= ConvertMaskedRow(masks, row, dst, width);
    else if (h.bitCount == 24)
      ConvertRow24(row, dst, width);
    else if (h.bitCount == 32)
      ConvertRow32(row, dst, width);
    else
      ConvertPaletteRow(row, dst, width, h.bitCount, h.palette);
  }
  if (masked && masks.hasAlpha) {
    if (alpha != 0) {
      image->channels = 4;
    } else { // alpha that is zero everywhere is a writer's unused byte: opaque
      for (size_t i = 0; i < width * height; ++i)
        image->pixels[i * 4 + 3] = 255;
    }
  }
  return kImageOk;
}

ImageResult ReadBmpFile(FILE* file, ImageBuffer* image, Scheduler* work) {
  BmpHeader h;
  const ImageResult header = ReadBmpHeader(file, &h);
  if (header != kImageOk)
    return header;
  image->width = h.width;
  image->height = h.height;
  image->channels = 3;
  if (ImagePixelBytes(h.width, h.height) == 0)
    return kImageTooLarge;

  const bool rle = h.compression == kBmpRle8 || h.compression == kBmpRle4;
  // Sizes from the header's numbers are checked before anything is allocated from them.
  const uint64_t stride64 =
      ((static_cast<uint64_t>(h.bitCount) * static_cast<uint64_t>(h.width) + 31) / 32) * 4;
  if (stride64 > SIZE_MAX)
    return kImageTooLarge;
  // A file too short for its rows fails now rather than after a giant allocation.
  const int64_t length = FileLength(file);
  if (length >= 0 && rle && static_cast<uint64_t>(length) <= h.offBits)
    return kImageDamaged; // no runs at all
  if (length >= 0 && !rle) {
    const uint64_t available =
        static_cast<uint64_t>(length) > h.offBits ? static_cast<uint64_t>(length) - h.offBits : 0;
    if (static_cast<uint64_t>(h.height) > available / stride64)
      return kImageDamaged;
  }
  if (SeekFile(file, static_cast<int64_t>(h.offBits), SEEK_SET) != 1)
    return kImageDamaged;

  const ImageResult block = AllocPixelBlock(image);
  if (block != kImageOk)
    return block;
  PublishRows(work, 0, static_cast<size_t>(image->height));
  if (rle) {
    ReadRlePixels(file, h, image);
    return kImageOk;
  }
  // Rows are read about 256 KB at a time: each read is a system call, and under Wine more.
  const size_t stride = static_cast<size_t>(stride64);
  const size_t rowsPerRead = kReadBytes / stride > 1 ? kReadBytes / stride : 1;
  unsigned char* const rows = static_cast<unsigned char*>(calloc(rowsPerRead, stride));
  if (rows == nullptr)
    return kImageNoMemory;
  const ImageResult result = ReadRows(file, h, rows, stride, rowsPerRead, image);
  free(rows);
  return result;
}

} // namespace

int IsBmpFile(const char* path) {
  unsigned char b[2];
  return ReadLeadingBytes(path, b, 2) && b[0] == 'B' && b[1] == 'M' ? 1 : 0;
}

ImageResult DecodeBmp(const char* path, ImageBuffer* image, Scheduler* work) {
  FILE* const file = path != nullptr ? fopen(path, "rb") : nullptr;
  if (file == nullptr)
    return kImageCannotOpen;
  const ImageResult result = ReadBmpFile(file, image, work);
  fclose(file);
  return result;
}

int ReadBmp(const char* path, ImageBuffer* image) {
  return image != nullptr ? CodecResult(DecodeBmp(path, image, nullptr)) : 0;
}
