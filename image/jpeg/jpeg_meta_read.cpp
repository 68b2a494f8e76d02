#include "image/jpeg/jpeg_metadata.h"

#include "base/byte_order.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

// The segments before a JPEG's first scan, read by their stated lengths: each is read into a
// buffer of its own length and looked at only there.

namespace {

const char kExifId[6] = {'E', 'x', 'i', 'f', 0, 0};
const char kXmpId[] = "http://ns.adobe.com/xap/1.0/"; // and its terminating zero
const char kIccId[] = "ICC_PROFILE";                  // and its terminating zero
const size_t kIccHeader = sizeof kIccId + 2;          // id, sequence number, count

// The pieces of a profile spread over APP2 segments, each kept until all are there.
struct IccPieces {
  unsigned char* piece[256];
  size_t size[256];
  int count;  // as the first segment states
  bool error; // a count that differs, a number twice or out of range
};

bool StartsWith(const unsigned char* data, size_t size, const void* id, size_t idSize) {
  return size >= idSize && memcmp(data, id, idSize) == 0;
}

void TakeIccPiece(IccPieces* icc, const unsigned char* data, size_t size) {
  const int number = data[sizeof kIccId], count = data[sizeof kIccId + 1];
  if (icc->count == 0)
    icc->count = count;
  if (count == 0 || count != icc->count || number == 0 || number > count ||
      icc->piece[number] != nullptr) {
    icc->error = true;
    return;
  }
  const size_t length = size - kIccHeader;
  icc->piece[number] = static_cast<unsigned char*>(malloc(length > 0 ? length : 1));
  if (icc->piece[number] == nullptr) {
    icc->error = true;
    return;
  }
  memcpy(icc->piece[number], data + kIccHeader, length);
  icc->size[number] = length;
}

// The profile once every piece from 1 to the count is there exactly once.
void JoinIccPieces(IccPieces* icc, ImageMetadata* meta) {
  size_t total = 0;
  bool whole = !icc->error && icc->count > 0;
  for (int i = 1; whole && i <= icc->count; ++i)
    whole = icc->piece[i] != nullptr, total += icc->size[i];
  if (whole && total > 0) {
    meta->icc.data = static_cast<unsigned char*>(malloc(total));
    if (meta->icc.data != nullptr) {
      meta->icc.size = total;
      size_t at = 0;
      for (int i = 1; i <= icc->count; ++i)
        memcpy(meta->icc.data + at, icc->piece[i], icc->size[i]), at += icc->size[i];
    }
  }
  for (int i = 0; i < 256; ++i)
    free(icc->piece[i]);
}

void TakeSegment(int marker, const unsigned char* data, size_t size, ImageMetadata* meta,
                 IccPieces* icc) {
  if (marker == 0xE0 && StartsWith(data, size, "JFIF", 5) && size >= 12 &&
      meta->resolutionUnit == kResolutionNone) {
    const int unit = data[7];
    const uint32_t x = LoadBigEndian16(data + 8), y = LoadBigEndian16(data + 10);
    // 1:1 without a unit says nothing: it is what most writers put by default.
    if (x != 0 && y != 0 && (unit == 1 || unit == 2 || x != y)) {
      meta->resolutionUnit = unit == 1   ? kResolutionInch
                             : unit == 2 ? kResolutionCm
                                         : kResolutionAspect;
      meta->xResolution = x;
      meta->yResolution = y;
    }
  } else if (marker == 0xE1 && StartsWith(data, size, kExifId, sizeof kExifId)) {
    if (meta->exif.data == nullptr)
      SetMetadataBlock(&meta->exif, data + sizeof kExifId, size - sizeof kExifId);
  } else if (marker == 0xE1 && StartsWith(data, size, kXmpId, sizeof kXmpId)) {
    if (meta->xmp.data == nullptr)
      SetMetadataBlock(&meta->xmp, data + sizeof kXmpId, size - sizeof kXmpId);
  } else if (marker == 0xE2 && size >= kIccHeader &&
             StartsWith(data, size, kIccId, sizeof kIccId)) {
    TakeIccPiece(icc, data, size);
  } else if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
             marker != 0xCC && size >= 5 && meta->width == 0) {
    meta->height = static_cast<int32_t>(LoadBigEndian16(data + 1));
    meta->width = static_cast<int32_t>(LoadBigEndian16(data + 3));
  }
}

} // namespace

void ReadJpegMetadata(FILE* file, ImageMetadata* meta) {
  unsigned char head[2];
  if (fread(head, 1, 2, file) != 2 || head[0] != 0xFF || head[1] != 0xD8)
    return;
  IccPieces* const icc = static_cast<IccPieces*>(calloc(1, sizeof(IccPieces)));
  unsigned char* const segment = static_cast<unsigned char*>(malloc(65536));
  if (icc == nullptr || segment == nullptr) {
    free(icc);
    free(segment);
    return;
  }
  for (;;) {
    int c = fgetc(file);
    if (c != 0xFF)
      break; // not a marker: the segments are over or damaged
    while (c == 0xFF)
      c = fgetc(file); // fill bytes
    if (c == EOF || c == 0xD9 || c == 0xDA)
      break; // the end, or the first scan
    if (c == 0x01 || (c >= 0xD0 && c <= 0xD7))
      continue; // markers without a segment
    unsigned char length[2];
    if (fread(length, 1, 2, file) != 2 || LoadBigEndian16(length) < 2)
      break;
    const size_t size = LoadBigEndian16(length) - 2;
    if (fread(segment, 1, size, file) != size)
      break;
    TakeSegment(c, segment, size, meta, icc);
  }
  JoinIccPieces(icc, meta);
  free(icc);
  free(segment);
}
