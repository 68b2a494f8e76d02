#include "image/jpeg/jpeg_codec.h"

#include "base/file_offset.h"
#include "image/jpeg/jpeg_errors.h"
#include "image/jpeg/jpeg_guard.h"
#include "image/picture/file_signature.h"
#include "image/picture/orient_image.h"
#include "image/picture/recovery_point.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include <jerror.h>

namespace {

// The library's own whole-picture buffers (progressive and multi-scan files) stay within the
// memory a picture may take: beyond it the library fails instead of claiming memory that is
// not there.
void LimitReaderMemory(j_common_ptr cinfo) {
  size_t budget = ImageMemoryBudget();
#ifdef QUILLET_FUZZ_MAX_PIXEL_BYTES
  if (budget > static_cast<size_t>(QUILLET_FUZZ_MAX_PIXEL_BYTES))
    budget = static_cast<size_t>(QUILLET_FUZZ_MAX_PIXEL_BYTES);
#endif
  cinfo->mem->max_memory_to_use =
      budget > static_cast<size_t>(LONG_MAX) ? LONG_MAX : static_cast<long>(budget);
}

// ----- reader: one loop per component count, over all scanlines

// a x b / 255, rounded: the share of light that two inks let through.
inline unsigned char Through(unsigned a, unsigned b) {
  return static_cast<unsigned char>((a * b + 127) / 255);
}

// Reads all scanlines into image rows, the file's first scanline into the last row; false
// when the library gives none.
// Each case converts with the reader's mapping: 1 -> s0 s0 s0 255, 2 -> s0 s0 s0 s1,
// 3 -> s0 s1 s2 255, 4 (CMYK) -> R, G, B from the inks, opaque; other counts -> s0 s0 s0 255.
bool ReadScanlines(j_decompress_ptr cinfo, JSAMPARRAY buffer, ImageBuffer* image) {
  const size_t width = cinfo->output_width;
  const size_t height = cinfo->output_height;
  const size_t rowBytes = width * 4;
  const size_t step = static_cast<size_t>(cinfo->output_components);
  int mapping =
      cinfo->output_components >= 1 && cinfo->output_components <= 4 ? cinfo->output_components : 0;
  // Files with an Adobe marker (as the usual editors write them, and every YCCK file) store
  // each ink inverted, 255 meaning none; others store the ink itself.
  if (mapping == 4 && cinfo->saw_Adobe_marker)
    mapping = 5;
#define QUILLET_EACH_SCANLINE(PIXEL)                                                               \
  while (cinfo->output_scanline < cinfo->output_height) {                                          \
    const size_t n = cinfo->output_scanline;                                                       \
    if (jpeg_read_scanlines(cinfo, buffer, 1) != 1)                                                \
      return false;                                                                                \
    const JSAMPLE* s = buffer[0];                                                                  \
    unsigned char* d = image->pixels + (height - 1 - n) * rowBytes;                                \
    for (size_t x = 0; x < width; ++x, s += step, d += 4) {                                        \
      PIXEL                                                                                        \
    }                                                                                              \
  }
  switch (mapping) {
  case 1:
    QUILLET_EACH_SCANLINE(d[0] = s[0]; d[1] = s[0]; d[2] = s[0]; d[3] = 255;) break;
  case 2:
    QUILLET_EACH_SCANLINE(d[0] = s[0]; d[1] = s[0]; d[2] = s[0]; d[3] = s[1];) break;
  case 3:
    QUILLET_EACH_SCANLINE(d[0] = s[0]; d[1] = s[1]; d[2] = s[2]; d[3] = 255;) break;
  case 4:
    QUILLET_EACH_SCANLINE(d[0] = Through(255u - s[0], 255u - s[3]);
                          d[1] = Through(255u - s[1], 255u - s[3]);
                          d[2] = Through(255u - s[2], 255u - s[3]); d[3] = 255;)
    break;
  case 5:
    QUILLET_EACH_SCANLINE(d[0] = Through(s[0], s[3]); d[1] = Through(s[1], s[3]);
                          d[2] = Through(s[2], s[3]); d[3] = 255;)
    break;
  default:
    QUILLET_EACH_SCANLINE(d[0] = s[0]; d[1] = s[0]; d[2] = s[0]; d[3] = 255;) break;
  }
#undef QUILLET_EACH_SCANLINE
  return true;
}

// Colour rows decoded kTurnRows at a time and put straight into their upright places: the picture
// is turned without a second block.
const int kTurnRows = 16;
ImageResult DecodeTurned(j_decompress_ptr cinfo, ImageBuffer* image, int orientation) {
  const size_t w = cinfo->output_width, h = cinfo->output_height;
  JSAMPARRAY rows = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                cinfo->output_width * 4, kTurnRows);
  while (cinfo->output_scanline < cinfo->output_height) {
    const size_t first = cinfo->output_scanline;
    size_t count = 0;
    while (count < kTurnRows && cinfo->output_scanline < cinfo->output_height) {
      const JDIMENSION got = jpeg_read_scanlines(cinfo, rows + count, kTurnRows - count);
      if (got == 0)
        return kImageDamaged;
      count += got;
    }
    PlaceTurnedRows(image, rows, first, count, w, h, orientation);
  }
  return kImageOk;
}

// One reading: the library's object, the file and what it is read into.
struct JpegReading {
  j_decompress_ptr cinfo;
  FILE* file;
  ImageBuffer* image;
  JpegGuard* guard;
  int orientation;
  Scheduler* work;
};

