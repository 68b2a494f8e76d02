#include "image/convert/convert_image.h"

#include "base/temp_target.h"
#include "image/bmp/bmp_codec.h"
#include "image/convert/read_metadata.h"
#include "image/jpeg/jpeg_codec.h"
#include "image/jpeg/jpeg_count_ahead.h"
#include "image/meta/exif_block.h"
#include "image/meta/icc_to_srgb.h"
#include "image/meta/image_metadata.h"
#include "image/meta/xmp_orientation.h"
#include "image/picture/image_buffer.h"
#include "image/picture/orient_image.h"
#include "image/picture/picture_prefault.h"
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

// What was counted of a JPEG target while its source was read, released on every way out.
class OwnedCountAhead {
 public:
  OwnedCountAhead() = default;
  ~OwnedCountAhead() { FreeJpegCountAhead(ahead); }
  OwnedCountAhead(const OwnedCountAhead&) = delete;
  OwnedCountAhead& operator=(const OwnedCountAhead&) = delete;

  JpegCountAhead* ahead = nullptr;
};

// One conversion's arguments, as ConvertImage takes them.
struct Conversion {
  const char* source;
  const char* target;
  int sourceType;
  int targetType;
  int jpegQuality;
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

// Tasks that hear of the source's rows while it is read, when those rows are the written
// picture's own (it is not turned after reading): its page faults, taken where its reader
// leaves room (the PNG reader keeps two threads busy, the BMP and JPEG readers one), and a
// JPEG target's count, whenever one of the reader's threads would wait.
void HearOfRows(const Conversion& c, const ImageBuffer* picture, Scheduler* work,
                OwnedCountAhead* counted) {
  switch (c.sourceType) {
  case kImageBmp:
    TakePictureFaults(work, picture, kFillsFromStart, kOnItsOwnThread);
    break;
  case kImagePng:
    TakePictureFaults(work, picture, kFillsFromEnd, kWhenAThreadWouldWait);
    break;
  default:
    TakePictureFaults(work, picture, kFillsFromEnd, kOnItsOwnThread);
    break;
  }
  if (c.targetType == kImageJpeg)
    counted->ahead = CountJpegAhead(work, picture, c.jpegQuality);
}

// Reads the source; orientation, when not 1, turns it upright (a JPEG while it decodes).
ImageResult ReadSource(const Conversion& c, ImageBuffer* image, int orientation, Scheduler* work) {
  ImageResult result = kImageCannotOpen; // an unknown source type
  switch (c.sourceType) {
  case kImageBmp:
    return DecodeBmp(c.source, image, work);
  case kImagePng:
    result = DecodePng(c.source, image, work);
    return result == kImageOk ? TurnUpright(image, orientation, work) : result;
  case kImageJpeg:
    return DecodeJpeg(c.source, image, orientation, work);
  default:
    return result;
  }
}

// Writes into path; a PNG's Title names the target, the file the user will see. counted: what
// was counted of a JPEG target while its source was read.
ImageResult WriteTarget(const Conversion& c, const char* path, const ImageBuffer* image,
                        const ImageMetadata* meta, const JpegCountsAhead& counted,
                        Scheduler* work) {
  switch (c.targetType) {
  case kImageBmp:
    return EncodeBmp(path, image, meta, work);
  case kImagePng:
    return EncodePng(path, c.target, image, meta, work);
  case kImageJpeg:
    return EncodeJpeg(path, image, c.jpegQuality, meta, &counted, work);
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

// The conversion itself, on work's helpers.
Outcome Convert(const Conversion& c, Scheduler* work) {
  OwnedMetadata kept;
  ImageMetadata* const meta = &kept.meta;
  ReadImageMetadata(c.source, c.sourceType, meta);
  const int orientation = meta->orientation;
  // A PNG that must be turned a quarter is refused before it is decoded when its two blocks
  // cannot be had, as one too large for its first block is.
  if (c.sourceType == kImagePng && meta->width > 0 && meta->height > 0 &&
      OrientationAffordable(meta->width, meta->height, orientation) == 0)
    return {kImageTooLarge, kImageOk};
  OwnedPicture picture;
  OwnedCountAhead counted;
  if (orientation == 1)
    HearOfRows(c, &picture.image, work, &counted);
  Outcome outcome = {ReadSource(c, &picture.image, orientation, work), kImageOk};
  EndRows(work, outcome.read == kImageOk); // no task hears of the rows after this
  if (outcome.read != kImageOk)
    return outcome;
  if (c.targetType != kImageBmp && c.targetType != kImagePng && c.targetType != kImageJpeg)
    return outcome; // unknown target type: nothing is written, success
  FitMetadata(meta, &picture.image, c.targetType, orientation, work);

  // The whole file is written beside the target first and takes its place only when
  // complete, so a failed write (a full disk, say) leaves the old target, or nothing.
  char temp[kTempPathSize];
  if (CreateTempBeside(c.target, temp, sizeof temp) == 0) {
    outcome.write = kImageCannotWrite;
    return outcome;
  }
  outcome.write =
      PutInPlace(temp, c.target,
                 WriteTarget(c, temp, &picture.image, meta, JpegCountedSoFar(counted.ahead), work));
  return outcome;
}

// A conversion on a helper, while its caller tells of it.
struct ReportedRun {
  const Conversion* conversion;
  Scheduler* work;
  Outcome outcome;
};

void ConvertReported(void* context) {
  ReportedRun* const run = static_cast<ReportedRun*>(context);
  run->outcome = Convert(*run->conversion, run->work);
}

} // namespace

int ConvertImage(const char* source, const char* target, int sourceType, int targetType,
                 int jpegQuality, const ConvertReport* report) {
  const Conversion conversion = {source, target, sourceType, targetType, jpegQuality};
  Scheduler* const work = StartScheduler();
  ReportedRun run = {&conversion, work, {kImageOk, kImageOk}};
  BackgroundTask* const helper = report != nullptr && report->step != nullptr
                                     ? StartInBackground(work, ConvertReported, &run)
                                     : nullptr;
  if (helper == nullptr) {
    run.outcome = Convert(conversion, work);
  } else {
    // The share done: reading up to readShare (compressing the image data takes most of a
    // conversion to PNG), then writing the rest.
    const int readShare = targetType == kImagePng ? 200 : 600;
    while (!WaitForBackground(helper, kConvertReportIntervalMs))
      report->step(report->context, (RowsFinalPermille(work) * readShare +
                                     WrittenPermille(work) * (1000 - readShare)) /
                                        1000);
    JoinBackground(helper);
  }
  EndScheduler(work);
  return ConvertResult(run.outcome);
}
