#include "image/png/png_widen.h"

#include <cstring>

namespace {

void WidenGray(unsigned char* dst, const unsigned char* src, size_t width) {
  for (size_t x = 0; x < width; ++x, dst += 4) {
    const unsigned char v = src[x];
    dst[0] = v;
    dst[1] = v;
    dst[2] = v;
    dst[3] = 255;
  }
}

void WidenRgb(unsigned char* dst, const unsigned char* src, size_t width) {
  for (size_t x = 0; x < width; ++x, src += 3, dst += 4) {
    const unsigned char r = src[0], g = src[1], b = src[2];
    dst[0] = r;
    dst[1] = g;
    dst[2] = b;
    dst[3] = 255;
  }
}

void WidenGrayAlpha(unsigned char* dst, const unsigned char* src, size_t width) {
  for (size_t x = 0; x < width; ++x, src += 2, dst += 4) {
    const unsigned char v = src[0], a = src[1];
    dst[0] = v;
    dst[1] = v;
    dst[2] = v;
    dst[3] = a;
  }
}

} // namespace

void WidenPngRow(unsigned char* dst, const unsigned char* src, size_t width, size_t samples) {
  switch (samples) {
  case 1:
    WidenGray(dst, src, width);
    break;
  case 2:
    WidenGrayAlpha(dst, src, width);
    break;
  case 3:
    WidenRgb(dst, src, width);
    break;
  default:
    if (dst != src)
      memcpy(dst, src, width * 4); // RGBA rows are already R, G, B, A
    break;
  }
}
