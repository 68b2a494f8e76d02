// Pictures whose headers claim more than the memory a picture may take: every reader refuses
// them before allocating anything for them, and the conversion reports an unreadable source.
#include "image/bmp/bmp_codec.h"
#include "image/convert/convert_image.h"
#include "image/jpeg/jpeg_codec.h"
#include "image/png/png_codec.h"
#include "tests/unit/image/image_test_support.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>

using namespace imgtest;

namespace {

void PutBE(Bytes* b, size_t at, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i)
    (*b)[at + i] = static_cast<unsigned char>(v >> (8 * (bytes - 1 - i)));
}

// A small real file of the type with its header's size changed to w x h; a JPEG claiming
// another size is also cut short a little after its scan header, as a damaged download would
// be.
Bytes Claiming(int type, const std::string& scratch, uint32_t w, uint32_t h) {
  Image small;
  FillPicture(&small, 16, 16, 3);
  if (type == kImageBmp) {
    EXPECT_EQ(WriteBmp(scratch.c_str(), &small.b), 1);
    Bytes f = ReadFile(scratch);
    for (int i = 0; i < 4; ++i) {
      f[18 + i] = static_cast<unsigned char>(w >> (8 * i));
      f[22 + i] = static_cast<unsigned char>(h >> (8 * i));
    }
    return f;
  }
  if (type == kImagePng) {
    EXPECT_EQ(WritePng(scratch.c_str(), &small.b), 1);
    Bytes f = ReadFile(scratch);
    PutBE(&f, 16, w, 4); // IHDR data follows the signature, length and type
    PutBE(&f, 20, h, 4);
    const uint32_t crc = static_cast<uint32_t>(crc32(0, f.data() + 12, 17));
    PutBE(&f, 29, crc, 4);
    return f;
  }
  EXPECT_EQ(WriteJpeg(scratch.c_str(), &small.b, 90), 1);
  Bytes f = ReadFile(scratch);
  for (size_t i = 2; i + 9 < f.size(); ++i)
    if (f[i] == 0xFF && f[i + 1] == 0xC0) { // SOF0: length, precision, height, width
      PutBE(&f, i + 5, h, 2);
      PutBE(&f, i + 7, w, 2);
    } else if (f[i] == 0xFF && f[i + 1] == 0xDA && (w != 16 || h != 16)) { // SOS
      f.resize(std::min(f.size(), i + 60));
      break;
    }
  return f;
}

int Read(int type, const std::string& path, ImageBuffer* image) {
  return type == kImageBmp   ? ReadBmp(path.c_str(), image)
         : type == kImagePng ? ReadPng(path.c_str(), image)
                             : ReadJpeg(path.c_str(), image);
}

TEST(HugePicture, EveryReaderRefusesItBeforeAllocating) {
  const char* const ext[] = {".bmp", ".png", ".jpg"};
  const uint32_t sizes[][2] = {{65500, 65500}, {32769, 32768}, {16, 16}};
  TempDir dir;
  for (int type = 0; type < 3; ++type)
    for (const auto& size : sizes) {
      const std::string what =
          ext[type] + std::string(" ") + std::to_string(size[0]) + "x" + std::to_string(size[1]);
      const std::string path = dir.File(std::string("huge") + ext[type]);
      WriteFile(path, Claiming(type, dir.File(std::string("small") + ext[type]), size[0], size[1]));
      Image image;
      const bool readable = size[0] == 16; // the same bytes at their real size read
      EXPECT_EQ(Read(type, path, &image.b), readable ? 1 : 0) << what;
      if (readable)
        continue;
      EXPECT_EQ(image.b.pixels, nullptr) << what;
      const std::string target = dir.File("out.bmp");
      EXPECT_EQ(ConvertImage(path.c_str(), target.c_str(), type, kImageBmp, 80), 1) << what;
      EXPECT_FALSE(Exists(target)) << what;
    }
}

TEST(HugePicture, TheJpegLibraryStaysWithinTheBudgetToo) {
  // A progressive CMYK file of 32000 x 32000 fits the largest pixel block of a 64-bit build,
  // but the library's whole-picture coefficients would take twice that.
  QUILLET_REQUIRE_IMAGEMAGICK();
  TempDir dir;
  const std::string path = dir.File("progressive.jpg");
  ASSERT_EQ(RunShell("convert -size 16x16 xc:red -colorspace CMYK -interlace JPEG "
                     "-sampling-factor 1x1 " +
                     QuotePath(path)),
            0);
  Bytes f = ReadFile(path);
  bool patched = false;
  for (size_t i = 2; i + 9 < f.size() && !patched; ++i)
    if (f[i] == 0xFF && f[i + 1] == 0xC2) {
      PutBE(&f, i + 5, 32000, 2);
      PutBE(&f, i + 7, 32000, 2);
      patched = true;
    }
  ASSERT_TRUE(patched);
  // Padded with application segments to as many bytes as 16 million blocks take at a bit
  // each, so that it is the library's budget that refuses it, not the file's length.
  Bytes padding;
  for (int i = 0; i < 33; ++i) {
    padding.insert(padding.end(), {0xFF, 0xEF, 0xFF, 0xFF});
    padding.insert(padding.end(), 65533, 0);
  }
  f.insert(f.begin() + 2, padding.begin(), padding.end());
  WriteFile(path, f);
  Image image;
  EXPECT_EQ(ReadJpeg(path.c_str(), &image.b), 0);
  EXPECT_EQ(image.b.pixels, nullptr);
}

} // namespace
