#include "image/bmp/bmp_rle.h"

#include <cstring>

namespace {

// The current place in the picture; x and y stop growing once past its edges, so no run or
// delta can overflow them.
struct RleCursor {
  unsigned char* pixels;
  size_t width;
  size_t height;
  size_t x;
  size_t y; // 0 = bottom row
  const unsigned char (*palette)[4];
};

void Advance(size_t* value, size_t by, size_t limit) {
  *value = by < limit - *value ? *value + by : limit;
}

void PlacePixel(RleCursor* c, unsigned index) {
  if (c->x < c->width && c->y < c->height)
    memcpy(c->pixels + (c->y * c->width + c->x) * 4, c->palette[index], 4);
  Advance(&c->x, 1, c->width);
}

// Pixel i of a run or literal: RLE4 packs two per byte, high nibble first.
unsigned IndexAt(const unsigned char* bytes, size_t i, bool four) {
  return four ? (bytes[i / 2] >> ((i & 1) != 0 ? 0 : 4)) & 0x0Fu : bytes[i];
}

} // namespace

void ReadRlePixels(FILE* file, const BmpHeader& header, ImageBuffer* image) {
  RleCursor c;
  c.pixels = image->pixels;
  c.width = static_cast<size_t>(image->width);
  c.height = static_cast<size_t>(image->height);
  c.x = 0;
  c.y = 0;
  c.palette = header.palette;
  const size_t count = c.width * c.height;
  for (size_t i = 0; i < count; ++i)
    memcpy(c.pixels + i * 4, header.palette[0], 4);

  const bool four = header.compression == kBmpRle4;
  unsigned char code[2];
  while (c.y < c.height && fread(code, 1, 2, file) == 2) {
    if (code[0] != 0) { // a run of code[0] pixels
      for (size_t i = 0; i < code[0]; ++i)
        PlacePixel(&c, IndexAt(&code[1], four ? i % 2 : 0, four));
      continue;
    }
    switch (code[1]) {
    case 0: // end of line
      c.x = 0;
      Advance(&c.y, 1, c.height);
      break;
    case 1: // end of bitmap
      return;
    case 2: { // delta: move right and up
      unsigned char d[2];
      if (fread(d, 1, 2, file) != 2)
        return;
      Advance(&c.x, d[0], c.width);
      Advance(&c.y, d[1], c.height);
      break;
    }
    default: { // code[1] literal pixels, padded to a 16-bit boundary
      const size_t n = code[1];
      const size_t bytes = four ? (n + 1) / 2 : n;
      unsigned char literal[256];
      if (fread(literal, 1, bytes + (bytes & 1), file) != bytes + (bytes & 1))
        return;
      for (size_t i = 0; i < n; ++i)
        PlacePixel(&c, IndexAt(literal, i, four));
      break;
    }
    }
  }
}