// Everything that may raise a library error; DecodeJpeg destroys the object and closes the
// file whether this returns or the error manager jumps back.
ImageResult ReadScans(void* context) {
  const JpegReading& reading = *static_cast<const JpegReading*>(context);
  j_decompress_ptr const cinfo = reading.cinfo;
  FILE* const file = reading.file;
  ImageBuffer* const image = reading.image;
  const int orientation = reading.orientation;
  jpeg_create_decompress(cinfo);
  GuardJpegDecoder(cinfo, reading.guard);
  LimitReaderMemory(reinterpret_cast<j_common_ptr>(cinfo));
  const int64_t fileBytes = FileLength(file);
  jpeg_stdio_src(cinfo, file);
  jpeg_read_header(cinfo, TRUE);
  // A header may promise far more blocks than the few bytes behind it could ever code; such
  // a file is refused before the library or the reader sizes anything by it.
  if (JpegDataCanHold(cinfo, fileBytes) == 0)
    return kImageDamaged;
  // A few bytes may claim a picture far beyond the memory there is: refused before the
  // library sizes its buffers by it (the output has the header's size).
  if (ImagePixelsAffordable(static_cast<int32_t>(cinfo->image_width),
                            static_cast<int32_t>(cinfo->image_height)) == 0)
    return kImageTooLarge;

  // Colour files (delivered as RGB by default) go straight into the ImageBuffer's rows as
  // R, G, B, 255 through libjpeg-turbo's RGBA output: the same samples as the default RGB
  // output, without a row buffer and a widening pass. Other files use the default output.
  bool direct = false;
#ifdef JCS_EXTENSIONS
  if (cinfo->out_color_space == JCS_RGB) {
    cinfo->out_color_space = JCS_EXT_RGBA;
    direct = true;
  }
#endif
  jpeg_start_decompress(cinfo);

  // output_width and output_height are at most JPEG_MAX_DIMENSION, so they fit int32_t;
  // AllocPixelBlock refuses a block whose size does not fit size_t.
  image->width = static_cast<int32_t>(cinfo->output_width);
  image->height = static_cast<int32_t>(cinfo->output_height);
  const bool turnHere = direct && orientation >= 2 && orientation <= 8;
  if (turnHere && TurnsQuarter(orientation)) {
    image->width = static_cast<int32_t>(cinfo->output_height);
    image->height = static_cast<int32_t>(cinfo->output_width);
  }
  // CMYK and YCCK files (delivered as CMYK) are read as colour; K never becomes alpha.
  image->channels = direct || cinfo->output_components == 4 ? 3 : cinfo->output_components;
  const ImageResult block = AllocPixelBlock(image);
  if (block != kImageOk)
    return block;
  if (turnHere) {
    const ImageResult turned = DecodeTurned(cinfo, image, orientation);
    if (turned == kImageOk)
      jpeg_finish_decompress(cinfo);
    return turned;
  }
  PublishRows(reading.work, 0, cinfo->output_height);

  if (direct) {
    const size_t rowBytes = static_cast<size_t>(cinfo->output_width) * 4;
    const size_t height = cinfo->output_height;
    while (cinfo->output_scanline < cinfo->output_height) {
      JSAMPROW row = image->pixels + (height - 1 - cinfo->output_scanline) * rowBytes;
      if (jpeg_read_scanlines(cinfo, &row, 1) != 1)
        return kImageDamaged;
      PublishRows(reading.work, cinfo->output_scanline, height);
    }
    jpeg_finish_decompress(cinfo);
    return kImageOk;
  }

  JSAMPARRAY buffer = (*cinfo->mem->alloc_sarray)(
      reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
      cinfo->output_width * static_cast<JDIMENSION>(cinfo->output_components), 1);
  if (!ReadScanlines(cinfo, buffer, image))
    return kImageDamaged;
  jpeg_finish_decompress(cinfo);
  return TurnUpright(image, orientation, reading.work);
}

} // namespace

int IsJpegFile(const char* path) {
  unsigned char b[2];
  return ReadLeadingBytes(path, b, 2) && b[0] == 0xFF && b[1] == 0xD8 ? 1 : 0;
}

ImageResult DecodeJpeg(const char* path, ImageBuffer* image, int orientation, Scheduler* work) {
  if (IsJpegFile(path) == 0)
    return kImageCannotOpen;
  FILE* const file = fopen(path, "rb");
  if (file == nullptr)
    return kImageCannotOpen;

  jpeg_decompress_struct cinfo;
  JpegErrorManager manager;
  memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = ReturningErrors(&manager);
  // A damaged or hostile file is refused through the same way back as a fatal error.
  JpegGuard guard;
  guard.jump = &manager.jump;
  JpegReading reading = {&cinfo, file, image, &guard, orientation, work};
  ImageResult result = RunWithRecoveryPoint(&manager.jump, ReadScans, &reading, kImageDamaged);
  // The library's own buffers may take no more than the memory a picture may take.
  if (result == kImageDamaged && manager.pub.msg_code == JERR_OUT_OF_MEMORY)
    result = kImageTooLarge;
  jpeg_destroy_decompress(&cinfo);
  fclose(file);
  return result;
}

int ReadJpeg(const char* path, ImageBuffer* image) {
  return image != nullptr ? CodecResult(DecodeJpeg(path, image, 1, nullptr)) : 0;
}
