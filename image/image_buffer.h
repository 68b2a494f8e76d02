// The in-memory picture shared by every image reader and writer.
// 4 bytes per pixel in R, G, B, A order, rows without gaps, row 0 the bottom row.
#pragma once

#include <cstddef>
#include <cstdint>

struct ImageBuffer {
  unsigned char* pixels; // width x height x 4 bytes, or null
  int32_t width;         // pixels per row
  int32_t height;        // number of rows
  int32_t channels;      // channels of the source: 1 gray/palette, 2 gray+alpha, 3 RGB, 4 RGBA
};

// Puts a fresh record into the empty state: no pixels, 0 x 0, 3 channels. Releases nothing.
void InitImageBuffer(ImageBuffer* image);

// Releases the current block, then allocates a zero-filled block of width x height x 4 bytes.
// 1 when a block was allocated; 0 when a dimension is 0 or below, when the size does not fit
// the allocator's size type, or when memory runs out (pixels is then null).
int AllocImagePixels(ImageBuffer* image);

// Releases the pixel block if there is one; width, height and channels stay.
void FreeImagePixels(ImageBuffer* image);

// Byte size of a width x height x 4 block; 0 when a dimension is 0 or below or the size does
// not fit size_t (nor, in fuzzing builds, the fuzzing cap).
size_t ImagePixelBytes(int32_t width, int32_t height);
