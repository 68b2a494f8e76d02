// 16- and 32-bit BMP pixels through their colour masks.
#pragma once

#include "image/bmp/bmp_header.h"

#include <cstddef>

struct BmpMaskChannel {
  uint32_t mask;
  unsigned shift;           // of the mask's lowest bit
  unsigned width;           // bits in the mask
  unsigned char scale[256]; // value -> 8 bits, for widths up to 8
};

struct BmpMasks {
  BmpMaskChannel channel[4]; // R, G, B, A
  unsigned bytesPerPixel;    // 2 or 4
  bool hasAlpha;             // an A mask with bits inside the pixel
};

// false when a mask's bits are not one contiguous run (bits beyond the pixel are dropped).
bool SetUpMasks(const BmpHeader& header, BmpMasks* masks);

// Converts width pixels at src into R, G, B, A at dst (A 255 without an A mask). Returns
// every alpha value ORed together, so a caller can tell alpha that is all zero.
unsigned ConvertMaskedRow(const BmpMasks& masks, const unsigned char* src, unsigned char* dst,
                          size_t width);
