#include "image/convert_image.h"

#include "image/bmp_codec.h"
#include "image/image_buffer.h"
#include "image/jpeg_codec.h"
#include "image/png_codec.h"
#include "image/temp_target.h"

namespace {

// Longest temporary path: as long as any target the job builds, with room to spare.
const size_t kTempPathSize = 4096;

// The picture of one conversion, released on every way out.
class OwnedPicture {
 public:
  OwnedPicture() { InitImageBuffer(&image); }
  ~OwnedPicture() { FreeImagePixels(&image); }
  OwnedPicture(const OwnedPicture&) = delete;
  OwnedPicture& operator=(const OwnedPicture&) = delete;

  ImageBuffer image;
};

int ReadSource(const char* source, int type, ImageBuffer* image) {
  switch (type) {
  case kImageBmp:
    return ReadBmp(source, image);
  case kImagePng:
    return ReadPng(source, image);
  case kImageJpeg:
    return ReadJpeg(source, image);
  default:
    return 0; // unknown source type: a read failure
  }
}

// Writes into path; a PNG's Title names target, the file the user will see.
int WriteTarget(const char* path, const char* target, int type, const ImageBuffer* image,
                int jpegQuality) {
  switch (type) {
  case kImageBmp:
    return WriteBmp(path, image);
  case kImagePng:
    return WritePngTitled(path, target, image);
  case kImageJpeg:
    return WriteJpeg(path, image, jpegQuality);
  default:
    return 0;
  }
}

} // namespace

int ConvertImage(const char* source, const char* target, int sourceType, int targetType,
                 int jpegQuality) {
  OwnedPicture picture;
  if (ReadSource(source, sourceType, &picture.image) == 0)
    return 1;
  if (targetType != kImageBmp && targetType != kImagePng && targetType != kImageJpeg)
    return 0; // unknown target type: nothing is written, success

  // The whole file is written beside the target first and takes its place only when
  // complete, so a failed write (a full disk, say) leaves the old target, or nothing.
  char temp[kTempPathSize];
  if (CreateTempBeside(target, temp, sizeof temp) == 0)
    return 2;
  if (WriteTarget(temp, target, targetType, &picture.image, jpegQuality) == 0 ||
      ReplaceWithTemp(temp, target) == 0) {
    RemoveTemp(temp);
    return 2;
  }
  return 0;
}
