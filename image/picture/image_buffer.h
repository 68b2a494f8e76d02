// The in-memory picture shared by every image reader and writer.
// 4 bytes per pixel in R, G, B, A order, rows without gaps, row 0 the bottom row.
#pragma once

#include "image/picture/image_result.h"

#include <cstddef>
#include <cstdint>

struct ImageBuffer {
  unsigned char* pixels; // width x height x 4 bytes, or null
  int32_t width;         // pixels per row
  int32_t height;        // number of rows
  int32_t channels;      // of the source: 1 gray, 2 gray+alpha, 3 RGB (palettes too), 4 RGBA
};

// Puts a fresh record into the empty state: no pixels, 0 x 0, 3 channels. Releases nothing.
void InitImageBuffer(ImageBuffer* image);

// The largest pixel block ever allocated: 1 GiB in 32-bit builds, 4 GiB in 64-bit ones.
const uint64_t kMaxPixelBytes = sizeof(void*) == 4 ? uint64_t(1) << 30 : uint64_t(4) << 30;

// Releases the current block, then allocates a zero-filled block of width x height x 4 bytes:
// kImageOk; kImageDamaged when a dimension is 0 or below, kImageTooLarge when the size is
// above kMaxPixelBytes or above the physical memory available now, kImageNoMemory when memory
// runs out (pixels is then null).
ImageResult AllocPixelBlock(ImageBuffer* image);

// The same with the record operations' result: 1 when a block was allocated, else 0.
int AllocImagePixels(ImageBuffer* image);

// Releases the pixel block if there is one; width, height and channels stay.
void FreeImagePixels(ImageBuffer* image);

// Byte size of a width x height x 4 block; 0 when a dimension is 0 or below or the size is
// above kMaxPixelBytes (or, in fuzzing builds, the fuzzing cap).
size_t ImagePixelBytes(int32_t width, int32_t height);

// What a picture may take now: the physical memory available, at most kMaxPixelBytes.
// Readers hand it to their libraries as the limit of those libraries' own buffers.
size_t ImageMemoryBudget();

// 1 when AllocImagePixels would be allowed a block for this size now; readers ask before
// anything large is allocated for a picture.
int ImagePixelsAffordable(int32_t width, int32_t height);
