#include "image/png_codec.h"

#include "image/file_signature.h"
#include "image/no_inline.h"
#include "image/row_relay.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <png.h>
#include <zlib.h>

// Memory: the reader hands each decoded PNG row through a small ring to a second thread that
// widens it into the ImageBuffer, so decoding overlaps storing and no row table beside the
// ImageBuffer is needed (interlaced rows decode into the tail of their own ImageBuffer row
// and are widened in place). The writer packs one row at a time into a single row buffer
// (RGBA rows go to libpng straight from the ImageBuffer). The files read and written are
// the same as with a whole-picture row table.

namespace {

// ----- reader

// Widens one row of width PNG pixels at src to R, G, B, A at dst. src may lie in the tail of
// dst's own row: going left to right, pixel x is read before its 4 output bytes are
// written, and those never reach the samples of pixels not read yet.
void WidenGray(unsigned char* dst, const unsigned char* src, size_t width) {
  for (size_t x = 0; x < width; ++x, dst += 4) {
    const unsigned char v = src[x];
    dst[0] = v;
    dst[1] = v;
    dst[2] = v;
    dst[3] = 255;
  }
}

void WidenRgb(unsigned char* dst, const unsigned char* src, size_t width) {
  for (size_t x = 0; x < width; ++x, src += 3, dst += 4) {
    const unsigned char r = src[0], g = src[1], b = src[2];
    dst[0] = r;
    dst[1] = g;
    dst[2] = b;
    dst[3] = 255;
  }
}

void WidenPalette(unsigned char* dst, const unsigned char* src, size_t width,
                  const unsigned char (*table)[4]) {
  for (size_t x = 0; x < width; ++x, dst += 4) {
    const unsigned char p = src[x];
    memcpy(dst, table[p], 4);
  }
}

void WidenGrayAlpha(unsigned char* dst, const unsigned char* src, size_t width) {
  for (size_t x = 0; x < width; ++x, src += 2, dst += 4) {
    const unsigned char v = src[0], a = src[1];
    dst[0] = v;
    dst[1] = v;
    dst[2] = v;
    dst[3] = a;
  }
}

// Where the decoded rows go: the file's top row (index 0) is ImageBuffer row h - 1.
struct RowTarget {
  unsigned char* pixels;
  size_t width;
  size_t height;
  size_t offset; // where a row's samples start when decoded into the row's own tail
  int colorType;
  unsigned char table[256][4]; // palette lookup: R, G, B, 255
};

void WidenRow(const RowTarget& t, size_t row, const unsigned char* src) {
  unsigned char* const dst = t.pixels + row * t.width * 4;
  switch (t.colorType) {
  case PNG_COLOR_TYPE_GRAY:
    WidenGray(dst, src, t.width);
    break;
  case PNG_COLOR_TYPE_RGB:
    WidenRgb(dst, src, t.width);
    break;
  case PNG_COLOR_TYPE_PALETTE:
    WidenPalette(dst, src, t.width, t.table);
    break;
  case PNG_COLOR_TYPE_GRAY_ALPHA:
    WidenGrayAlpha(dst, src, t.width);
    break;
  default:
    if (dst != src)
      memcpy(dst, src, t.width * 4); // RGBA rows are already R, G, B, A
    break;
  }
}

void StoreDecodedRow(void* context, size_t index, const unsigned char* row) {
  const RowTarget& t = *static_cast<const RowTarget*>(context);
  WidenRow(t, t.height - 1 - index, row);
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
  if (bitDepth != 8)
    return 0;

  size_t samples = 0;
  switch (colorType) {
  case PNG_COLOR_TYPE_GRAY:
    image->channels = 1, samples = 1;
    break;
  case PNG_COLOR_TYPE_RGB:
    image->channels = 3, samples = 3;
    break;
  // A palette image is in colour: counted as one channel, the writers would turn it gray.
  case PNG_COLOR_TYPE_PALETTE:
    image->channels = 3, samples = 1;
    break;
  case PNG_COLOR_TYPE_GRAY_ALPHA:
    image->channels = 2, samples = 2;
    break;
  case PNG_COLOR_TYPE_RGB_ALPHA:
    image->channels = 4, samples = 4;
    break;
  default:
    return 0;
  }

  // An index beyond the file's palette never reads outside it: such a pixel is opaque black.
  unsigned char(*table)[4] = target->table;
  for (int i = 0; i < 256; ++i) {
    table[i][0] = table[i][1] = table[i][2] = 0;
    table[i][3] = 255;
  }
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    png_colorp palette = nullptr;
    int entries = 0;
    if (png_get_PLTE(png, info, &palette, &entries) == 0 || palette == nullptr)
      return 0;
    if (entries > 256)
      entries = 256;
    for (int i = 0; i < entries; ++i) {
      table[i][0] = palette[i].red;
      table[i][1] = palette[i].green;
      table[i][2] = palette[i].blue;
    }
  }

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
  target->colorType = colorType;

  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (passes <= 1)
    *relay = StartRowRelay(w * samples, StoreDecodedRow, target);
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
      WidenRow(*target, r, image->pixels + r * rowBytes + target->offset);
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

// ----- writer

QUILLET_NOINLINE int EncodePng(png_structp png, png_infop info, FILE* file, const char* path,
                               const ImageBuffer* image, int colorType, unsigned char* row) {
  png_init_io(png, file);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
  png_set_compression_level(png, 9);
  // zlib's largest hash memory (level 8 is libpng's default) gives slightly smaller output at
  // about the same speed; IDAT chunks of 32 KB instead of 8 KB save 12 bytes per 8 KB of data.
  // (zlib's default strategy would shrink photos by another 1 % but is up to 15 % slower here
  // than libpng's Z_FILTERED, which is kept.)
  png_set_compression_strategy(png, Z_FILTERED);
  png_set_compression_mem_level(png, 9);
  png_set_compression_buffer_size(png, 32768);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image->width),
               static_cast<png_uint_32>(image->height), 8, colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_set_gAMA(png, info, 1.0 / 2.2); // stored as 45455

