// JPEG reader and writer through the IJG library's stdio managers.
// Paths are ANSI strings (code page 932 on Windows). Results: 1 success, 0 failure.
#pragma once

#include "image/meta/image_metadata.h"
#include "image/picture/image_buffer.h"

struct JpegCountAhead;
struct RowProgress;

// 1 when the file opens for binary reading and begins with 0xFF 0xD8.
int IsJpegFile(const char* path);

// Decodes with the library's defaults into an empty record; channels = output_components,
// except that CMYK and YCCK files become opaque colour (channels 3): inverted inks when the
// file has an Adobe marker, plain inks otherwise.
// A fatal library error returns 0 (object destroyed, file closed). So does a damaged file:
// one that ends early or whose data the library would have to make up (see jpeg_warnings.h),
// one with more than kMaxJpegScans scans, and one whose header promises more blocks than its
// bytes could code (before anything is sized by it). Other warnings go to the standard error
// stream and decoding goes on.
// progress, when given, hears of the pixel block and of colour rows as they become final.
// orientation (the EXIF one, 1 to 8) turns the picture upright while it is read: colour rows
// go straight into their turned places; other files are turned after decoding, and give 0
// when the second block that needs is refused (see TurnUpright). progress is not told of a
// picture that is turned.
int ReadJpeg(const char* path, ImageBuffer* image, RowProgress* progress = nullptr,
             int orientation = 1);

// Writes a baseline JPEG at quality (passed unchanged to jpeg_set_quality): one gray component
// from R when channels is 1, else three components R, G, B; with alpha (channels 2 or 4)
// laid over white. A fatal library error (e.g. a failed write) returns 0. meta, when given,
// brings the density, EXIF, XMP and colour profile (see jpeg_meta_write.h). counted, when
// given, holds what was counted of the picture while it was read (see jpeg_count.h).
int WriteJpeg(const char* path, const ImageBuffer* image, int quality,
              const ImageMetadata* meta = nullptr, const JpegCountAhead* counted = nullptr);
