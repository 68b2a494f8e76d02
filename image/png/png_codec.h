// PNG reader and writer through libpng on an open stdio file. Paths are ANSI strings (code
// page 932 on Windows).
#pragma once

#include "image/meta/image_metadata.h"
#include "image/picture/image_buffer.h"
#include "image/picture/image_result.h"
#include "image/work/scheduler.h"

// Reads a PNG of any colour type and bit depth into an empty record, interlaced or not:
// palettes and low depths expanded, 16 bits rounded to 8, tRNS applied as alpha. channels
// is 1 gray, 2 gray with alpha, 3 colour (a palette too), 4 colour with alpha. A libpng error
// (corrupt data, CRC error in a critical chunk, bad header), and image data too short to
// inflate to the header's rows even at deflate's best ratio, are kImageDamaged, with
// everything released; a pixel block already allocated stays in image for the caller. The
// rows are stored by a helper of work's, and published to it, the pixel block first and then
// each row from the top as it becomes final.
ImageResult DecodePng(const char* path, ImageBuffer* image, Scheduler* work);

// Writes an 8-bit PNG chosen from channels: 1 gray (type 0, from R), 2 gray with alpha
// (type 4, from R and A), 4 RGBA (type 6), anything else RGB (type 2). The rows go in segments
// of about 2 MB, each filtered the way that compresses best on a sample of its rows: one
// filter throughout, or each row's own chosen among all five. The image data is compressed
// with libdeflate on up to ThreadsToUse() threads, smaller than zlib's level 9; gAMA
// 45455, tIME (UTC now), a "Title" naming title's file (not its folders: a temporary file
// standing in for the target names the target), and the metadata of meta when given (see
// png_metadata.h). On a failure (a refused header value, a failed write, no memory)
// everything is released and every helper done.
ImageResult EncodePng(const char* path, const char* title, const ImageBuffer* image,
                      const ImageMetadata* meta, Scheduler* work);

// The codec's entry points, with their results: 1 success, 0 failure. WritePng's Title names
// path's file.
// 1 when the file opens for binary reading and begins with the 8-byte PNG signature.
int IsPngFile(const char* path);
int ReadPng(const char* path, ImageBuffer* image);
int WritePng(const char* path, const ImageBuffer* image);
