#include "image/convert_image.h"

#include "image/bmp_codec.h"
#include "image/image_buffer.h"
#include "image/jpeg_codec.h"
#include "image/pixel_memory.h"
#include "image/png_codec.h"
#include "image/row_progress.h"
#include "image/temp_target.h"

#include <system_error>
#include <thread>

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

int ReadSource(const char* source, int type, ImageBuffer* image, RowProgress* progress = nullptr) {
  switch (type) {
  case kImageBmp:
    return ReadBmp(source, image);
  case kImagePng:
    return ReadPng(source, image, progress);
  case kImageJpeg:
    return ReadJpeg(source, image, progress);
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

// PNG and JPEG decode from the picture's top, while a BMP holds its bottom row first: the BMP
// is written from its end while the source is still decoding. Not on Windows, where writing a
// file beyond its end first has the system fill the gap with zeros.
#if defined(_WIN32)
const bool kBmpWhileReading = false;
#else
const bool kBmpWhileReading = true;
#endif

// A BMP target written on a second thread as the source's rows become final.
int ConvertToBmpWhileReading(const char* source, const char* target, int sourceType) {
  OwnedPicture picture;
  char temp[kTempPathSize];
  const int haveTemp = CreateTempBeside(target, temp, sizeof temp);
  RowProgress progress;
  int written = 0;
  std::thread writer;
  if (haveTemp != 0) {
    try {
      writer = std::thread([&temp, &progress, &written] {
        // The reader's page faults are taken here while the first rows decode.
        const ImageBuffer* const picture = WaitForPicture(&progress);
        if (picture != nullptr)
          PrefaultFromEnd(picture->pixels, ImagePixelBytes(picture->width, picture->height));
        written = WriteBmpWhileRead(temp, &progress);
      });
    } catch (const std::system_error&) {
      // no second thread: written after reading
    }
  }
  const int read = ReadSource(source, sourceType, &picture.image, &progress);
  if (read != 0)
    ShowPicture(&progress, &picture.image);
  EndRows(&progress, read);
  const bool wroteAlong = writer.joinable();
  if (wroteAlong)
    writer.join(); // before the picture can go
  if (read == 0) {
    if (haveTemp != 0)
      RemoveTemp(temp);
    return 1;
  }
  if (haveTemp == 0)
    return 2;
  if (!wroteAlong)
    written = WriteBmp(temp, &picture.image);
  if (written == 0 || ReplaceWithTemp(temp, target) == 0) {
    RemoveTemp(temp);
    return 2;
  }
  return 0;
}

} // namespace

int ConvertImage(const char* source, const char* target, int sourceType, int targetType,
                 int jpegQuality) {
  if (kBmpWhileReading && targetType == kImageBmp &&
      (sourceType == kImagePng || sourceType == kImageJpeg))
    return ConvertToBmpWhileReading(source, target, sourceType);
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
