// Pixels described by an embedded colour profile, converted to sRGB for a target that cannot
// carry the profile (BMP).
#pragma once

#include "image/picture/image_buffer.h"
#include "image/work/scheduler.h"

#include <cstddef>

// The rendering intent: perceptual, the ICC's intent for photographs. For the matrix profiles
// that cameras and editors embed (Adobe RGB, Display P3, sRGB) it gives the same colours as
// relative colorimetric; no black point compensation.
//
// Converts R, G, B of every pixel (alpha stays) from the profile's colours to sRGB, through
// Little CMS. An RGB profile converts each pixel; a gray profile converts the gray value (R)
// into a neutral sRGB colour, the rows shared with a helper of work's. 1 when converted; 0 when
// the profile cannot be used (damaged, another colour space, no memory): the pixels are then
// as they were.
int ConvertToSrgb(ImageBuffer* image, const unsigned char* icc, size_t size, Scheduler* work);
