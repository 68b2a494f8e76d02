#include "image/png_codec.h"

#include "image/no_inline.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <png.h>
#include <zlib.h>

// Memory: one row buffer packs each row (RGBA rows go to libpng straight from the
// ImageBuffer), so no second picture-sized copy is made.

namespace {

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

int WritePng(const char* path, const ImageBuffer* image) {
  return WritePngTitled(path, path, image);
}

int WritePngTitled(const char* path, const char* title, const ImageBuffer* image) {
  if (path == nullptr || title == nullptr || image == nullptr || image->pixels == nullptr ||
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
  int result = EncodePng(png, info, file, title, image, colorType, row);
  png_destroy_write_struct(&png, &info);
  free(row);
  if (fclose(file) != 0)
    result = 0;
  return result;
}
