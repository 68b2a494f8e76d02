#include "image/bmp/bmp_codec.h"

#include "base/byte_order.h"
#include "image/picture/over_white.h"
#include "image/work/row_relay.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const uint16_t kBmpType = 0x4D42; // "BM"
const uint32_t kHeaderBytes = 54; // file header 14 + info header 40
const int32_t kPelsPerMeter = 2834;

// Rows go out in groups of about 64 KB (fewer, larger writes); a helper writes each group
// while this thread converts the next, so converting overlaps the system's copying.
const size_t kGroupBytes = 65536;

struct GroupOutput {
  FILE* file;
  size_t stride;
  size_t rowsPerGroup;
  size_t height;
  std::atomic<bool> failed; // a write fell short
  Scheduler* work;          // told of each group written
};

size_t GroupLength(const GroupOutput& out, size_t index) {
  const size_t first = index * out.rowsPerGroup;
  const size_t rows = out.height - first < out.rowsPerGroup ? out.height - first : out.rowsPerGroup;
  return rows * out.stride;
}

void WriteGroup(void* context, size_t index, const unsigned char* group) {
  GroupOutput& out = *static_cast<GroupOutput*>(context);
  const size_t length = GroupLength(out, index);
  if (!out.failed.load() && fwrite(group, 1, length, out.file) != length)
    out.failed.store(true);
  AddWritten(out.work, length / out.stride);
}

// ImageBuffer rows first .. first + count as B, G, R with zero padding to the stride; a
// picture with alpha laid over white.
void ConvertRows(const ImageBuffer* image, size_t first, size_t count, size_t stride,
                 unsigned char* out) {
  const size_t width = static_cast<size_t>(image->width);
  const unsigned char* src = image->pixels + first * width * 4;
  if (HasAlpha(image) != 0) {
    for (size_t n = 0; n < count; ++n, out += stride, src += width * 4) {
      RgbaOverWhiteToBgr(src, width, out);
      memset(out + width * 3, 0, stride - width * 3);
    }
    return;
  }
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

const unsigned char kTrailer[2] = {0, 0};

// stride = 3 x width rounded up to whole 4-byte words; the file is stride x height + 56 bytes
// long, which bfSize states: a picture whose length does not fit the field is too large.
ImageResult PlanBmp(const ImageBuffer* image, size_t* stride, uint32_t* fileSize) {
  if (image == nullptr || image->pixels == nullptr)
    return kImageCannotWrite;
  if (ImagePixelBytes(image->width, image->height) == 0)
    return kImageTooLarge;
  const uint64_t stride64 = (static_cast<uint64_t>(image->width) * 3 + 3) / 4 * 4;
  const uint64_t fileSize64 = stride64 * static_cast<uint64_t>(image->height) + 56;
  if (stride64 > SIZE_MAX || fileSize64 > UINT32_MAX)
    return kImageTooLarge;
  *stride = static_cast<size_t>(stride64);
  *fileSize = static_cast<uint32_t>(fileSize64);
  return kImageOk;
}

// The source's resolution when it had one, else what was always written.
int32_t PelsPerMeter(uint32_t known) {
  return known != 0 ? static_cast<int32_t>(known) : kPelsPerMeter;
}

// The file header and the 40-byte info header; fields not set are 0.
bool WriteHeaders(FILE* file, const ImageBuffer* image, uint32_t fileSize,
                  const ImageMetadata* meta) {
  const int32_t x = PelsPerMeter(meta != nullptr ? PixelsPerMetreX(meta) : 0);
  const int32_t y = PelsPerMeter(meta != nullptr ? PixelsPerMetreY(meta) : 0);
  unsigned char h[kHeaderBytes] = {};
  StoreLittleEndian16(h, kBmpType);
  StoreLittleEndian32(h + 2, fileSize);
  StoreLittleEndian32(h + 10, kHeaderBytes);
  StoreLittleEndian32(h + 14, 40);
  StoreLittleEndian32(h + 18, static_cast<uint32_t>(image->width));
  StoreLittleEndian32(h + 22, static_cast<uint32_t>(image->height));
  StoreLittleEndian16(h + 26, 1);  // planes
  StoreLittleEndian16(h + 28, 24); // bits per pixel
  StoreLittleEndian32(h + 38, static_cast<uint32_t>(x));
  StoreLittleEndian32(h + 42, static_cast<uint32_t>(y));
  return fwrite(h, 1, sizeof h, file) == sizeof h;
}

ImageResult WriteBmpFile(FILE* file, const ImageBuffer* image, size_t stride, uint32_t fileSize,
                         const ImageMetadata* meta, Scheduler* work) {
  if (!WriteHeaders(file, image, fileSize, meta))
    return kImageCannotWrite;

  GroupOutput out;
  out.file = file;
  out.stride = stride;
  out.rowsPerGroup = kGroupBytes / stride > 0 ? kGroupBytes / stride : 1;
  out.height = static_cast<size_t>(image->height);
  out.failed.store(false);
  out.work = work;
  PlanWriting(work, out.height);
  const size_t groupBytes = out.rowsPerGroup * stride;
  const size_t groups = (out.height + out.rowsPerGroup - 1) / out.rowsPerGroup;
  RowRelay* const relay = StartRowRelay(work, groupBytes, WriteGroup, &out);
  unsigned char* own = nullptr;
  if (relay == nullptr) {
    own = static_cast<unsigned char*>(malloc(groupBytes));
    if (own == nullptr)
      return kImageNoMemory;
  }
  for (size_t k = 0; k < groups && !out.failed.load(); ++k) {
    unsigned char* const group = relay != nullptr ? NextRowRoom(relay) : own;
    const size_t first = k * out.rowsPerGroup;
    ConvertRows(image, first, GroupLength(out, k) / stride, stride, group);
    if (relay != nullptr)
      PassRow(relay);
    else
      WriteGroup(&out, k, group);
  }
  EndRowRelay(relay); // every group passed is written before this returns
  free(own);
  if (out.failed.load() || fwrite(kTrailer, 1, 2, file) != 2)
    return kImageCannotWrite;
  return kImageOk;
}

} // namespace

ImageResult EncodeBmp(const char* path, const ImageBuffer* image, const ImageMetadata* meta,
                      Scheduler* work) {
  size_t stride = 0;
  uint32_t fileSize = 0;
  const ImageResult plan = PlanBmp(image, &stride, &fileSize);
  if (plan != kImageOk)
    return plan;
  FILE* const file = path != nullptr ? fopen(path, "wb") : nullptr;
  if (file == nullptr)
    return kImageCannotWrite;
  ImageResult result = WriteBmpFile(file, image, stride, fileSize, meta, work);
  // A full disk may only show when the buffered bytes reach the file.
  if (fclose(file) != 0 && result == kImageOk)
    result = kImageCannotWrite;
  return result;
}

int WriteBmp(const char* path, const ImageBuffer* image) {
  CallScheduler call;
  return CodecResult(EncodeBmp(path, image, nullptr, call.work));
}
