// What a BMP file's headers say: the file header, an info header of any of the usual
// lengths (OS/2 1.x and 2.x, Windows 3 to V5), the colour masks and the colour table.
#pragma once

#include "image/picture/image_result.h"

#include <cstdint>
#include <cstdio>

enum BmpCompression : uint32_t {
  kBmpRgb = 0,
  kBmpRle8 = 1,
  kBmpRle4 = 2,
  kBmpBitFields = 3,
  kBmpAlphaBitFields = 6,
};

struct BmpHeader {
  uint32_t offBits;     // where the pixel data starts, counted from the start of the file
  int32_t width;        // 1 or more
  int32_t height;       // rows, 1 or more
  bool topDown;         // the file's first row is the picture's top row
  unsigned bitCount;    // 1, 2, 4, 8, 16, 24 or 32
  uint32_t compression; // one of BmpCompression, matching bitCount
  uint32_t masks[4];    // R, G, B, A bits of a 16- or 32-bit pixel; A may be 0
  // R, G, B, 255 per entry. Entries past the file's table repeat its first colour, so any
  // index of the depth finds a colour, as the usual viewers show one out of range.
  unsigned char palette[256][4];
};

// Reads the headers, masks and colour table from the start of the file and leaves the
// position undefined: kImageOk; kImageCannotOpen for a file that is no BMP, kImageDamaged
// for headers cut short or out of range, kImageUnsupported for a kind this reader does not
// decode.
ImageResult ReadBmpHeader(FILE* file, BmpHeader* header);
