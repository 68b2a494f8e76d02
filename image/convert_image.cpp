#include "image/convert_image.h"

#include "image/bmp_codec.h"
#include "image/image_buffer.h"
#include "image/jpeg_codec.h"
#include "image/png_codec.h"

int ConvertImage(const char* source, const char* target, int sourceType, int targetType,
                 int jpegQuality) {
  ImageBuffer image;
  InitImageBuffer(&image);

  int read = 0;
  switch (sourceType) {
  case kImageBmp:
    read = ReadBmp(source, &image);
    break;
  case kImagePng:
    read = ReadPng(source, &image);
    break;
  case kImageJpeg:
    read = ReadJpeg(source, &image);
    break;
  default:
    read = 0;
    break; // unknown source type: a read failure
  }
  if (read == 0) {
    FreeImagePixels(&image);
    return 1;
  }

  int written = 1;
  switch (targetType) {
  case kImageBmp:
    written = WriteBmp(target, &image);
    break;
  case kImagePng:
    written = WritePng(target, &image);
    break;
  case kImageJpeg:
    written = WriteJpeg(target, &image, jpegQuality);
    break;
  default:
    written = 1;
    break; // unknown target type: nothing is written, success
  }
  FreeImagePixels(&image);
  return written != 0 ? 0 : 2;
}
