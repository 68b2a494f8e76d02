// Reading and mending an EXIF block (a TIFF structure, from its byte-order mark on). Every
// read stays inside the block; a damaged block is reported, never followed.
#pragma once

#include <cstddef>

struct ExifFacts {
  int orientation;    // 1 to 8; 0 when the tag is missing or holds something else
  int resolutionUnit; // 2 inch, 3 centimetre; 0 when missing or unusable
  double xResolution; // 0 when missing or unusable
  double yResolution;
};

// 1 when the block's header and first directory can be read; facts are then filled.
int ReadExifFacts(const unsigned char* exif, size_t size, ExifFacts* facts);

// Makes the block describe an upright picture: the orientation tag says 1, the thumbnail
// directory is unlinked (its picture would contradict the turned one), and when the picture
// was turned a quarter (turnedQuarter 1) the EXIF pixel width and height change places.
// 0 when the first directory cannot be read (the block is then unchanged).
int MakeExifUpright(unsigned char* exif, size_t size, int turnedQuarter);
