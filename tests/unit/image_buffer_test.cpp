// ImageBuffer record operations.
#include "image/image_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(ImageBuffer, InitGivesTheEmptyState) {
  ImageBuffer image;
  image.pixels = reinterpret_cast<unsigned char*>(&image);
  image.width = image.height = image.channels = 9;
  InitImageBuffer(&image);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(image.width, 0);
  EXPECT_EQ(image.height, 0);
  EXPECT_EQ(image.channels, 3);
  InitImageBuffer(nullptr); // ignored
}

TEST(ImageBuffer, AllocatesZeroFilledBlock) {
  ImageBuffer image;
  InitImageBuffer(&image);
  image.width = 5;
  image.height = 3;
  ASSERT_EQ(AllocImagePixels(&image), 1);
  ASSERT_NE(image.pixels, nullptr);
  for (int i = 0; i < 5 * 3 * 4; ++i)
    EXPECT_EQ(image.pixels[i], 0);
  image.pixels[0] = 7;
  ASSERT_EQ(AllocImagePixels(&image), 1); // replaces the block
  EXPECT_EQ(image.pixels[0], 0);
  FreeImagePixels(&image);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(image.width, 5);
  EXPECT_EQ(image.height, 3);
  FreeImagePixels(&image); // twice is harmless
  FreeImagePixels(nullptr);
  EXPECT_EQ(AllocImagePixels(nullptr), 0);
}

TEST(ImageBuffer, NonPositiveDimensionsReleaseAndFail) {
  const int32_t sizes[][2] = {{0, 1}, {1, 0}, {-1, 5}, {5, -1}, {0, 0}, {INT32_MIN, 2}};
  for (const auto& s : sizes) {
    ImageBuffer image;
    InitImageBuffer(&image);
    image.width = 2;
    image.height = 2;
    ASSERT_EQ(AllocImagePixels(&image), 1);
    image.width = s[0];
    image.height = s[1];
    EXPECT_EQ(AllocImagePixels(&image), 0);
    EXPECT_EQ(image.pixels, nullptr);
  }
}

TEST(ImageBuffer, RefusesSizesThatOverflow) {
  // width x height x 4 beyond size_t fails instead of allocating a smaller block. With 64-bit
  // size_t every int32 size fits (and a huge one fails in the allocator); with 32 bits
  // anything of 4 GB or more overflows.
  if (sizeof(size_t) == 4) {
    EXPECT_EQ(ImagePixelBytes(INT32_MAX, INT32_MAX), 0u);
    EXPECT_EQ(ImagePixelBytes(65536, 16384), 0u);
    EXPECT_EQ(ImagePixelBytes(16384, 65535), static_cast<size_t>(16384) * 65535 * 4);
  } else {
    EXPECT_EQ(static_cast<uint64_t>(ImagePixelBytes(INT32_MAX, INT32_MAX)),
              static_cast<uint64_t>(INT32_MAX) * INT32_MAX * 4);
  }
  ImageBuffer image;
  InitImageBuffer(&image);
  image.width = INT32_MAX;
  image.height = INT32_MAX;
  EXPECT_EQ(AllocImagePixels(&image), 0);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(ImagePixelBytes(3, 2), 24u);
}

} // namespace
