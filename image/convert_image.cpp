#include "image/convert_image.h"

#include "image/bmp_codec.h"
#include "image/image_buffer.h"
#include "image/jpeg_codec.h"
#include "image/pixel_memory.h"
#include "image/png_codec.h"
#include "image/row_progress.h"
#include "image/temp_target.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
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

// The temporary file, once written, takes the target's place: 0; else 2, the file removed.
int PutInPlace(const char* temp, const char* target, int written) {
  if (written == 0 || ReplaceWithTemp(temp, target) == 0) {
    RemoveTemp(temp);
    return 2;
  }
  return 0;
}

// ConvertImage's result for a BMP target written on a second thread as the source's rows
// become final; kNotAlong when no temporary file or thread can be had.
const int kNotAlong = -1;
int ConvertToBmpWhileReading(const char* source, const char* target, int sourceType,
                             RowProgress& progress) {
  char temp[kTempPathSize];
  if (CreateTempBeside(target, temp, sizeof temp) == 0)
    return kNotAlong;
  OwnedPicture picture;
  int written = 0;
  std::thread writer;
  try {
    writer = std::thread([&temp, &progress, &written] {
      // The reader's page faults are taken here while the first rows decode.
      const ImageBuffer* const picture = WaitForPicture(&progress);
      if (picture != nullptr)
        PrefaultFromEnd(picture->pixels, ImagePixelBytes(picture->width, picture->height));
      written = WriteBmpWhileRead(temp, &progress);
    });
  } catch (const std::system_error&) {
    RemoveTemp(temp);
    return kNotAlong;
  }
  const int read = ReadSource(source, sourceType, &picture.image, &progress);
  EndRows(&progress, read);
  writer.join(); // before the picture can go
  if (read == 0) {
    RemoveTemp(temp);
    return 1;
  }
  return PutInPlace(temp, target, written);
}

// The conversion itself; rows, when given, hears of the source's rows as they are read.
int Convert(const char* source, const char* target, int sourceType, int targetType, int jpegQuality,
            RowProgress* rows) {
  if (kBmpWhileReading && targetType == kImageBmp &&
      (sourceType == kImagePng || sourceType == kImageJpeg)) {
    RowProgress own;
    const int result =
        ConvertToBmpWhileReading(source, target, sourceType, rows != nullptr ? *rows : own);
    if (result != kNotAlong)
      return result;
  }
  OwnedPicture picture;
  const int read = ReadSource(source, sourceType, &picture.image, rows);
  EndRows(rows, read); // before the picture can go
  if (read == 0)
    return 1;
  if (targetType != kImageBmp && targetType != kImagePng && targetType != kImageJpeg)
    return 0; // unknown target type: nothing is written, success

  // The whole file is written beside the target first and takes its place only when
  // complete, so a failed write (a full disk, say) leaves the old target, or nothing.
  char temp[kTempPathSize];
  if (CreateTempBeside(target, temp, sizeof temp) == 0)
    return 2;
  return PutInPlace(temp, target,
                    WriteTarget(temp, target, targetType, &picture.image, jpegQuality));
}

// One conversion on a thread of its own, and what its caller may see of it.
struct ReportedRun {
  RowProgress rows;
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;
  int result = 1;
};

// The share done in thousandths: reading up to readShare, then writing, which the writers do
// not tell of, until the end. The picture is looked at only before reading ends: it goes soon
// after.
int ShareDone(RowProgress* rows, int readShare) {
  std::lock_guard<std::mutex> hold(rows->lock);
  if (rows->ended != 0)
    return rows->ended > 0 ? readShare : 0;
  if (rows->picture == nullptr || rows->picture->height <= 0)
    return 0;
  const size_t height = static_cast<size_t>(rows->picture->height);
  const size_t read = rows->rowsFromTop < height ? rows->rowsFromTop : height;
  return static_cast<int>(read * static_cast<size_t>(readShare) / height);
}

} // namespace

int ConvertImage(const char* source, const char* target, int sourceType, int targetType,
                 int jpegQuality, const ConvertReport* report) {
  if (report == nullptr || report->step == nullptr)
    return Convert(source, target, sourceType, targetType, jpegQuality, nullptr);

  ReportedRun run;
  std::thread worker;
  try {
    worker = std::thread([&] {
      const int result = Convert(source, target, sourceType, targetType, jpegQuality, &run.rows);
      std::lock_guard<std::mutex> hold(run.lock);
      run.result = result;
      run.done = true;
      run.finished.notify_all();
    });
  } catch (const std::system_error&) {
    return Convert(source, target, sourceType, targetType, jpegQuality, nullptr);
  }
  // Compressing the image data takes most of a conversion to PNG.
  const int readShare = targetType == kImagePng ? 200 : 600;
  std::unique_lock<std::mutex> hold(run.lock);
  while (!run.finished.wait_for(hold, std::chrono::milliseconds(kConvertReportIntervalMs),
                                [&run] { return run.done; })) {
    hold.unlock();
    report->step(report->context, ShareDone(&run.rows, readShare));
    hold.lock();
  }
  const int result = run.result;
  hold.unlock();
  worker.join();
  return result;
}
