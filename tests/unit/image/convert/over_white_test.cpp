// Pictures with alpha become JPEG and BMP files laid over white, as ImageMagick lays them;
// PNG targets keep their alpha.
#include "image/convert/convert_image.h"
#include "image/png/png_codec.h"
#include "tests/unit/image/image_test_support.h"

#include <gtest/gtest.h>

using namespace imgtest;

namespace {

// Squares of 16 x 16 pixels, each of one colour and one alpha: every alpha from transparent to
// opaque against colours from black to white, so a JPEG target keeps each square's value.
void FillSquares(Image* image, int channels) {
  const int side = 16, across = 8, down = 6;
  image->b.width = side * across;
  image->b.height = side * down;
  image->b.channels = channels;
  ASSERT_EQ(AllocImagePixels(&image->b), 1);
  const unsigned char alphas[across] = {0, 1, 40, 100, 128, 200, 254, 255};
  const unsigned char colours[down][3] = {{0, 0, 0},     {255, 255, 255}, {255, 0, 255},
                                          {10, 200, 90}, {128, 64, 32},   {77, 77, 77}};
  for (int row = 0; row < image->b.height; ++row)
    for (int x = 0; x < image->b.width; ++x) {
      unsigned char* p = image->At(x, row);
      const unsigned char* c = colours[row / side];
      for (int k = 0; k < 3; ++k)
        p[k] = channels == 2 ? c[1] : c[k];
      p[3] = alphas[x / side];
    }
}

TEST(OverWhite, JpegAndBmpTargetsAreLaidOverWhiteLikeImageMagickDoes) {
  QUILLET_REQUIRE_IMAGEMAGICK();
  TempDir dir;
  for (int channels : {4, 2}) {
    Image picture;
    FillSquares(&picture, channels);
    const std::string source = dir.File("logo.png");
    ASSERT_EQ(WritePng(source.c_str(), &picture.b), 1);
    // ImageMagick's own flattening of the same file is the reference.
    const std::string flat = dir.File("flat.png");
    ASSERT_EQ(RunShell("convert " + QuotePath(source) + " -background white -flatten -alpha off " +
                       Quote("PNG24:" + ToolPath(flat)) + " 2>/dev/null"),
              0);
    Decoded expected;
    ASSERT_TRUE(MagickDecode(flat, &expected));
    for (int target : {kImageBmp, kImageJpeg}) {
      SCOPED_TRACE("channels " + std::to_string(channels) + " to " +
                   (target == kImageBmp ? "BMP" : "JPEG"));
      const std::string out = dir.File(target == kImageBmp ? "logo.bmp" : "logo.jpg");
      ASSERT_EQ(ConvertImage(source.c_str(), out.c_str(), kImagePng, target, 100), 0);
      Decoded written;
      ASSERT_TRUE(MagickDecode(out, &written));
      ASSERT_EQ(written.width, expected.width);
      ASSERT_EQ(written.height, expected.height);
      // A BMP holds the values exactly (ImageMagick may round the other way); a JPEG at
      // quality 100 of flat squares stays within a few steps inside each square (at their
      // edges the colour is smoothed with the neighbour's).
      const int tolerance = target == kImageBmp ? 1 : 6;
      const int edge = target == kImageBmp ? 0 : 3;
      int worst = 0;
      for (int y = 0; y < written.height; ++y)
        for (int x = 0; x < written.width; ++x) {
          if (x % 16 < edge || x % 16 >= 16 - edge || y % 16 < edge || y % 16 >= 16 - edge)
            continue;
          const size_t i = 4 * (static_cast<size_t>(y) * written.width + x);
          for (int k = 0; k < 3; ++k)
            worst = std::max(worst, std::abs(written.rgba[i + k] - expected.rgba[i + k]));
        }
      EXPECT_LE(worst, tolerance);
      // A transparent pixel is white, whatever colour lies under it.
      const size_t corner = 4 * (static_cast<size_t>(written.width) * 8 + 8); // square 0, 0
      for (int k = 0; k < 3; ++k)
        EXPECT_GE(written.rgba[corner + k], 255 - tolerance);
    }
  }
}

TEST(OverWhite, PngTargetsKeepTheirAlpha) {
  TempDir dir;
  Image picture;
  FillSquares(&picture, 4);
  const std::string source = dir.File("logo.bmp.png");
  ASSERT_EQ(WritePng(source.c_str(), &picture.b), 1);
  const std::string out = dir.File("copy.png");
  ASSERT_EQ(ConvertImage(source.c_str(), out.c_str(), kImagePng, kImagePng, 80), 0);
  Image back;
  ASSERT_EQ(ReadPng(out.c_str(), &back.b), 1);
  EXPECT_EQ(back.b.channels, 4);
  EXPECT_TRUE(SameImage(picture.b, back.b));
}

} // namespace
