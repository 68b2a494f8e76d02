#include "image/bmp/bmp_masks.h"

#include "base/byte_order.h"

#include <cstring>

namespace {

// Scales a value of width bits to 8 by repeating its bits from the top: 5 bits v become
// (v << 3) | (v >> 2), so the largest value is 255 and 0 stays 0.
unsigned char Widen(uint32_t value, unsigned width) {
  int shift = 8 - static_cast<int>(width);
  uint32_t out = value << shift;
  while (shift > 0) {
    shift -= static_cast<int>(width);
    out |= shift >= 0 ? value << shift : value >> -shift;
  }
  return static_cast<unsigned char>(out & 0xFF);
}

bool SetUpChannel(uint32_t mask, BmpMaskChannel* c) {
  memset(c, 0, sizeof *c);
  c->mask = mask;
  if (mask == 0)
    return true;
  while (((mask >> c->shift) & 1u) == 0)
    ++c->shift;
  const uint32_t run = mask >> c->shift;
  if ((run & (run + 1)) != 0) // holes in the mask
    return false;
  while (c->width < 32 && ((run >> c->width) & 1u) != 0)
    ++c->width;
  if (c->width <= 8)
    for (uint32_t v = 0; v < (1u << c->width); ++v)
      c->scale[v] = Widen(v, c->width);
  return true;
}

inline unsigned char Sample(const BmpMaskChannel& c, uint32_t pixel) {
  const uint32_t v = (pixel & c.mask) >> c.shift;
  return c.width <= 8 ? c.scale[v] : static_cast<unsigned char>(v >> (c.width - 8));
}

} // namespace

bool SetUpMasks(const BmpHeader& header, BmpMasks* masks) {
  masks->bytesPerPixel = header.bitCount / 8;
  const uint32_t inside = header.bitCount == 16 ? 0xFFFFu : 0xFFFFFFFFu;
  for (int i = 0; i < 4; ++i)
    if (!SetUpChannel(header.masks[i] & inside, &masks->channel[i]))
      return false;
  masks->hasAlpha = masks->channel[3].mask != 0;
  return true;
}

unsigned ConvertMaskedRow(const BmpMasks& masks, const unsigned char* src, unsigned char* dst,
                          size_t width) {
  const BmpMaskChannel* c = masks.channel;
  unsigned alpha = 0;
  for (size_t x = 0; x < width; ++x, dst += 4) {
    const uint32_t pixel =
        masks.bytesPerPixel == 4 ? LoadLittleEndian32(src) : LoadLittleEndian16(src);
    src += masks.bytesPerPixel;
    dst[0] = Sample(c[0], pixel);
    dst[1] = Sample(c[1], pixel);
    dst[2] = Sample(c[2], pixel);
    dst[3] = masks.hasAlpha ? Sample(c[3], pixel) : 255;
    alpha |= dst[3];
  }
  return masks.hasAlpha ? alpha : 0;
}
