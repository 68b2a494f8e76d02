// What a BMP carries besides its pixels: its resolution.
#pragma once

#include "image/meta/image_metadata.h"

#include <cstdio>

// file stands at its start; the resolution in pixels per metre, when the file states one.
// Never fails.
void ReadBmpMetadata(FILE* file, ImageMetadata* meta);
