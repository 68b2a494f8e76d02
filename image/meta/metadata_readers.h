// The per-format halves of ReadImageMetadata; each fills what its file states and never fails.
#pragma once

#include "image/meta/image_metadata.h"

#include <cstdio>

// file stands at its start; JFIF density, EXIF, XMP, the ICC profile and the frame's size,
// from the segments before the first scan.
void ReadJpegMetadata(FILE* file, ImageMetadata* meta);

// file stands at its start; pHYs, eXIf, iCCP, the XMP text and the other text chunks, from
// every chunk up to IEND, and the size from IHDR.
void ReadPngMetadata(FILE* file, ImageMetadata* meta);

// The largest block kept of any one kind: a JPEG's profile can be 255 segments long.
const size_t kMaxMetadataBytes = size_t{16} << 20;
