#include "image/png/png_codec.h"

#include "image/picture/file_signature.h"
#include "image/picture/recovery_point.h"
#include "image/png/png_data_floor.h"
#include "image/png/png_direct.h"
#include "image/png/png_widen.h"
#include "image/work/row_relay.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include <png.h>

// Memory: each decoded row goes through a small ring to a second thread that widens it into
// the ImageBuffer, so decoding overlaps storing and no row table beside the ImageBuffer is
// needed (interlaced rows decode into the tail of their own ImageBuffer row and are widened
// in place).

namespace {

// Where the decoded rows go: the file's top row (index 0) is ImageBuffer row h - 1.
struct RowTarget {
  unsigned char* pixels;
  size_t width;
  size_t height;
  size_t offset;   // where a row's samples start when decoded into the row's own tail
  size_t samples;  // per pixel after libpng's transformations: 1 gray .. 4 RGBA
  Scheduler* work; // hears of each row as it becomes final
};

void StoreDecodedRow(void* context, size_t index, const unsigned char* row) {
  const RowTarget& t = *static_cast<const RowTarget*>(context);
  WidenPngRow(t.pixels + (t.height - 1 - index) * t.width * 4, row, t.width, t.samples);
  PublishRows(t.work, index + 1, t.height);
}

// One reading: the library's structures, the file, and what the reading leaves for the end.
struct PngReading {
  png_structp png;
  png_infop info;
  FILE* file;
  ImageBuffer* image;
  RowTarget target;
  RowRelay* relay; // a relay started, ended by DecodePng
};

// Everything that may raise a libpng error; DecodePng ends the relay, releases the structures
// and closes the file whether this returns or libpng jumps back.
ImageResult ReadImageData(void* context) {
  PngReading& reading = *static_cast<PngReading*>(context);
  png_structp const png = reading.png;
  png_infop const info = reading.info;
  FILE* const file = reading.file;
  ImageBuffer* const image = reading.image;
  RowTarget* const target = &reading.target;
  png_init_io(png, file);
  // The chunk CRCs already guard every byte of the image data; zlib's own Adler-32 over the
  // inflated rows costs a fourteenth of the reading time and is skipped, as web browsers do.
#ifdef PNG_IGNORE_ADLER32
  png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
  png_read_info(png, info);

  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
  // libpng accepts only 1 .. 2^31 - 1 (and its user limits), so both fit int32_t.
  image->width = static_cast<int32_t>(width);
  image->height = static_cast<int32_t>(height);
  // A header may promise far more rows than the image data could ever inflate to; such a file
  // is refused before anything is sized by it.
  if (PngDataCanHold(file, PngFilteredBytes(width, height, bitDepth, colorType,
                                            png_get_interlace_type(png, info))) == 0)
    return kImageDamaged;
  // Every colour type and depth becomes 8-bit gray, gray with alpha, RGB or RGBA: low depths
  // and palettes are expanded, 16 bits scaled with rounding, and a tRNS chunk (a palette
  // entry's alpha, or the key colour of a gray or RGB picture) becomes alpha. An index beyond
  // the palette expands to opaque black.
  if (bitDepth < 8)
    png_set_packing(png);
  if (colorType == PNG_COLOR_TYPE_PALETTE || bitDepth < 8)
    png_set_expand(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS) != 0)
    png_set_tRNS_to_alpha(png);
  if (bitDepth == 16)
    png_set_scale_16(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const size_t samples = png_get_channels(png, info);
  if (png_get_bit_depth(png, info) != 8 || samples < 1 || samples > 4)
    return kImageUnsupported;
  // Counted as the writers read it: a palette picture is in colour (3, or 4 with alpha).
  image->channels = static_cast<int32_t>(samples);

  const ImageResult block = AllocPixelBlock(image);
  if (block != kImageOk)
    return block;
  const size_t w = width;
  const size_t h = height;
  const size_t rowBytes = w * 4; // fits: AllocPixelBlock checked w x h x 4
  if (png_get_rowbytes(png, info) != w * samples)
    return kImageUnsupported;
  target->pixels = image->pixels;
  target->width = w;
  target->height = h;
  target->offset = rowBytes - w * samples;
  target->samples = samples;
  PublishRows(target->work, 0, h);

  // The commonest files bypass libpng's rows (see png_direct.h).
  if (bitDepth == 8 && (colorType == PNG_COLOR_TYPE_RGB || colorType == PNG_COLOR_TYPE_RGB_ALPHA) &&
      passes <= 1 && png_get_valid(png, info, PNG_INFO_tRNS) == 0)
    return ReadPngRowsDirectly(file, w, h, samples, image->pixels, target->work);

  if (passes <= 1)
    reading.relay = StartRowRelay(target->work, w * samples, StoreDecodedRow, target);
  if (reading.relay != nullptr) {
    for (size_t i = 0; i < h; ++i) {
      png_read_row(png, NextRowRoom(reading.relay), nullptr);
      PassRow(reading.relay);
    }
  } else {
    // Interlaced (every pass combines into the same rows), or no second thread: rows are
    // decoded into the tail of their own ImageBuffer row and widened in place.
    for (int pass = 0; pass < passes; ++pass)
      for (size_t i = 0; i < h; ++i)
        png_read_row(png, image->pixels + (h - 1 - i) * rowBytes + target->offset, nullptr);
    for (size_t r = 0; r < h; ++r)
      WidenPngRow(image->pixels + r * rowBytes, image->pixels + r * rowBytes + target->offset, w,
                  samples);
  }
  // png_read_end is not called: nothing after the image data is read.
  return kImageOk;
}

} // namespace

int IsPngFile(const char* path) {
  unsigned char signature[8];
  return ReadLeadingBytes(path, signature, 8) && png_sig_cmp(signature, 0, 8) == 0 ? 1 : 0;
}

ImageResult DecodePng(const char* path, ImageBuffer* image, Scheduler* work) {
  if (IsPngFile(path) == 0)
    return kImageCannotOpen;
  FILE* const file = fopen(path, "rb");
  if (file == nullptr)
    return kImageCannotOpen;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  ImageResult result = kImageNoMemory;
  if (info != nullptr) {
    PngReading reading;
    memset(&reading, 0, sizeof reading);
    reading.png = png;
    reading.info = info;
    reading.file = file;
    reading.image = image;
    reading.target.work = work;
    result = RunWithRecoveryPoint(&png_jmpbuf(png), ReadImageData, &reading, kImageDamaged);
    // The storing thread finishes before the picture can be freed by a caller.
    EndRowRelay(reading.relay);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  fclose(file);
  return result;
}

int ReadPng(const char* path, ImageBuffer* image) {
  CallScheduler call;
  return image != nullptr ? CodecResult(DecodePng(path, image, call.work)) : 0;
}
