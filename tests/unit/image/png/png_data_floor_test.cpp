// PNG headers that promise more rows than their image data could inflate to are refused
// before anything is sized by them; real pictures near deflate's best ratio still read.
#include "image/convert/convert_image.h"
#include "image/png/png_codec.h"
#include "image/png/png_data_floor.h"
#include "tests/unit/image/image_test_support.h"

#include <gtest/gtest.h>
#include <zlib.h>

using namespace imgtest;

namespace {

void PutBE32(Bytes* b, uint32_t v) {
  for (int i = 3; i >= 0; --i)
    b->push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void PutChunk(Bytes* f, const char* type, const Bytes& data) {
  PutBE32(f, static_cast<uint32_t>(data.size()));
  const size_t start = f->size();
  f->insert(f->end(), type, type + 4);
  f->insert(f->end(), data.begin(), data.end());
  PutBE32(f,
          static_cast<uint32_t>(crc32(0, f->data() + start, static_cast<uInt>(data.size() + 4))));
}

// An 8-bit RGB PNG of one colour, its rows filtered "up" after the first (all zero bytes, the
// best deflate can do), compressed with zlib at level 9 into IDAT chunks of 64 KB, or only
// the first rows' worth when short.
Bytes FlatPng(uint32_t width, uint32_t height, bool shortData = false) {
  Bytes f = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
  Bytes ihdr;
  PutBE32(&ihdr, width);
  PutBE32(&ihdr, height);
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
  PutChunk(&f, "IHDR", ihdr);

  z_stream z = {};
  EXPECT_EQ(deflateInit(&z, 9), Z_OK);
  Bytes row(1 + static_cast<size_t>(width) * 3);
  Bytes out(1 << 16);
  const uint32_t rows = shortData ? 2 : height;
  for (uint32_t y = 0; y <= rows; ++y) {
    if (y < rows) {
      if (y == 0) {
        row[0] = 0;
        for (uint32_t x = 0; x < width; ++x) {
          row[1 + x * 3] = 200;
          row[2 + x * 3] = 100;
          row[3 + x * 3] = 50;
        }
      } else {
        std::fill(row.begin(), row.end(), 0);
        row[0] = 2;
      }
    }
    z.next_in = row.data();
    z.avail_in = y < rows ? static_cast<uInt>(row.size()) : 0;
    const int flush = y < rows ? Z_NO_FLUSH : Z_FINISH;
    int status = Z_OK;
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      status = deflate(&z, flush);
      const size_t n = out.size() - z.avail_out;
      if (n > 0)
        PutChunk(&f, "IDAT", Bytes(out.begin(), out.begin() + n));
    } while (z.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
  }
  deflateEnd(&z);
  PutChunk(&f, "IEND", {});
  return f;
}

// Filtered bytes counted pixel by pixel: which Adam7 pass each pixel falls in.
uint64_t CountedFilteredBytes(uint32_t w, uint32_t h, int bitsPerPixel, bool interlaced) {
  if (!interlaced)
    return h * (1 + (static_cast<uint64_t>(w) * bitsPerPixel + 7) / 8);
  static const int kPassOf[8][8] = {{0, 5, 3, 5, 1, 5, 3, 5}, {6, 6, 6, 6, 6, 6, 6, 6},
                                    {4, 5, 4, 5, 4, 5, 4, 5}, {6, 6, 6, 6, 6, 6, 6, 6},
                                    {2, 5, 3, 5, 2, 5, 3, 5}, {6, 6, 6, 6, 6, 6, 6, 6},
                                    {4, 5, 4, 5, 4, 5, 4, 5}, {6, 6, 6, 6, 6, 6, 6, 6}};
  uint64_t total = 0;
  for (int pass = 0; pass < 7; ++pass) {
    for (uint32_t y = 0; y < h; ++y) {
      uint64_t cols = 0;
      for (uint32_t x = 0; x < w; ++x)
        cols += kPassOf[y % 8][x % 8] == pass;
      if (cols > 0)
        total += 1 + (cols * bitsPerPixel + 7) / 8;
    }
  }
  return total;
}

TEST(PngDataFloor, FilteredBytesOfEveryLayout) {
  const int types[][3] = {{0, 1, 1},   {0, 8, 8},  {2, 8, 24}, {3, 4, 4},
                          {4, 16, 32}, {6, 8, 32}, {6, 16, 64}};
  const uint32_t sizes[][2] = {{1, 1}, {3, 2}, {8, 8}, {9, 17}, {33, 5}};
  for (const auto& t : types)
    for (const auto& s : sizes)
      for (int interlaced = 0; interlaced <= 1; ++interlaced)
        EXPECT_EQ(PngFilteredBytes(s[0], s[1], t[1], t[0], interlaced),
                  CountedFilteredBytes(s[0], s[1], t[2], interlaced != 0))
            << "type " << t[0] << " depth " << t[1] << " " << s[0] << "x" << s[1] << " interlaced "
            << interlaced;
  EXPECT_EQ(PngFilteredBytes(0x7FFFFFFF, 0x7FFFFFFF, 16, 6, 0), UINT64_MAX);
}

TEST(PngDataFloor, AGiantHeaderOverAFewBytesIsRefusedAtOnce) {
  TempDir dir;
  const Bytes giant = FlatPng(20000, 20000, true);
  ASSERT_LT(giant.size(), 300u);
  const std::string path = dir.File("giant.png");
  WriteFile(path, giant);
  Image image;
  EXPECT_EQ(ReadPng(path.c_str(), &image.b), 0);
  EXPECT_EQ(image.b.pixels, nullptr) << "refused before the pixel block";
  EXPECT_EQ(ConvertImage(path.c_str(), dir.File("giant.bmp").c_str(), kImagePng, kImageBmp, 80), 1);
  EXPECT_FALSE(Exists(dir.File("giant.bmp")));
  EXPECT_EQ(ReadFile(path), giant);
}

// zlib at its best on all-zero rows comes within a fifth of the bound.
TEST(PngDataFloor, AFlatPictureNearTheBestRatioConverts) {
  TempDir dir;
  const Bytes flat = FlatPng(4096, 4096);
  const uint64_t filtered = 4096ull * (1 + 4096 * 3);
  EXPECT_LT(flat.size(), filtered / 800) << "not near the bound, so no test of it";
  const std::string path = dir.File("flat.png");
  WriteFile(path, flat);
  ASSERT_EQ(ConvertImage(path.c_str(), dir.File("flat.bmp").c_str(), kImagePng, kImageBmp, 80), 0);
  Image image;
  ASSERT_EQ(ReadPng(path.c_str(), &image.b), 1);
  EXPECT_EQ(image.At(4095, 0)[0], 200);
  EXPECT_EQ(image.At(0, 4095)[2], 50);
}

// 1.6 GB in memory and half a minute of work: when asked for with QUILLET_BIG_PICTURES=1.
TEST(PngDataFloor, AFlatGiantStillReads) {
  if (std::getenv("QUILLET_BIG_PICTURES") == nullptr)
    GTEST_SKIP() << "set QUILLET_BIG_PICTURES=1 to read a flat 20000 x 20000 picture";
  if (ImagePixelsAffordable(20000, 20000) == 0 || ImagePixelBytes(20000, 20000) == 0)
    GTEST_SKIP() << "not enough memory for a 20000 x 20000 picture";
  TempDir dir;
  const std::string path = dir.File("flat.png");
  WriteFile(path, FlatPng(20000, 20000));
  Image image;
  ASSERT_EQ(ReadPng(path.c_str(), &image.b), 1);
  EXPECT_EQ(image.At(19999, 19999)[1], 100);
}

} // namespace
