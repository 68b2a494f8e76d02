// Run-length encoded BMP pixels (RLE8 and RLE4).
#pragma once

#include "image/bmp/bmp_header.h"
#include "image/picture/image_buffer.h"

// Decodes the runs from the file's current position into the allocated picture (bottom row
// first). Pixels that no run sets (skipped by a delta, or left by an early end of line or of
// the bitmap) are the first palette colour; runs past the end of a row are cut there, and
// nothing past the picture's last row is decoded. Data that ends without an end-of-bitmap
// code leaves the rest unset.
void ReadRlePixels(FILE* file, const BmpHeader& header, ImageBuffer* image);
