// Pictures with alpha laid over white, for targets that carry no alpha (JPEG and BMP): a
// transparent pixel becomes white, a half-transparent one half its colour and half white.
#pragma once

#include "image/picture/image_buffer.h"

#include <cstddef>

// 1 when the picture's source carried alpha (channels 2 or 4), so its writers lay it over
// white; pictures without alpha keep their own fast paths.
inline int HasAlpha(const ImageBuffer* image) {
  return image->channels == 2 || image->channels == 4 ? 1 : 0;
}

// width pixels of R, G, B, A over white as 3 bytes each: R, G, B.
void RgbaOverWhiteToRgb(const unsigned char* rgba, size_t width, unsigned char* rgb);

// The same as B, G, R, the order of a BMP's pixels.
void RgbaOverWhiteToBgr(const unsigned char* rgba, size_t width, unsigned char* bgr);
