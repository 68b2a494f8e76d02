// A PNG's metadata chunks, read from a source and written into a target between its header
// chunks and its image data.
#pragma once

#include "image/meta/image_metadata.h"

#include <cstdio>

#include <png.h>

// file stands at its start; pHYs, eXIf, iCCP, the XMP text and the other text chunks, from
// every chunk up to IEND, and the size from IHDR. Never fails: what is damaged is left out.
void ReadPngMetadata(FILE* file, ImageMetadata* meta);

// Writes the colour profile (iCCP), resolution (pHYs), EXIF (eXIf), XMP (iTXt), the source's
// own text chunks and the Title naming target. meta may be null. A chunk that cannot be made
// (no memory, too long for a chunk) is left out. libpng's errors jump to the caller's
// recovery point.
void WritePngMetadata(png_structp png, const ImageMetadata* meta, const char* target);