  png_time modified;
  png_convert_from_time_t(&modified, time(nullptr)); // UTC
  png_set_tIME(png, info, &modified);

  png_text title;
  memset(&title, 0, sizeof title);
  title.compression = PNG_TEXT_COMPRESSION_NONE;
  title.key = const_cast<png_charp>("Title");
  title.text = const_cast<png_charp>(path); // the target path, bytes unchanged
  title.text_length = strlen(path);
  png_set_text(png, info, &title, 1);

  png_write_info(png, info);

  // The ImageBuffer's last row is the file's first; one loop per colour type.
  const size_t w = static_cast<size_t>(image->width);
  const size_t h = static_cast<size_t>(image->height);
  const size_t rowBytes = w * 4;
  const unsigned char* const pixels = image->pixels;
  switch (colorType) {
  case PNG_COLOR_TYPE_RGB_ALPHA:
    for (size_t i = 0; i < h; ++i)
      png_write_row(png, pixels + (h - 1 - i) * rowBytes);
    break;
  case PNG_COLOR_TYPE_RGB:
    for (size_t i = 0; i < h; ++i) {
      const unsigned char* s = pixels + (h - 1 - i) * rowBytes;
      unsigned char* d = row;
      for (size_t x = 0; x < w; ++x, s += 4, d += 3) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
      }
      png_write_row(png, row);
    }
    break;
  case PNG_COLOR_TYPE_GRAY:
    for (size_t i = 0; i < h; ++i) {
      const unsigned char* s = pixels + (h - 1 - i) * rowBytes;
      for (size_t x = 0; x < w; ++x, s += 4)
        row[x] = s[0];
      png_write_row(png, row);
    }
    break;
  case PNG_COLOR_TYPE_GRAY_ALPHA:
    for (size_t i = 0; i < h; ++i) {
      const unsigned char* s = pixels + (h - 1 - i) * rowBytes;
      unsigned char* d = row;
      for (size_t x = 0; x < w; ++x, s += 4, d += 2) {
        d[0] = s[0];
        d[1] = s[3];
      }
      png_write_row(png, row);
    }
    break;
  default:
    return 0;
  }
  png_write_end(png, info);
  return 1;
}

} // namespace

int IsPngFile(const char* path) {
  unsigned char signature[8];
  return ReadLeadingBytes(path, signature, 8) && png_sig_cmp(signature, 0, 8) == 0 ? 1 : 0;
}

int ReadPng(const char* path, ImageBuffer* image) {
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
  RowRelay* relay = nullptr;
  const int result = DecodePngGuarded(png, info, file, image, &target, &relay);
  // The storing thread finishes before the picture can be freed by a caller.
  EndRowRelay(relay);
  png_destroy_read_struct(&png, &info, nullptr);
  fclose(file);
  return result;
}

int WritePng(const char* path, const ImageBuffer* image) {
  if (path == nullptr || image == nullptr || image->pixels == nullptr ||
      ImagePixelBytes(image->width, image->height) == 0)
    return 0;
  int colorType = PNG_COLOR_TYPE_RGB;
  size_t samples = 3;
  switch (image->channels) {
  case 1:
    colorType = PNG_COLOR_TYPE_GRAY, samples = 1;
    break;
  case 2:
    colorType = PNG_COLOR_TYPE_GRAY_ALPHA, samples = 2;
    break;
  case 4:
    colorType = PNG_COLOR_TYPE_RGB_ALPHA, samples = 4;
    break;
  default:
    colorType = PNG_COLOR_TYPE_RGB, samples = 3;
    break;
  }

  FILE* const file = fopen(path, "wb");
  if (file == nullptr)
    return 0;
  // One packed row (w x samples fits: ImagePixelBytes checked w x h x 4). RGBA rows need none.
  unsigned char* const row =
      samples == 4
          ? nullptr
          : static_cast<unsigned char*>(calloc(static_cast<size_t>(image->width), samples));
  if (samples != 4 && row == nullptr) {
    fclose(file);
    return 0;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) {
    free(row);
    fclose(file);
    return 0;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    free(row);
    fclose(file);
    return 0;
  }
  // Recovery point for libpng errors (e.g. a failed write, a refused header value). file, row,
  // png and info are set before it and not changed until they are released.
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    free(row);
    fclose(file);
    return 0;
  }
  int result = EncodePng(png, info, file, path, image, colorType, row);
  png_destroy_write_struct(&png, &info);
  free(row);
  if (fclose(file) != 0)
    result = 0;
  return result;
}
