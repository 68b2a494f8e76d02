#include "image/picture/over_white.h"

namespace {

// c x a / 255 + 255 x (255 - a) / 255, rounded: 255 - (255 - c) x a / 255.
inline unsigned char OverWhite(unsigned c, unsigned a) {
  const unsigned x = (255u - c) * a + 128u; // round(v / 255) for v up to 255 x 255
  return static_cast<unsigned char>(255u - ((x + (x >> 8)) >> 8));
}

} // namespace

void RgbaOverWhiteToRgb(const unsigned char* rgba, size_t width, unsigned char* rgb) {
  for (size_t x = 0; x < width; ++x, rgba += 4, rgb += 3) {
    const unsigned a = rgba[3];
    rgb[0] = OverWhite(rgba[0], a);
    rgb[1] = OverWhite(rgba[1], a);
    rgb[2] = OverWhite(rgba[2], a);
  }
}

void RgbaOverWhiteToBgr(const unsigned char* rgba, size_t width, unsigned char* bgr) {
  for (size_t x = 0; x < width; ++x, rgba += 4, bgr += 3) {
    const unsigned a = rgba[3];
    bgr[0] = OverWhite(rgba[2], a);
    bgr[1] = OverWhite(rgba[1], a);
    bgr[2] = OverWhite(rgba[0], a);
  }
}
