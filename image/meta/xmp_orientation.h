// The orientation an XMP packet may state besides the EXIF one.
#pragma once

#include <cstddef>

// The first tiff:Orientation of the packet, 1 to 8; 0 when it states none.
int XmpOrientation(const unsigned char* xmp, size_t size);

// Every tiff:Orientation of the packet, as an attribute (tiff:Orientation="6") or an element
// (<tiff:Orientation>6</tiff:Orientation>), made to say 1; nothing else changes.
void MakeXmpUpright(unsigned char* xmp, size_t size);
