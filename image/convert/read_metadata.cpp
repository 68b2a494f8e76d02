#include "image/convert/read_metadata.h"

#include "image/bmp/bmp_metadata.h"
#include "image/convert/convert_image.h"
#include "image/jpeg/jpeg_metadata.h"
#include "image/png/png_metadata.h"

#include <cstdio>

void ReadImageMetadata(const char* path, int type, ImageMetadata* meta) {
  InitImageMetadata(meta);
  FILE* const file = path != nullptr ? fopen(path, "rb") : nullptr;
  if (file == nullptr)
    return;
  switch (type) {
  case kImageJpeg:
    ReadJpegMetadata(file, meta);
    break;
  case kImagePng:
    ReadPngMetadata(file, meta);
    break;
  case kImageBmp:
    ReadBmpMetadata(file, meta);
    break;
  default:
    break;
  }
  fclose(file);
  TakeExifFacts(meta);
}
