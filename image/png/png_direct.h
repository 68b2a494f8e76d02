// The PNG reader's own way through the image data of the commonest files.
#pragma once

#include "image/picture/image_result.h"
#include "image/work/scheduler.h"

#include <cstddef>
#include <cstdio>

// For a non-interlaced 8-bit RGB (samples 3) or RGBA (samples 4) PNG without a transparency
// chunk: inflates the image data and undoes the filters itself, the two on separate threads,
// which libpng's rows cannot do. file stands just behind the first IDAT chunk's length and
// type, where png_read_info leaves it. Fills pixels (width x height x 4, bottom row first):
// kImageOk; kImageDamaged on a CRC error in an IDAT chunk, damaged or too little image data;
// kImageNoMemory. The file stays open; nothing behind the last IDAT chunk is read. Rows are
// stored by a helper of work's, and each row stored is published to it.
ImageResult ReadPngRowsDirectly(FILE* file, size_t width, size_t height, size_t samples,
                                unsigned char* pixels, Scheduler* work);
