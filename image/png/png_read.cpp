#include "image/png/png_codec.h"

#include "image/picture/file_signature.h"
#include "image/picture/no_inline.h"
#include "image/picture/row_progress.h"
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
  size_t offset;  // where a row's samples start when decoded into the row's own tail
  size_t samples; // per pixel after libpng's transformations: 1 gray .. 4 RGBA
  RowProgress* progress;
};

void StoreDecodedRow(void* context, size_t index, const unsigned char* row) {
  const RowTarget& t = *static_cast<const RowTarget*>(context);
  WidenPngRow(t.pixels + (t.height - 1 - index) * t.width * 4, row, t.width, t.samples);
  ShowRowsFromTop(t.progress, index + 1);
}

// Everything that may raise a libpng error; ReadPng ends the relay, releases the structures
// and closes the file whether this returns or libpng jumps back. A relay started here is
// left in *relay, and its target in *target.
QUILLET_NOINLINE int DecodePng(png_structp png, png_infop info, FILE* file, ImageBuffer* image,
                               RowTarget* target, RowRelay** relay) {
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
    return 0;
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
    return 0;
  // Counted as the writers read it: a palette picture is in colour (3, or 4 with alpha).
  image->channels = static_cast<int32_t>(samples);

  if (AllocImagePixels(image) == 0)
    return 0;
  const size_t w = width;
  const size_t h = height;
  const size_t rowBytes = w * 4; // fits: AllocImagePixels checked w x h x 4
  if (png_get_rowbytes(png, info) != w * samples)
    return 0;
  target->pixels = image->pixels;
  target->width = w;
  target->height = h;
  target->offset = rowBytes - w * samples;
  target->samples = samples;
  ShowPicture(target->progress, image);

  // The commonest files bypass libpng's rows (see png_direct.h).
  if (bitDepth == 8 && (colorType == PNG_COLOR_TYPE_RGB || colorType == PNG_COLOR_TYPE_RGB_ALPHA) &&
      passes <= 1 && png_get_valid(png, info, PNG_INFO_tRNS) == 0)
    return ReadPngRowsDirectly(file, w, h, samples, image->pixels, target->progress);

  if (passes <= 1)
    *relay = StartRowRelay(w * samples, StoreDecodedRow, target, DoSpareWork, target->progress);
  if (*relay != nullptr) {
    for (size_t i = 0; i < h; ++i) {
      png_read_row(png, NextRowSlot(*relay), nullptr);
      PassRow(*relay);
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
  return 1;
}

// The recovery point for libpng errors, in a frame of its own: nothing here changes after
// setjmp, and what DecodePng leaves for the caller lies in the caller's frame.
QUILLET_NOINLINE int DecodePngGuarded(png_structp png, png_infop info, FILE* file,
                                      ImageBuffer* image, RowTarget* target, RowRelay** relay) {
  if (setjmp(png_jmpbuf(png)) != 0)
    return 0;
  return DecodePng(png, info, file, image, target, relay);
}

} // namespace

int IsPngFile(const char* path) {
  unsigned char signature[8];
  return ReadLeadingBytes(path, signature, 8) && png_sig_cmp(signature, 0, 8) == 0 ? 1 : 0;
}

int ReadPng(const char* path, ImageBuffer* image, RowProgress* progress) {
  if (image == nullptr || IsPngFile(path) == 0)
    return 0;
  FILE* const file = fopen(path, "rb");
  if (file == nullptr)
    return 0;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) {
    fclose(file);
    return 0;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    fclose(file);
    return 0;
  }
  RowTarget target;
  memset(&target, 0, sizeof target);
  target.progress = progress;
  RowRelay* relay = nullptr;
  const int result = DecodePngGuarded(png, info, file, image, &target, &relay);
  // The storing thread finishes before the picture can be freed by a caller.
  EndRowRelay(relay);
  png_destroy_read_struct(&png, &info, nullptr);
  fclose(file);
  return result;
}
