// The conversion driver in every direction, with ImageMagick making the sources
// and decoding the targets.
#include "image/convert_image.h"

#include "image/bmp_codec.h"
#include "image/jpeg_codec.h"
#include "image/png_codec.h"
#include "tests/unit/image_test_support.h"

#include <gtest/gtest.h>

using namespace imgtest;

namespace {

const char* const kExt[] = {".bmp", ".png", ".jpg"};

// ImageMagick's output format prefix for a source of each type (24-bit BMP, PNG with or
// without alpha, JPEG at high quality).
std::string MagickTarget(int type, bool alpha, const std::string& path) {
  switch (type) {
  case kImageBmp:
    return "BMP3:" + path;
  case kImagePng:
    return (alpha ? "PNG32:" : "PNG24:") + path;
  default:
    return "JPEG:" + path;
  }
}

std::string MagickOptions(int type) {
  switch (type) {
  case kImageBmp:
    return "-alpha off";
  case kImageJpeg:
    return "-alpha off -quality 95";
  default:
    return "";
  }
}

// 0 .. span and back, without jumps.
int Triangle(int v, int span) {
  const int m = v % (2 * span);
  return m <= span ? m : 2 * span - m;
}

// Gently varying picture so that JPEG targets stay close to the source.
void FillGentle(Image* image, int w, int h, bool alpha) {
  image->b.width = w;
  image->b.height = h;
  image->b.channels = alpha ? 4 : 3;
  ASSERT_EQ(AllocImagePixels(&image->b), 1);
  for (int row = 0; row < h; ++row)
    for (int x = 0; x < w; ++x) {
      unsigned char* p = image->At(x, row);
      p[0] = static_cast<unsigned char>(60 + Triangle(x * 5, 120));
      p[1] = static_cast<unsigned char>(60 + Triangle(row * 7, 120));
      p[2] = static_cast<unsigned char>(100 + Triangle((x + row) * 3, 60));
      p[3] = alpha ? static_cast<unsigned char>(255 - (x * 13 + row) % 200) : 255;
    }
}

TEST(ConvertImage, EveryDirectionAndOddSizes) {
  QUILLET_REQUIRE_IMAGEMAGICK();
  TempDir dir;
  const int sizes[][2] = {{1, 1}, {2, 3}, {5, 1}, {7, 9}, {33, 4}};
  for (const auto& size : sizes)
    for (int alpha = 0; alpha <= 1; ++alpha)
      for (int from = 0; from < 3; ++from) {
        if (alpha && from != kImagePng)
          continue; // only PNG sources carry alpha
        Image picture;
        FillGentle(&picture, size[0], size[1], alpha != 0);
        const std::string source = dir.File(std::string("src") + kExt[from]);
        ASSERT_TRUE(MagickEncode(picture.b, dir.File("raw"), MagickTarget(from, alpha, source),
                                 MagickOptions(from)));
        Decoded want;
        ASSERT_TRUE(MagickDecode(source, &want));
        for (int to = 0; to < 3; ++to) {
          const std::string target = dir.File(std::string("dst") + kExt[to]);
          const std::string what = std::string(kExt[from]) + (alpha ? "(alpha)" : "") + " -> " +
                                   kExt[to] + " " + std::to_string(size[0]) + "x" +
                                   std::to_string(size[1]);
          ASSERT_EQ(ConvertImage(source.c_str(), target.c_str(), from, to, 100), 0) << what;
          Decoded got;
          ASSERT_TRUE(MagickDecode(target, &got)) << what;
          ASSERT_EQ(got.width, want.width) << what;
          ASSERT_EQ(got.height, want.height) << what;
          // Lossless targets keep every sample of the source as ImageMagick decodes it (alpha
          // only into PNG); a JPEG target is close.
          Image gotImage; // decoded target, bottom row first, to reuse SamePixels
          gotImage.b.width = got.width;
          gotImage.b.height = got.height;
          ASSERT_EQ(AllocImagePixels(&gotImage.b), 1);
          const size_t rowBytes = static_cast<size_t>(got.width) * 4;
          for (int r = 0; r < got.height; ++r)
            memcpy(gotImage.b.pixels + r * rowBytes,
                   got.rgba.data() + (got.height - 1 - r) * rowBytes, rowBytes);
          const unsigned mask = (alpha && to == kImagePng) ? 0xF : 0x7;
          const int tolerance = to == kImageJpeg ? 24 : 0;
          EXPECT_TRUE(SamePixels(gotImage.b, want, tolerance, mask)) << what;
          if (to == kImageJpeg) {
            // and what we wrote decodes in our reader exactly as in ImageMagick
            Image ours;
            ASSERT_EQ(ReadJpeg(target.c_str(), &ours.b), 1);
            EXPECT_TRUE(SamePixels(ours.b, got, 0, 0x7)) << what;
          }
        }
      }
}

TEST(ConvertImage, ConvertsAFileOntoItself) {
  TempDir dir;
  Image picture;
  FillGentle(&picture, 13, 6, false);
  for (int type = 0; type < 3; ++type) {
    const std::string path = dir.File(std::string("self") + kExt[type]);
    ASSERT_EQ(ConvertImage("/nonexistent", path.c_str(), 0, type, 90), 1);
    // make the file with the writers, then convert it onto itself
    int made = 0;
    switch (type) {
    case kImageBmp:
      made = WriteBmp(path.c_str(), &picture.b);
      break;
    case kImagePng:
      made = WritePng(path.c_str(), &picture.b);
      break;
    default:
      made = WriteJpeg(path.c_str(), &picture.b, 100);
      break;
    }
    ASSERT_EQ(made, 1);
    Image before;
    ASSERT_EQ(type == kImageBmp   ? ReadBmp(path.c_str(), &before.b)
              : type == kImagePng ? ReadPng(path.c_str(), &before.b)
                                  : ReadJpeg(path.c_str(), &before.b),
              1);
    ASSERT_EQ(ConvertImage(path.c_str(), path.c_str(), type, type, 100), 0) << kExt[type];
    Image after;
    ASSERT_EQ(type == kImageBmp   ? ReadBmp(path.c_str(), &after.b)
              : type == kImagePng ? ReadPng(path.c_str(), &after.b)
                                  : ReadJpeg(path.c_str(), &after.b),
              1);
    EXPECT_TRUE(SameImage(before.b, after.b, type == kImageJpeg ? 8 : 0)) << kExt[type];
  }
}

TEST(ConvertImage, ReadFailuresLeaveTheTargetAlone) {
  TempDir dir;
  Image picture;
  FillGentle(&picture, 4, 4, false);
  const std::string png = dir.File("picture.png");
  ASSERT_EQ(WritePng(png.c_str(), &picture.b), 1);
  const std::string pngNamedBmp = dir.File("picture.bmp");
  WriteFile(pngNamedBmp, ReadFile(png));
  const std::string target = dir.File("target.jpg");
  const int before = OpenFileCount();
  EXPECT_EQ(ConvertImage(dir.File("missing.png").c_str(), target.c_str(), 1, 2, 80), 1);
  EXPECT_EQ(ConvertImage(pngNamedBmp.c_str(), target.c_str(), 0, 2, 80), 1);
  EXPECT_EQ(ConvertImage(png.c_str(), target.c_str(), 2, 0, 80), 1) << "PNG read as JPEG";
  EXPECT_EQ(ConvertImage(png.c_str(), target.c_str(), 7, 0, 80), 1) << "unknown source type";
  EXPECT_FALSE(Exists(target));
  // an existing target stays as it was
  WriteFile(target, Bytes{1, 2, 3});
  EXPECT_EQ(ConvertImage(pngNamedBmp.c_str(), target.c_str(), 0, 2, 80), 1);
  EXPECT_EQ(ReadFile(target), (Bytes{1, 2, 3}));
  EXPECT_EQ(OpenFileCount(), before);
}

TEST(ConvertImage, WriteFailuresGiveTwo) {
  TempDir dir;
  Image picture;
  FillGentle(&picture, 4, 4, false);
  const std::string bmp = dir.File("p.bmp");
  ASSERT_EQ(WriteBmp(bmp.c_str(), &picture.b), 1);
  const int before = OpenFileCount();
  for (int type = 0; type < 3; ++type) {
    const std::string target = dir.File(std::string("no/folder/t") + kExt[type]);
    EXPECT_EQ(ConvertImage(bmp.c_str(), target.c_str(), 0, type, 80), 2) << kExt[type];
    if (Exists("/dev/full")) {
      EXPECT_EQ(ConvertImage(bmp.c_str(), "/dev/full", 0, type, 80), 2) << kExt[type];
    }
  }
  EXPECT_EQ(OpenFileCount(), before);
}

TEST(ConvertImage, UnknownTargetTypeWritesNothing) {
  TempDir dir;
  Image picture;
  FillGentle(&picture, 2, 2, false);
  const std::string bmp = dir.File("p.bmp");
  ASSERT_EQ(WriteBmp(bmp.c_str(), &picture.b), 1);
  EXPECT_EQ(ConvertImage(bmp.c_str(), dir.File("t.xyz").c_str(), 0, 3, 80), 0);
  EXPECT_EQ(ConvertImage(bmp.c_str(), dir.File("t.xyz").c_str(), 0, -1, 80), 0);
  EXPECT_FALSE(Exists(dir.File("t.xyz")));
}

} // namespace
