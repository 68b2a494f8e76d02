// The source's metadata, read before its pixels: the orientation they must be turned by, and
// what the target carries.
#pragma once

#include "image/meta/image_metadata.h"

// Fills meta from the file at path of the given ImageType. Never fails: whatever is missing,
// damaged or unreadable is left out.
void ReadImageMetadata(const char* path, int type, ImageMetadata* meta);
