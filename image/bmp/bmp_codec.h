// BMP reader (bmp_read.cpp) and writer (bmp_write.cpp): the program's own codec, no image
// library behind it. Paths are ANSI strings (code page 932 on Windows).
#pragma once

#include "image/meta/image_metadata.h"
#include "image/picture/image_buffer.h"
#include "image/picture/image_result.h"
#include "image/work/scheduler.h"

// Reads a BMP into an empty record: OS/2 1.x and 2.x and Windows 3 to V5 headers, bottom-up
// or top-down, 1, 2, 4, 8, 16, 24 or 32 bits per pixel, uncompressed, RLE8, RLE4 or through
// colour masks (bit fields, with alpha). channels is 4 when an alpha mask brings alpha that
// is not zero everywhere, else 3 with A 255. On failure a pixel block already allocated
// stays in image. The picture's block is published to work once it is there; the rows are
// final only when reading ends, as a bottom-up file fills the picture from its last row.
ImageResult DecodeBmp(const char* path, ImageBuffer* image, Scheduler* work);

// Writes image as a 24-bit bottom-up BMP: bfSize = stride x height + 56, two trailing zero
// bytes, the resolution of meta in pixels per metre when it knows one, else 2834. A picture
// with alpha (channels 2 or 4) is laid over white. meta may be null. A helper of work's writes
// the rows while the next are made.
ImageResult EncodeBmp(const char* path, const ImageBuffer* image, const ImageMetadata* meta,
                      Scheduler* work);

// The codec's entry points, with their results: 1 success, 0 failure.
// 1 when the file opens for binary reading and its first two bytes are "BM".
int IsBmpFile(const char* path);
int ReadBmp(const char* path, ImageBuffer* image);
int WriteBmp(const char* path, const ImageBuffer* image);
