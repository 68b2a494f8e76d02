#include "image/picture/orient_image.h"

#include "image/work/scheduler.h"

#include <cstdint>
#include <cstring>

namespace {

// Square tiles keep both the rows read and the rows written in the cache.
const size_t kTile = 32;

inline void CopyPixel(unsigned char* to, const unsigned char* from) { memcpy(to, from, 4); }

void MirrorRows(ImageBuffer* image) {
  const size_t w = static_cast<size_t>(image->width), h = static_cast<size_t>(image->height);
  for (size_t r = 0; r < h; ++r) {
    unsigned char* const row = image->pixels + r * w * 4;
    for (size_t a = 0, b = w - 1; a < b; ++a, --b) {
      unsigned char t[4];
      memcpy(t, row + a * 4, 4), memcpy(row + a * 4, row + b * 4, 4), memcpy(row + b * 4, t, 4);
    }
  }
}

void SwapRows(ImageBuffer* image) {
  const size_t bytes = static_cast<size_t>(image->width) * 4,
               h = static_cast<size_t>(image->height);
  unsigned char t[256];
  for (size_t a = 0, b = h - 1; a < b; ++a, --b) {
    unsigned char* const ra = image->pixels + a * bytes;
    unsigned char* const rb = image->pixels + b * bytes;
    for (size_t at = 0; at < bytes; at += sizeof t) {
      const size_t n = bytes - at < sizeof t ? bytes - at : sizeof t;
      memcpy(t, ra + at, n), memcpy(ra + at, rb + at, n), memcpy(rb + at, t, n);
    }
  }
}

// The rows first .. last of the quarter-turned picture out (h wide, w high), from in (w x h).
// Picture rows count from the bottom: out row r shows in's column w - 1 - r (orientations 5
// and 6) or r (7 and 8); its pixel x comes from in's row h - 1 - x (5 and 8) or x (6 and 7).
void TurnRows(const unsigned char* in, size_t w, size_t h, int orientation, unsigned char* out,
              size_t first, size_t last) {
  const bool columnFromEnd = orientation == 5 || orientation == 6;
  const bool rowFromEnd = orientation == 5 || orientation == 8;
  for (size_t r0 = first; r0 < last; r0 += kTile) {
    const size_t r1 = last - r0 < kTile ? last : r0 + kTile;
    for (size_t x0 = 0; x0 < h; x0 += kTile) {
      const size_t x1 = h - x0 < kTile ? h : x0 + kTile;
      for (size_t r = r0; r < r1; ++r) {
        const size_t column = columnFromEnd ? w - 1 - r : r;
        unsigned char* d = out + (r * h + x0) * 4;
        for (size_t x = x0; x < x1; ++x, d += 4) {
          const size_t row = rowFromEnd ? h - 1 - x : x;
          CopyPixel(d, in + (row * w + column) * 4);
        }
      }
    }
  }
}

// A quarter turn in two halves of the rows turned, one piece each.
struct Turning {
  const unsigned char* in;
  size_t w, h;
  int orientation;
  unsigned char* out;
  size_t half;
};

int TurnHalf(void* context, size_t, size_t k, size_t) {
  const Turning& t = *static_cast<const Turning*>(context);
  TurnRows(t.in, t.w, t.h, t.orientation, t.out, k == 0 ? 0 : t.half, k == 0 ? t.half : t.w);
  return 1;
}

void TurnQuarter(const ImageBuffer* image, int orientation, unsigned char* out, Scheduler* work) {
  const size_t w = static_cast<size_t>(image->width), h = static_cast<size_t>(image->height);
  // Two halves on two threads when a second one can be had.
  const size_t half = ThreadsToUse() > 1 && w >= 2 * kTile ? w / 2 / kTile * kTile : 0;
  Turning turning = {image->pixels, w, h, orientation, out, half};
  const InOrder halves = {2, 2, TurnHalf, nullptr, &turning};
  if (half == 0 || RunInOrder(work, &halves, 2) == 0)
    TurnRows(image->pixels, w, h, orientation, out, 0, w);
}

} // namespace

void PlaceTurnedRows(ImageBuffer* image, const unsigned char* const* rows, size_t first,
                     size_t count, size_t srcWidth, size_t srcHeight, int orientation) {
  const size_t w = srcWidth, h = srcHeight;
  if (TurnsQuarter(orientation) == 0) {
    // Source row y shows as upright row y (1, 2) or h - 1 - y (3, 4), counted from the top;
    // mirrored for 2 and 3.
    const bool mirrored = orientation == 2 || orientation == 3;
    const bool flipped = orientation == 3 || orientation == 4;
    for (size_t k = 0; k < count; ++k) {
      const size_t y = first + k;
      const size_t row = flipped ? y : h - 1 - y; // in the ImageBuffer, from the bottom
      unsigned char* d = image->pixels + row * w * 4;
      if (!mirrored) {
        memcpy(d, rows[k], w * 4);
      } else {
        const unsigned char* s = rows[k] + (w - 1) * 4;
        for (size_t x = 0; x < w; ++x, d += 4, s -= 4)
          CopyPixel(d, s);
      }
    }
    return;
  }
  // Source column x becomes the upright row w - 1 - x (5, 6) or x (7, 8) from the bottom;
  // source row y its pixel y (5, 8) or h - 1 - y (6, 7). The given rows land side by side.
  const bool columnFromEnd = orientation == 5 || orientation == 6;
  const bool rowFromEnd = orientation == 6 || orientation == 7;
  const size_t x0 = rowFromEnd ? h - first - count : first; // leftmost pixel written
  for (size_t x = 0; x < w; ++x) {
    const size_t row = columnFromEnd ? w - 1 - x : x;
    unsigned char* d = image->pixels + (row * h + x0) * 4;
    if (rowFromEnd) {
      for (size_t k = count; k-- > 0; d += 4)
        CopyPixel(d, rows[k] + x * 4);
    } else {
      for (size_t k = 0; k < count; ++k, d += 4)
        CopyPixel(d, rows[k] + x * 4);
    }
  }
}

int TurnsQuarter(int orientation) { return orientation >= 5 && orientation <= 8 ? 1 : 0; }

int OrientationAffordable(int32_t width, int32_t height, int orientation) {
  if (TurnsQuarter(orientation) == 0)
    return 1;
  const size_t bytes = ImagePixelBytes(width, height);
  return bytes != 0 && bytes <= kMaxPixelBytes / 2 && bytes <= ImageMemoryBudget() / 2 ? 1 : 0;
}

ImageResult TurnUpright(ImageBuffer* image, int orientation, Scheduler* work) {
  if (image == nullptr || image->pixels == nullptr || orientation < 2 || orientation > 8)
    return kImageOk;
  switch (orientation) {
  case 2:
    MirrorRows(image);
    return kImageOk;
  case 3:
    MirrorRows(image);
    SwapRows(image);
    return kImageOk;
  case 4:
    SwapRows(image);
    return kImageOk;
  default:
    break;
  }
  // The first block is in use: the second must fit in what is left of the limit.
  if (ImagePixelBytes(image->width, image->height) > kMaxPixelBytes / 2)
    return kImageTooLarge;
  ImageBuffer turned;
  InitImageBuffer(&turned);
  turned.width = image->height;
  turned.height = image->width;
  turned.channels = image->channels;
  const ImageResult block = AllocPixelBlock(&turned);
  if (block != kImageOk)
    return block;
  TurnQuarter(image, orientation, turned.pixels, work);
  FreeImagePixels(image);
  *image = turned;
  return kImageOk;
}
