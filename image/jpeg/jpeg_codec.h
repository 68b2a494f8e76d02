// JPEG reader and writer through the IJG library's stdio managers. Paths are ANSI strings
// (code page 932 on Windows).
#pragma once

#include "image/meta/image_metadata.h"
#include "image/picture/image_buffer.h"
#include "image/picture/image_result.h"
#include "image/work/scheduler.h"

struct JpegCountsAhead;

// Decodes with the library's defaults into an empty record; channels = output_components,
// except that CMYK and YCCK files become opaque colour (channels 3): inverted inks when the
// file has an Adobe marker, plain inks otherwise.
// A fatal library error is kImageDamaged (object destroyed, file closed). So is a damaged
// file: one that ends early or whose data the library would have to make up (see
// jpeg_warnings.h), one with more than kMaxJpegScans scans, and one whose header promises more
// blocks than its bytes could code (before anything is sized by it). Other warnings go to the
// standard error stream and decoding goes on.
// The pixel block, and colour rows as they become final, are published to work.
// orientation (the EXIF one, 1 to 8) turns the picture upright while it is read: colour rows
// go straight into their turned places; other files are turned after decoding, and fail when
// the second block that needs is refused (see TurnUpright). A picture turned while it is read
// is not published.
ImageResult DecodeJpeg(const char* path, ImageBuffer* image, int orientation, Scheduler* work);

// Writes a baseline JPEG at quality (passed unchanged to jpeg_set_quality): one gray component
// from R when channels is 1, else three components R, G, B; with alpha (channels 2 or 4)
// laid over white. A fatal library error (e.g. a failed write) is kImageCannotWrite. meta,
// when given, brings the density, EXIF, XMP and colour profile (see jpeg_metadata.h). ahead,
// when given, holds what was counted of this picture at this quality while it was read (see
// jpeg_count.h). The picture is compressed on work's helpers too.
ImageResult EncodeJpeg(const char* path, const ImageBuffer* image, int quality,
                       const ImageMetadata* meta, const JpegCountsAhead* ahead, Scheduler* work);

// The codec's entry points, with their results: 1 success, 0 failure.
// 1 when the file opens for binary reading and begins with 0xFF 0xD8.
int IsJpegFile(const char* path);
int ReadJpeg(const char* path, ImageBuffer* image);
int WriteJpeg(const char* path, const ImageBuffer* image, int quality);
