// Turning and flipping a picture as its EXIF orientation says, so that it stands upright.
#pragma once

#include "image/picture/image_buffer.h"
#include "image/work/scheduler.h"

// 1 when orientation (1 to 8, as EXIF numbers them) turns the picture a quarter, so that its
// width and height change places.
int TurnsQuarter(int orientation);

// 1 when a picture of width x height may be turned as orientation says: a quarter turn needs
// a second pixel block, and the two together must stay within the limit of one
// (kMaxPixelBytes) and the memory available now.
int OrientationAffordable(int32_t width, int32_t height, int orientation);

// Decoding straight into turned places: the source picture is srcWidth x srcHeight, its rows
// counted from the top as a decoder gives them; image already has the upright size (width and
// height traded for a quarter turn) and its block. Puts count source rows from row first,
// 4 bytes a pixel in rows (one after the other, srcWidth pixels each), where orientation says.
void PlaceTurnedRows(ImageBuffer* image, const unsigned char* const* rows, size_t first,
                     size_t count, size_t srcWidth, size_t srcHeight, int orientation);

// Makes image upright: mirror and half turns in place, quarter turns into a second block that
// then replaces the first. kImageOk when done (also for 1 and for values outside 1..8, which
// leave the picture as it is); the second block's refusal otherwise (the picture is then
// unchanged). A quarter turn is shared with a helper of work's.
ImageResult TurnUpright(ImageBuffer* image, int orientation, Scheduler* work);
