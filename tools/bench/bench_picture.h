// The image benchmark's picture: deterministic photo-like content.
#pragma once

#include "image/picture/image_buffer.h"

// Fills an empty record with a width x height picture (channels 3): smooth lighting, a few
// soft-edged objects, fine texture and sensor-like noise, so that lossless coders face
// photo-like entropy. 1 on success, 0 when the pixels cannot be had.
int MakeBenchPicture(ImageBuffer* image, int width, int height);
