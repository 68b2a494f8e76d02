#include "image/convert/convert_image.h"

#include "base/temp_target.h"
#include "image/bmp/bmp_codec.h"
#include "image/convert/read_metadata.h"
#include "image/jpeg/jpeg_codec.h"
#include "image/jpeg/jpeg_count.h"
#include "image/meta/exif_block.h"
#include "image/meta/icc_to_srgb.h"
#include "image/meta/image_metadata.h"
#include "image/meta/xmp_orientation.h"
#include "image/picture/image_buffer.h"
#include "image/picture/orient_image.h"
#include "image/picture/picture_prefault.h"
#include "image/picture/row_progress.h"
#include "image/png/png_codec.h"
#include "image/work/scheduler.h"

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

// The source's metadata, released on every way out.
class OwnedMetadata {
 public:
  OwnedMetadata() { InitImageMetadata(&meta); }
  ~OwnedMetadata() { FreeImageMetadata(&meta); }
  OwnedMetadata(const OwnedMetadata&) = delete;
  OwnedMetadata& operator=(const OwnedMetadata&) = delete;

  ImageMetadata meta;
};

// What a PNG reader's spare time counted of a JPEG target, released on every way out.
class OwnedCountAhead {
 public:
  OwnedCountAhead() = default;
  ~OwnedCountAhead() { FreeJpegCountAhead(ahead); }
  OwnedCountAhead(const OwnedCountAhead&) = delete;
  OwnedCountAhead& operator=(const OwnedCountAhead&) = delete;

  JpegCountAhead* ahead = nullptr;
};

// How a conversion ended: the reading, and the writing when the reading went well.
struct Outcome {
  ImageResult read;
  ImageResult write;
};

// ConvertImage's result: 0 success, 1 reading failed, 2 writing failed.
int ConvertResult(const Outcome& outcome) {
  return outcome.read != kImageOk ? 1 : outcome.write != kImageOk ? 2 : 0;
}

// Reads the source; orientation, when not 1, turns it upright (a JPEG while it decodes).
ImageResult ReadSource(const char* source, int type, ImageBuffer* image, RowProgress* progress,
                       int orientation, Scheduler* work) {
  ImageResult result = kImageCannotOpen; // an unknown source type
  switch (type) {
  case kImageBmp:
    return DecodeBmp(source, image, progress);
  case kImagePng:
    result = DecodePng(source, image, progress, work);
    return result == kImageOk ? TurnUpright(image, orientation, work) : result;
  case kImageJpeg:
    return DecodeJpeg(source, image, progress, orientation, work);
  default:
    return result;
  }
}

// The picture's page faults, taken off its reader; not while a turned picture may trade its
// block for a second one. The PNG reader keeps two threads busy and takes them in its spare
// time; the BMP and JPEG readers keep one.
PicturePrefault* StartPrefault(RowProgress* progress, int sourceType, int orientation,
                               Scheduler* work) {
  if (orientation != 1)
    return nullptr;
  switch (sourceType) {
  case kImageBmp:
    return StartPicturePrefault(progress, kFillsFromStart, kOnItsOwnThread, work);
  case kImagePng:
    return StartPicturePrefault(progress, kFillsFromEnd, kInReadersSpareTime, work);
  default:
    return StartPicturePrefault(progress, kFillsFromEnd, kOnItsOwnThread, work);
  }
}

// Writes into path; a PNG's Title names target, the file the user will see. counted: what was
// counted of a JPEG target while its source was read, or null.
ImageResult WriteTarget(const char* path, const char* target, int type, const ImageBuffer* image,
                        int jpegQuality, const ImageMetadata* meta, const JpegCountAhead* counted,
                        Scheduler* work) {
  switch (type) {
  case kImageBmp:
    return EncodeBmp(path, image, meta, work);
  case kImagePng:
    return EncodePng(path, target, image, meta, work);
  case kImageJpeg:
    return EncodeJpeg(path, image, jpegQuality, meta, counted, work);
  default:
    return kImageCannotWrite;
  }
}

// The temporary file, once written, takes the target's place; else it is removed.
ImageResult PutInPlace(const char* temp, const char* target, ImageResult written) {
  if (written == kImageOk && ReplaceWithTemp(temp, target) == 0)
    written = kImageCannotWrite;
  if (written != kImageOk)
    RemoveTemp(temp);
  return written;
}

// 1 when the profile describes the colours the target is written in: gray for a gray JPEG
// (channels 1) or PNG (channels 1 or 2), RGB for colour.
bool ProfileFits(const MetadataBlock& icc, const ImageBuffer& image, int targetType) {
  const bool gray = image.channels == 1 || (targetType != kImageJpeg && image.channels == 2);
  return ProfileColourSpace(&icc) == (gray ? kProfileGray : kProfileRgb);
}

