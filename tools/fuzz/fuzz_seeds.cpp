// Writes small seed files for the fuzz targets:
// fuzz_seeds <bmp-dir> <png-dir> <jpeg-dir> <zlib-dir>.
// Besides pictures from the writers, hand-made BMPs of every kind the reader decodes (run
// lengths, masks, OS/2 and V5 headers, top-down), CMYK and YCCK JPEGs, and zlib streams of
// every block kind for the inflater.
#include "image/bmp_codec.h"
#include "image/image_buffer.h"
#include "image/jpeg_codec.h"
#include "image/png_codec.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <zlib.h>

namespace {

using Bytes = std::vector<unsigned char>;

void Put(Bytes* b, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i)
    b->push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xFF));
}

struct BmpSeed {
  const char* name;
  uint32_t infoSize;
  int32_t width, height;
  unsigned bits;
  uint32_t compression;
  std::vector<uint32_t> masks; // in the header beyond 40 bytes, or after a 40-byte one
  int paletteEntries;
  Bytes data;
};

Bytes MakeBmp(const BmpSeed& s) {
  Bytes info;
  Put(&info, s.infoSize, 4);
  if (s.infoSize == 12) {
    Put(&info, static_cast<uint32_t>(s.width), 2), Put(&info, static_cast<uint32_t>(s.height), 2);
    Put(&info, 1, 2), Put(&info, s.bits, 2);
  } else {
    Put(&info, static_cast<uint32_t>(s.width), 4), Put(&info, static_cast<uint32_t>(s.height), 4);
    Put(&info, 1, 2), Put(&info, s.bits, 2), Put(&info, s.compression, 4);
    Put(&info, static_cast<uint32_t>(s.data.size()), 4), Put(&info, 2835, 4), Put(&info, 2835, 4);
    Put(&info, static_cast<uint32_t>(s.paletteEntries), 4), Put(&info, 0, 4);
    for (uint32_t m : s.masks)
      Put(&info, m, 4);
    if (info.size() < s.infoSize)
      info.resize(s.infoSize, 0);
  }
  const size_t entry = s.infoSize == 12 ? 3 : 4;
  for (int i = 0; i < s.paletteEntries; ++i)
    Put(&info, static_cast<uint32_t>(i * 0x3A5F17u) & 0xFFFFFFu, static_cast<int>(entry));
  Bytes file = {'B', 'M'};
  Put(&file, static_cast<uint32_t>(14 + info.size() + s.data.size()), 4);
  Put(&file, 0, 4);
  Put(&file, static_cast<uint32_t>(14 + info.size()), 4);
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), s.data.begin(), s.data.end());
  return file;
}

Bytes Pattern(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i)
    b[i] = static_cast<unsigned char>(i * 29 + 7);
  return b;
}

bool WriteBmpSeeds(const std::string& dir) {
  const uint32_t alpha32[] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
  const BmpSeed seeds[] = {
      {"rle8", 40, 6, 3, 8, 1, {}, 4, {2, 1, 0, 2, 2, 1, 1, 2, 0, 0, 0, 3, 1, 2, 1, 0, 0, 1}},
      {"rle4", 40, 6, 3, 4, 2, {}, 4, {5, 0x12, 0, 0, 0, 5, 0x12, 0x30, 0x10, 0,
                                       0, 0,    0, 2, 2, 0, 2,    0x33, 0,    1}},
      {"bitfields565", 40, 3, 2, 16, 3, {0xF800, 0x07E0, 0x001F}, 0, Pattern(16)},
      {"rgb555", 40, 3, 2, 16, 0, {}, 0, Pattern(16)},
      {"alphabitfields",
       40,
       2,
       2,
       32,
       6,
       {alpha32[0], alpha32[1], alpha32[2], alpha32[3]},
       0,
       Pattern(16)},
      {"v4-argb",
       108,
       2,
       2,
       32,
       3,
       {alpha32[0], alpha32[1], alpha32[2], alpha32[3]},
       0,
       Pattern(16)},
      {"v5-4444", 124, 2, 2, 16, 3, {0x0F00, 0x00F0, 0x000F, 0xF000}, 0, Pattern(8)},
      {"v5-pal8", 124, 3, 2, 8, 0, {}, 5, Pattern(8)},
      {"os2-pal4", 12, 5, 2, 4, 0, {}, 16, Pattern(8)},
      {"os2v2-pal8", 64, 3, 2, 8, 0, {}, 7, Pattern(8)},
      {"topdown24", 40, 3, -2, 24, 0, {}, 0, Pattern(24)},
      {"pal2", 40, 5, 2, 2, 0, {}, 4, Pattern(8)},
  };
  int failures = 0;
  for (const BmpSeed& s : seeds) {
    const Bytes file = MakeBmp(s);
    FILE* f = std::fopen((dir + "/hand-" + s.name + ".bmp").c_str(), "wb");
    failures += f == nullptr || std::fwrite(file.data(), 1, file.size(), f) != file.size();
    if (f != nullptr)
      std::fclose(f);
  }
  return failures == 0;
}

