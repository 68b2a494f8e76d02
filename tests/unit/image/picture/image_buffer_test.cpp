// ImageBuffer record operations.
#include "image/picture/image_buffer.h"

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
  // width x height x 4 beyond size_t fails instead of allocating a smaller block.
  EXPECT_EQ(ImagePixelBytes(INT32_MAX, INT32_MAX), 0u);
  EXPECT_EQ(ImagePixelBytes(65536, 65536), 0u);
  ImageBuffer image;
  InitImageBuffer(&image);
  image.width = INT32_MAX;
  image.height = INT32_MAX;
  EXPECT_EQ(AllocImagePixels(&image), 0);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(ImagePixelBytes(3, 2), 24u);
}

TEST(ImageBuffer, NeverLargerThanTheBuildsLimit) {
  // 1 GiB in a 32-bit build, 4 GiB in a 64-bit one; and never beyond the memory there is.
  const bool wide = sizeof(void*) == 8;
  const struct {
    int32_t w, h;
    bool fits;
  } cases[] = {{16384, 16384, true},  {16384, 16385, wide},  {32768, 32768, wide},
               {32768, 32769, false}, {65500, 65500, false}, {1, 1, true}};
  for (const auto& c : cases) {
    const uint64_t bytes = static_cast<uint64_t>(c.w) * static_cast<uint64_t>(c.h) * 4;
    EXPECT_EQ(static_cast<uint64_t>(ImagePixelBytes(c.w, c.h)), c.fits ? bytes : 0u)
        << c.w << "x" << c.h;
    if (!c.fits) {
      EXPECT_EQ(ImagePixelsAffordable(c.w, c.h), 0) << c.w << "x" << c.h;
    }
  }
  EXPECT_GT(ImageMemoryBudget(), 0u);
  EXPECT_LE(static_cast<uint64_t>(ImageMemoryBudget()), kMaxPixelBytes);
  EXPECT_EQ(ImagePixelsAffordable(64, 64), 1);
}

} // namespace