// What the target carries of the source's metadata, now that the picture stands upright: an
// EXIF and XMP that say so (an EXIF that cannot be read is dropped), a profile only when it
// describes the written colours; a BMP, which carries no profile, gets its pixels in sRGB.
void FitMetadata(ImageMetadata* meta, ImageBuffer* image, int targetType, int orientation,
                 Scheduler* work) {
  if (meta->exif.data != nullptr &&
      MakeExifUpright(meta->exif.data, meta->exif.size, TurnsQuarter(orientation)) == 0)
    ClearMetadataBlock(&meta->exif);
  MakeXmpUpright(meta->xmp.data, meta->xmp.size);
  if (meta->icc.data != nullptr && !ProfileFits(meta->icc, *image, targetType))
    ClearMetadataBlock(&meta->icc);
  if (targetType == kImageBmp && meta->icc.data != nullptr)
    ConvertToSrgb(image, meta->icc.data, meta->icc.size, work);
}

// One conversion's arguments, as ConvertImage takes them.
struct Conversion {
  const char* source;
  const char* target;
  int sourceType;
  int targetType;
  int jpegQuality;
};

// The conversion itself, on work's helpers; rows, when given, hears of the source's rows as
// they are read.
Outcome Convert(const Conversion& c, Scheduler* work, RowProgress* rows) {
  const int sourceType = c.sourceType, targetType = c.targetType, jpegQuality = c.jpegQuality;
  const char* const source = c.source;
  const char* const target = c.target;
  OwnedMetadata kept;
  ImageMetadata* const meta = &kept.meta;
  ReadImageMetadata(source, sourceType, meta);
  const int orientation = meta->orientation;
  // A PNG that must be turned a quarter is refused before it is decoded when its two blocks
  // cannot be had, as one too large for its first block is.
  if (sourceType == kImagePng && meta->width > 0 && meta->height > 0 &&
      OrientationAffordable(meta->width, meta->height, orientation) == 0)
    return {kImageTooLarge, kImageOk};
  OwnedPicture picture;
  RowProgress own;
  RowProgress* const progress = rows != nullptr ? rows : &own;
  PicturePrefault* const prefault = StartPrefault(progress, sourceType, orientation, work);
  // A PNG reader's spare time, once the faults are taken, counts a JPEG target's symbols;
  // not for a picture that is turned after reading.
  OwnedCountAhead counted;
  if (sourceType == kImagePng && targetType == kImageJpeg && orientation == 1)
    counted.ahead = StartJpegCountAhead(progress, jpegQuality);
  // No room for a turned picture's second block is a refusal like a picture too large.
  Outcome outcome = {ReadSource(source, sourceType, &picture.image, progress, orientation, work),
                     kImageOk};
  EndRows(progress, outcome.read == kImageOk);
  EndPicturePrefault(prefault); // both before the picture can go
  StopJpegCountAhead(counted.ahead);
  if (outcome.read != kImageOk)
    return outcome;
  if (targetType != kImageBmp && targetType != kImagePng && targetType != kImageJpeg)
    return outcome; // unknown target type: nothing is written, success
  FitMetadata(meta, &picture.image, targetType, orientation, work);

  // The whole file is written beside the target first and takes its place only when
  // complete, so a failed write (a full disk, say) leaves the old target, or nothing.
  char temp[kTempPathSize];
  if (CreateTempBeside(target, temp, sizeof temp) == 0) {
    outcome.write = kImageCannotWrite;
    return outcome;
  }
  outcome.write = PutInPlace(temp, target,
                             WriteTarget(temp, target, targetType, &picture.image, jpegQuality,
                                         meta, counted.ahead, work));
  return outcome;
}

// One conversion on a helper, and what its caller may see of it.
struct ReportedRun {
  const Conversion* conversion;
  Scheduler* work;
  RowProgress rows;
  Outcome outcome;
};

void ConvertReported(void* context) {
  ReportedRun* const run = static_cast<ReportedRun*>(context);
  run->outcome = Convert(*run->conversion, run->work, &run->rows);
}

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
  const size_t final = rows->rowsFromTop.load();
  const size_t read = final < height ? final : height;
  return static_cast<int>(read * static_cast<size_t>(readShare) / height);
}

} // namespace

int ConvertImage(const char* source, const char* target, int sourceType, int targetType,
                 int jpegQuality, const ConvertReport* report) {
  const Conversion conversion = {source, target, sourceType, targetType, jpegQuality};
  Scheduler* const work = StartScheduler();
  // With a report, the conversion runs on a helper while this thread tells of it.
  ReportedRun run = {&conversion, work, {}, {kImageOk, kImageOk}};
  BackgroundTask* const helper = report != nullptr && report->step != nullptr
                                     ? StartInBackground(work, ConvertReported, &run)
                                     : nullptr;
  if (helper == nullptr) {
    run.outcome = Convert(conversion, work, nullptr);
  } else {
    // Compressing the image data takes most of a conversion to PNG.
    const int readShare = targetType == kImagePng ? 200 : 600;
    while (!WaitForBackground(helper, kConvertReportIntervalMs))
      report->step(report->context, ShareDone(&run.rows, readShare));
    JoinBackground(helper);
  }
  EndScheduler(work);
  return ConvertResult(run.outcome);
}
