#include "image/png_codec.h"

#include "image/file_signature.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <png.h>
#include <zlib.h>

// Memory: the reader decodes each PNG row straight into the tail of its ImageBuffer row and
// widens it in place to 4 bytes per pixel, so no row table beside the ImageBuffer is needed
// (interlaced images too: every pass combines into the same rows). The writer packs one row
// at a time into a single row buffer (RGBA rows go to libpng straight from the ImageBuffer).
// The files read and written are the same as with a whole-picture row table.

// The work that may end in a library longjmp runs in a frame of its own, never inlined into
// the function that holds the recovery point, so none of its variables can be clobbered.
#if defined(__GNUC__) || defined(__clang__)
#define QUILLET_NOINLINE __attribute__((noinline))
#else
#define QUILLET_NOINLINE
#endif

namespace {

// ----- reader

// Widens row (w pixels, PNG samples starting at byte offset) in place to R, G, B, A.
// Going left to right, pixel x is read before its 4 output bytes are written, and those
// never reach the samples of pixels not read yet (4x + 3 < offset + (x + 1) x samples).
void WidenGray(unsigned char* row, size_t width) {
  const unsigned char* s = row + width * 3;
  for (size_t x = 0; x < width; ++x, row += 4) {
    const unsigned char v = s[x];
    row[0] = v;
    row[1] = v;
    row[2] = v;
    row[3] = 255;
  }
}

void WidenRgb(unsigned char* row, size_t width) {
  const unsigned char* s = row + width;
  for (size_t x = 0; x < width; ++x, s += 3, row += 4) {
    const unsigned char r = s[0], g = s[1], b = s[2];
    row[0] = r;
    row[1] = g;
    row[2] = b;
    row[3] = 255;
  }
}

void WidenPalette(unsigned char* row, size_t width, const unsigned char (*table)[4]) {
  const unsigned char* s = row + width * 3;
  for (size_t x = 0; x < width; ++x, row += 4) {
    const unsigned char p = s[x];
    memcpy(row, table[p], 4);
  }
}

void WidenGrayAlpha(unsigned char* row, size_t width) {
  const unsigned char* s = row + width * 2;
  for (size_t x = 0; x < width; ++x, s += 2, row += 4) {
    const unsigned char v = s[0], a = s[1];
    row[0] = v;
    row[1] = v;
    row[2] = v;
    row[3] = a;
  }
}

// Widens rows [first, first + count) of the picture; one loop per colour type.
void WidenRows(unsigned char* pixels, size_t width, size_t first, size_t count, int colorType,
               const unsigned char (*table)[4]) {
  const size_t rowBytes = width * 4;
  unsigned char* row = pixels + first * rowBytes;
  switch (colorType) {
  case PNG_COLOR_TYPE_GRAY:
    for (size_t i = 0; i < count; ++i, row += rowBytes)
      WidenGray(row, width);
    break;
  case PNG_COLOR_TYPE_RGB:
    for (size_t i = 0; i < count; ++i, row += rowBytes)
      WidenRgb(row, width);
    break;
  case PNG_COLOR_TYPE_PALETTE:
    for (size_t i = 0; i < count; ++i, row += rowBytes)
      WidenPalette(row, width, table);
    break;
  case PNG_COLOR_TYPE_GRAY_ALPHA:
    for (size_t i = 0; i < count; ++i, row += rowBytes)
      WidenGrayAlpha(row, width);
    break;
  default:
    break; // RGBA rows are already R, G, B, A
  }
}

// Everything that may raise a libpng error; the caller releases the structures and closes
// the file whether this returns or libpng jumps back.
QUILLET_NOINLINE int DecodePng(png_structp png, png_infop info, FILE* file, ImageBuffer* image) {
  png_init_io(png, file);
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

  // Palette lookup table of 256 entries R, G, B, 255. An index beyond the file's palette
  // never reads outside it: such a pixel is opaque black.
  unsigned char table[256][4];
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
  const size_t offset = rowBytes - w * samples;

  // The row order is reversed: the file's top row (i = 0) is ImageBuffer row h - 1.
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (passes <= 1) {
    for (size_t i = 0; i < h; ++i) {
      const size_t r = h - 1 - i;
      png_read_row(png, image->pixels + r * rowBytes + offset, nullptr);
      WidenRows(image->pixels, w, r, 1, colorType, table);
    }
  } else {
    for (int pass = 0; pass < passes; ++pass)
      for (size_t i = 0; i < h; ++i)
        png_read_row(png, image->pixels + (h - 1 - i) * rowBytes + offset, nullptr);
    WidenRows(image->pixels, w, 0, h, colorType, table);
  }
  // png_read_end is not called: nothing after the image data is read.
  return 1;
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
  // Recovery point for libpng errors. file, png and info are set before it and not changed
  // until they are released; everything else lives in DecodePng's frame or in image.
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(file);
    return 0;
  }
  const int result = DecodePng(png, info, file, image);
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