// A 9 x 5 four-component JPEG: CMYK with or without the Adobe marker, or YCCK.
bool WriteInkJpeg(const std::string& path, J_COLOR_SPACE space, bool adobe) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr)
    return false;
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, file);
  c.image_width = 9;
  c.image_height = 5;
  c.input_components = 4;
  c.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&c);
  jpeg_set_colorspace(&c, space);
  c.write_Adobe_marker = adobe ? TRUE : FALSE;
  jpeg_start_compress(&c, TRUE);
  Bytes row = Pattern(9 * 4);
  JSAMPROW rows[1] = {row.data()};
  while (c.next_scanline < c.image_height)
    jpeg_write_scanlines(&c, rows, 1);
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  return std::fclose(file) == 0;
}

// Stored, fixed and dynamic blocks, runs and literals only, over text and noise.
bool WriteZlibSeeds(const std::string& dir) {
  Bytes data(3000);
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<unsigned char>(i < 2000 ? "pixel rows "[i % 11] : (i * 7919) >> 3);
  const int kinds[][2] = {{0, Z_DEFAULT_STRATEGY},
                          {1, Z_FIXED},
                          {9, Z_DEFAULT_STRATEGY},
                          {6, Z_HUFFMAN_ONLY},
                          {6, Z_RLE}};
  bool ok = true;
  for (const auto& k : kinds) {
    Bytes out(data.size() * 2);
    uLongf length = out.size();
    z_stream z = {};
    deflateInit2(&z, k[0], Z_DEFLATED, 15, 8, k[1]);
    z.next_in = data.data();
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(length);
    ok = ok && deflate(&z, Z_FINISH) == Z_STREAM_END;
    length = z.total_out;
    deflateEnd(&z);
    const std::string name = dir + "/zlib-" + std::to_string(k[0]) + "-" + std::to_string(k[1]);
    FILE* file = std::fopen(name.c_str(), "wb");
    ok = ok && file != nullptr && std::fwrite(out.data(), 1, length, file) == length;
    if (file != nullptr)
      ok = std::fclose(file) == 0 && ok;
  }
  return ok;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: fuzz_seeds <bmp-dir> <png-dir> <jpeg-dir> <zlib-dir>\n");
    return 2;
  }
  const int sizes[][2] = {{1, 1}, {3, 2}, {9, 5}, {17, 16}};
  int failures = 0;
  for (int channels = 1; channels <= 4; ++channels)
    for (const auto& s : sizes) {
      ImageBuffer image;
      InitImageBuffer(&image);
      image.width = s[0];
      image.height = s[1];
      image.channels = channels;
      if (AllocImagePixels(&image) == 0)
        return 1;
      for (int i = 0; i < s[0] * s[1] * 4; ++i)
        image.pixels[i] = static_cast<unsigned char>(i * 37 + channels * 11);
      const std::string name = "/seed-" + std::to_string(channels) + "-" + std::to_string(s[0]) +
                               "x" + std::to_string(s[1]);
      if (channels == 3)
        failures += WriteBmp((argv[1] + name + ".bmp").c_str(), &image) != 1;
      failures += WritePng((argv[2] + name + ".png").c_str(), &image) != 1;
      failures += WriteJpeg((argv[3] + name + ".jpg").c_str(), &image, 50) != 1;
      FreeImagePixels(&image);
    }
  failures += !WriteBmpSeeds(argv[1]);
  const std::string jpeg = argv[3];
  failures += !WriteInkJpeg(jpeg + "/cmyk-adobe.jpg", JCS_CMYK, true);
  failures += !WriteInkJpeg(jpeg + "/cmyk-plain.jpg", JCS_CMYK, false);
  failures += !WriteInkJpeg(jpeg + "/ycck.jpg", JCS_YCCK, true);
  failures += !WriteZlibSeeds(argv[4]);
  return failures == 0 ? 0 : 1;
}
