// A JPEG's metadata: JFIF density, EXIF, XMP and the colour profile, read from a source and
// written into a target.
#pragma once

#include "image/meta/image_metadata.h"

#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

// file stands at its start; JFIF density, EXIF, XMP, the ICC profile and the frame's size,
// from the segments before the first scan. Never fails: what is damaged is left out.
void ReadJpegMetadata(FILE* file, ImageMetadata* meta);

// Sets the JFIF density from meta's resolution (after jpeg_set_defaults). meta may be null.
void SetJpegDensity(j_compress_ptr cinfo, const ImageMetadata* meta);

// Writes APP1 EXIF, APP1 XMP and the APP2 profile segments (after jpeg_start_compress). A
// block too long for its segments is left out. meta may be null.
void WriteJpegMetadata(j_compress_ptr cinfo, const ImageMetadata* meta);
