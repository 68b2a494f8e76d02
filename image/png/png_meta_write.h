// The metadata chunks of a written PNG, between its header chunks and its image data.
#pragma once

#include "image/meta/image_metadata.h"

#include <png.h>

// Writes the colour profile (iCCP), resolution (pHYs), EXIF (eXIf), XMP (iTXt), the source's
// own text chunks and the Title naming target. meta may be null. A chunk that cannot be made
// (no memory, too long for a chunk) is left out. libpng's errors jump to the caller's
// recovery point.
void WritePngMetadata(png_structp png, const ImageMetadata* meta, const char* target);
