// PNG rows of 8-bit samples widened to the ImageBuffer's R, G, B, A.
#pragma once

#include <cstddef>

// Widens width pixels of samples (1 gray, 2 gray + alpha, 3 RGB, 4 RGBA) per pixel at src to
// R, G, B, A at dst. src may lie in the tail of dst's own row: going left to right, pixel x
// is read before its 4 output bytes are written, and those never reach pixels not read yet.
void WidenPngRow(unsigned char* dst, const unsigned char* src, size_t width, size_t samples);
