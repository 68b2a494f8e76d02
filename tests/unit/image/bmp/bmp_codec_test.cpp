// BMP reader and writer, checked against hand-made files and ImageMagick.
#include "image/bmp/bmp_codec.h"

#include "tests/unit/image/image_test_support.h"

#include <gtest/gtest.h>

using namespace imgtest;

namespace {

// A hand-made BMP. Pixel x of file row n (0 = bottom) is value(x, n): a palette index for
// 1, 4 and 8 bits, 0xRRGGBB for 24 and 32 bits.
struct BmpSpec {
  int bits = 24;
  int32_t width = 1;
  int32_t height = 1;
  uint32_t compression = 0;
  uint32_t infoSize = 40;   // a larger info header pads with zeros before the table/rows
  int paletteEntries = -1;  // colour table entries written (-1: the full 2^bits)
  int32_t offBitsExtra = 0; // bytes between the table and the rows
  uint32_t (*value)(int x, int n) = nullptr;
};

uint32_t DefaultValue(int x, int n) { return static_cast<uint32_t>(x * 7 + n * 13); }

uint32_t PaletteColour(int i) {
  // entry 1 stored blue, green, red: 0x10, 0x20, 0x30
  return (static_cast<uint32_t>((0x30 + i * 3) & 0xFF) << 16) |
         (static_cast<uint32_t>((0x20 + i * 5) & 0xFF) << 8) | ((0x10 + i * 11) & 0xFF);
}

size_t Stride(int bits, int width) { return ((static_cast<size_t>(bits) * width + 31) / 32) * 4; }

Bytes MakeBmp(const BmpSpec& s) {
  const int entries = s.bits <= 8 ? (s.paletteEntries >= 0 ? s.paletteEntries : 1 << s.bits) : 0;
  const uint32_t offBits = 14 + s.infoSize + entries * 4 + s.offBitsExtra;
  const size_t stride = Stride(s.bits, s.width < 0 ? -s.width : s.width);
  Bytes b;
  b.push_back('B');
  b.push_back('M');
  PutU32(&b, static_cast<uint32_t>(offBits + stride * (s.height < 0 ? -s.height : s.height)));
  PutU16(&b, 0);
  PutU16(&b, 0);
  PutU32(&b, offBits);
  PutU32(&b, s.infoSize);
  PutU32(&b, static_cast<uint32_t>(s.width));
  PutU32(&b, static_cast<uint32_t>(s.height));
  PutU16(&b, 1);
  PutU16(&b, static_cast<unsigned>(s.bits));
  PutU32(&b, s.compression);
  PutU32(&b, 0);
  PutU32(&b, 2835);
  PutU32(&b, 2835);
  PutU32(&b, static_cast<uint32_t>(entries));
  PutU32(&b, 0);
  b.resize(14 + s.infoSize, 0);
  for (int i = 0; i < entries; ++i)
    PutU32(&b, PaletteColour(i));
  b.resize(offBits, 0xEE);
  auto value = s.value != nullptr ? s.value : DefaultValue;
  const int rows = s.height < 0 ? -s.height : s.height;
  for (int n = 0; n < rows; ++n) {
    Bytes row(stride, 0xA5); // padding holds junk the reader must ignore
    for (int x = 0; x < s.width; ++x) {
      const uint32_t v = value(x, n);
      switch (s.bits) {
      case 1: {
        const unsigned bit = 7 - (x % 8);
        row[x / 8] = static_cast<unsigned char>((row[x / 8] & ~(1u << bit)) | ((v & 1u) << bit));
        break;
      }
      case 4: {
        const unsigned shift = (x % 2 == 0) ? 4 : 0;
        row[x / 2] =
            static_cast<unsigned char>((row[x / 2] & ~(0xFu << shift)) | ((v & 0xFu) << shift));
        break;
      }
      case 8:
        row[x] = static_cast<unsigned char>(v & 0xFF);
        break;
      case 24:
      case 32: {
        unsigned char* p = &row[static_cast<size_t>(x) * (s.bits / 8)];
        p[0] = static_cast<unsigned char>(v & 0xFF);
        p[1] = static_cast<unsigned char>((v >> 8) & 0xFF);
        p[2] = static_cast<unsigned char>((v >> 16) & 0xFF);
        if (s.bits == 32)
          p[3] = 0x7B; // never reaches the image
        break;
      }
      default:
        break;
      }
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

// The pixel the reader must produce for value v.
void Expected(int bits, uint32_t v, unsigned char out[4]) {
  uint32_t bgr = bits <= 8 ? PaletteColour(static_cast<int>(v & ((1u << bits) - 1))) : v;
  out[0] = static_cast<unsigned char>((bgr >> 16) & 0xFF);
  out[1] = static_cast<unsigned char>((bgr >> 8) & 0xFF);
  out[2] = static_cast<unsigned char>(bgr & 0xFF);
  out[3] = 255;
}

::testing::AssertionResult ReadsAsSpecified(const BmpSpec& s, const std::string& path) {
  Image image;
  if (ReadBmp(path.c_str(), &image.b) != 1)
    return ::testing::AssertionFailure() << "ReadBmp failed";
  if (image.b.width != s.width || image.b.height != s.height || image.b.channels != 3)
    return ::testing::AssertionFailure() << "header fields";
  auto value = s.value != nullptr ? s.value : DefaultValue;
  for (int n = 0; n < s.height; ++n)
    for (int x = 0; x < s.width; ++x) {
      unsigned char want[4];
      Expected(s.bits, value(x, n), want);
      if (memcmp(image.At(x, n), want, 4) != 0)
        return ::testing::AssertionFailure() << "pixel " << x << ", row " << n;
    }
  return ::testing::AssertionSuccess();
}

TEST(BmpCodec, SignatureTest) {
  TempDir dir;
  WriteFile(dir.File("bm"), Bytes{'B', 'M'});
  WriteFile(dir.File("b"), Bytes{'B'});
  WriteFile(dir.File("empty"), Bytes{});
  WriteFile(dir.File("png"), Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10});
  EXPECT_EQ(IsBmpFile(dir.File("bm").c_str()), 1);
  EXPECT_EQ(IsBmpFile(dir.File("b").c_str()), 0);
  EXPECT_EQ(IsBmpFile(dir.File("empty").c_str()), 0);
  EXPECT_EQ(IsBmpFile(dir.File("png").c_str()), 0);
  EXPECT_EQ(IsBmpFile(dir.File("missing").c_str()), 0);
  EXPECT_EQ(IsBmpFile(nullptr), 0);
}

TEST(BmpCodec, ReadsEveryDepthAndWidth) {
  TempDir dir;
  const int widths[] = {1, 2, 3, 4, 5, 7, 8, 9, 15, 31, 32, 33, 34};
  for (int bits : {1, 4, 8, 24, 32})
    for (int w : widths) {
      BmpSpec s;
      s.bits = bits;
      s.width = w;
      s.height = 3;
      const std::string path =
          dir.File("d" + std::to_string(bits) + "w" + std::to_string(w) + ".bmp");
      WriteFile(path, MakeBmp(s));
      EXPECT_TRUE(ReadsAsSpecified(s, path)) << bits << " bits, width " << w;
    }
}

TEST(BmpCodec, RowStridesOfTheSpecExamples) {
  EXPECT_EQ(Stride(1, 33), 8u);
  EXPECT_EQ(Stride(1, 7), 4u);
  EXPECT_EQ(Stride(4, 7), 4u);
  EXPECT_EQ(Stride(4, 9), 8u);
  // A 1-bit, 33-pixel file is exactly offBits + 8 bytes per row long and reads fully.
  TempDir dir;
  BmpSpec s;
  s.bits = 1;
  s.width = 33;
  s.height = 2;
  s.value = [](int x, int n) { return static_cast<uint32_t>((x * 3 + n) % 5 == 0); };
  const Bytes file = MakeBmp(s);
  EXPECT_EQ(file.size(), 54u + 8u + 2u * 8u);
  WriteFile(dir.File("a.bmp"), file);
  EXPECT_TRUE(ReadsAsSpecified(s, dir.File("a.bmp")));
}

TEST(BmpCodec, PaletteEntryColoursAndOpaqueAlpha) {
  TempDir dir;
  BmpSpec s;
  s.bits = 8;
  s.value = [](int, int) { return 0u; };
  Bytes file = MakeBmp(s);
  // entry 0: blue 0x10, green 0x20, red 0x30
  file[54] = 0x10;
  file[55] = 0x20;
  file[56] = 0x30;
  file[57] = 0x99;
  WriteFile(dir.File("p.bmp"), file);
  Image image;
  ASSERT_EQ(ReadBmp(dir.File("p.bmp").c_str(), &image.b), 1);
  EXPECT_EQ(image.At(0, 0)[0], 0x30);
  EXPECT_EQ(image.At(0, 0)[1], 0x20);
  EXPECT_EQ(image.At(0, 0)[2], 0x10);
  EXPECT_EQ(image.At(0, 0)[3], 255);
}

TEST(BmpCodec, ShortColourTableNeedsTheFullTableBytes) {
  TempDir dir;
  for (int bits : {1, 4, 8}) {
    const int full = 1 << bits;
    // A small table, but enough pixel bytes behind it to cover the full table: reads fine.
    BmpSpec s;
    s.bits = bits;
    s.width = 64;
    s.height = 40;
    s.paletteEntries = 2;
    s.value = [](int x, int n) { return static_cast<uint32_t>((x + n) & 1); };
    const std::string ok = dir.File("ok" + std::to_string(bits) + ".bmp");
    WriteFile(ok, MakeBmp(s));
    EXPECT_TRUE(ReadsAsSpecified(s, ok)) << bits;

    // A file that ends before offset 54 + 4 x 2^bits fails.
    BmpSpec t;
    t.bits = bits;
    t.width = 1;
    t.height = 1;
    t.paletteEntries = 0;
    Bytes file = MakeBmp(t);
    ASSERT_LT(file.size(), 54u + 4u * full);
    const std::string bad = dir.File("short" + std::to_string(bits) + ".bmp");
    WriteFile(bad, file);
    Image image;
    EXPECT_EQ(ReadBmp(bad.c_str(), &image.b), 0) << bits;
  }
}

TEST(BmpCodec, LargerInfoHeaderAt24And32Bits) {
  TempDir dir;
  for (int bits : {24, 32}) {
    BmpSpec s;
    s.bits = bits;
    s.width = 5;
    s.height = 4;
    s.infoSize = 124; // BITMAPV5HEADER
    const std::string path = dir.File("v5_" + std::to_string(bits) + ".bmp");
    WriteFile(path, MakeBmp(s));
    EXPECT_TRUE(ReadsAsSpecified(s, path)) << bits;
  }
}

TEST(BmpCodec, RefusedFiles) {
  TempDir dir;
  int i = 0;
  auto refused = [&](const Bytes& file) {
    const std::string path = dir.File("r" + std::to_string(++i) + ".bmp");
    WriteFile(path, file);
    const int before = OpenFileCount();
    Image image;
    const int result = ReadBmp(path.c_str(), &image.b);
    EXPECT_EQ(OpenFileCount(), before);
    return result == 0;
  };
  BmpSpec s;
  s.width = 3;
  s.height = 2;
  {
    BmpSpec t = s;
    t.bits = 8;
    t.compression = 1;
    t.height = -2;
    EXPECT_TRUE(refused(MakeBmp(t))) << "top-down run lengths";
  }
  {
    BmpSpec t = s;
    t.height = 0;
    EXPECT_TRUE(refused(MakeBmp(t))) << "height 0";
  }
  {
    BmpSpec t = s;
    t.width = 0;
    EXPECT_TRUE(refused(MakeBmp(t))) << "width 0";
  }
  {
    BmpSpec t = s;
    t.width = -3;
    EXPECT_TRUE(refused(MakeBmp(t))) << "negative width";
  }
  {
    BmpSpec t = s;
    t.bits = 12;
    EXPECT_TRUE(refused(MakeBmp(t))) << "12 bits";
  }
  {
    BmpSpec t = s;
    t.bits = 4;
    t.compression = 1;
    EXPECT_TRUE(refused(MakeBmp(t))) << "RLE8 at 4 bits";
  }
  {
    BmpSpec t = s;
    t.compression = 3;
    EXPECT_TRUE(refused(MakeBmp(t))) << "bit fields at 24 bits";
  }
  {
    Bytes file = MakeBmp(s);
    for (size_t cut : {2u, 10u, 13u, 20u, 53u}) {
      Bytes part(file.begin(), file.begin() + cut);
      EXPECT_TRUE(refused(part)) << "cut inside the headers at " << cut;
    }
    Bytes part(file.begin(), file.end() - 1);
    EXPECT_TRUE(refused(part)) << "last row short by one byte";
  }
  {
    Bytes file = MakeBmp(s);
    file[0] = 'M';
    EXPECT_TRUE(refused(file)) << "signature";
  }
  {
    Bytes file = MakeBmp(s);
    file[10] = 0xFF; // bfOffBits far beyond the end
    file[11] = 0xFF;
    file[12] = 0xFF;
    file[13] = 0x7F;
    EXPECT_TRUE(refused(file)) << "rows beyond the end";
  }
}

// Header numbers that would overflow stride or width x height x 4 (on 32 and 64 bits) fail
// with 0 before anything is allocated from them.
TEST(BmpCodec, HugeDimensionsFailWithoutAllocating) {
  TempDir dir;
  const int32_t big[][2] = {{INT32_MAX, INT32_MAX}, {INT32_MAX, 1}, {1, INT32_MAX},
                            {0x40000000, 4},        {65536, 65536}, {0x7FFFFFF0, 2}};
  for (int bits : {1, 8, 24, 32})
    for (const auto& d : big) {
      BmpSpec s;
      s.bits = bits;
      s.width = 1;
      s.height = 1;
      Bytes file = MakeBmp(s);
      // patch the dimensions after building a small file
      for (int k = 0; k < 4; ++k) {
        file[18 + k] = static_cast<unsigned char>((static_cast<uint32_t>(d[0]) >> (8 * k)) & 0xFF);
        file[22 + k] = static_cast<unsigned char>((static_cast<uint32_t>(d[1]) >> (8 * k)) & 0xFF);
      }
      const std::string path = dir.File("huge.bmp");
      WriteFile(path, file);
      Image image;
      EXPECT_EQ(ReadBmp(path.c_str(), &image.b), 0) << bits << " " << d[0] << "x" << d[1];
      EXPECT_EQ(image.b.pixels, nullptr);
    }
}

TEST(BmpCodec, WritesOneByOneAsTabled) {
  TempDir dir;
  Image image;
  image.b.width = 1;
  image.b.height = 1;
  ASSERT_EQ(AllocImagePixels(&image.b), 1);
  const unsigned char rgba[4] = {0x30, 0x20, 0x10, 0x77};
  memcpy(image.b.pixels, rgba, 4);
  ASSERT_EQ(WriteBmp(dir.File("one.bmp").c_str(), &image.b), 1);
  const Bytes f = ReadFile(dir.File("one.bmp"));
  ASSERT_EQ(f.size(), 60u);
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(GetU32(f, 2), 60u);
  EXPECT_EQ(GetU16(f, 6), 0u);
  EXPECT_EQ(GetU16(f, 8), 0u);
  EXPECT_EQ(GetU32(f, 10), 54u);
  EXPECT_EQ(GetU32(f, 14), 40u);
  EXPECT_EQ(GetU32(f, 18), 1u);
  EXPECT_EQ(GetU32(f, 22), 1u);
  EXPECT_EQ(GetU16(f, 26), 1u);
  EXPECT_EQ(GetU16(f, 28), 24u);
  EXPECT_EQ(GetU32(f, 30), 0u);
  EXPECT_EQ(GetU32(f, 34), 0u);
  EXPECT_EQ(GetU32(f, 38), 2834u);
  EXPECT_EQ(GetU32(f, 42), 2834u);
  EXPECT_EQ(GetU32(f, 46), 0u);
  EXPECT_EQ(GetU32(f, 50), 0u);
  const Bytes tail(f.begin() + 54, f.end());
  EXPECT_EQ(tail, (Bytes{0x10, 0x20, 0x30, 0, 0, 0}));
}

TEST(BmpCodec, WrittenRowLengths) {
  TempDir dir;
  const size_t strides[] = {0, 4, 8, 12, 12, 16};
  for (int w = 1; w <= 5; ++w) {
    Image image;
    FillPicture(&image, w, 3, 3);
    const std::string path = dir.File("w" + std::to_string(w) + ".bmp");
    ASSERT_EQ(WriteBmp(path.c_str(), &image.b), 1);
    const Bytes f = ReadFile(path);
    ASSERT_EQ(f.size(), strides[w] * 3 + 56) << w;
    EXPECT_EQ(GetU32(f, 2), f.size());
    // padding bytes and the trailer are zero; pixels are B, G, R of the buffer's rows
    for (int n = 0; n < 3; ++n) {
      const unsigned char* row = &f[54 + n * strides[w]];
      for (int x = 0; x < w; ++x) {
        EXPECT_EQ(row[x * 3 + 0], image.At(x, n)[2]);
        EXPECT_EQ(row[x * 3 + 1], image.At(x, n)[1]);
        EXPECT_EQ(row[x * 3 + 2], image.At(x, n)[0]);
      }
      for (size_t k = 3 * w; k < strides[w]; ++k)
        EXPECT_EQ(row[k], 0) << w;
    }
    EXPECT_EQ(f[f.size() - 1], 0);
    EXPECT_EQ(f[f.size() - 2], 0);
  }
}

TEST(BmpCodec, RoundTripKeepsPixelBytes) {
  TempDir dir;
  for (int w : {1, 2, 3, 5, 17, 64}) {
    BmpSpec s;
    s.width = w;
    s.height = 5;
    const std::string path = dir.File("rt.bmp");
    const Bytes original = MakeBmp(s);
    WriteFile(path, original);
    Image image;
    ASSERT_EQ(ReadBmp(path.c_str(), &image.b), 1);
    ASSERT_EQ(WriteBmp(dir.File("out.bmp").c_str(), &image.b), 1);
    const Bytes again = ReadFile(dir.File("out.bmp"));
    const size_t stride = Stride(24, w);
    for (int n = 0; n < 5; ++n)
      for (int x = 0; x < 3 * w; ++x)
        ASSERT_EQ(again[54 + n * stride + x], original[54 + n * stride + x]) << w;
  }
  // A 32-bit file written back is a 24-bit file with every pixel's colour.
  BmpSpec s;
  s.bits = 32;
  s.width = 3;
  s.height = 2;
  WriteFile(dir.File("32.bmp"), MakeBmp(s));
  Image image;
  ASSERT_EQ(ReadBmp(dir.File("32.bmp").c_str(), &image.b), 1);
  for (int n = 0; n < 2; ++n)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(image.At(x, n)[3], 255);
  ASSERT_EQ(WriteBmp(dir.File("24.bmp").c_str(), &image.b), 1);
  EXPECT_EQ(GetU16(ReadFile(dir.File("24.bmp")), 28), 24u);
}

TEST(BmpCodec, WriteFailures) {
  TempDir dir;
  Image image;
  FillPicture(&image, 3, 3, 3);
  EXPECT_EQ(WriteBmp(dir.File("no/such/folder/x.bmp").c_str(), &image.b), 0);
  if (HaveFullDevice()) {
    EXPECT_EQ(WriteBmp("/dev/full", &image.b), 0) << "disk full";
  }
  Image empty;
  EXPECT_EQ(WriteBmp(dir.File("e.bmp").c_str(), &empty.b), 0);
  EXPECT_FALSE(Exists(dir.File("e.bmp")));
}

TEST(BmpCodec, AgreesWithImageMagick) {
  QUILLET_REQUIRE_IMAGEMAGICK();
  TempDir dir;
  for (int bits : {1, 4, 8, 24, 32})
    for (int w : {1, 5, 33}) {
      BmpSpec s;
      s.bits = bits;
      s.width = w;
      s.height = 4;
      const std::string path = dir.File("im.bmp");
      WriteFile(path, MakeBmp(s));
      Image image;
      ASSERT_EQ(ReadBmp(path.c_str(), &image.b), 1);
      Decoded d;
      ASSERT_TRUE(MagickDecode(path, &d, "-alpha off"));
      EXPECT_TRUE(SamePixels(image.b, d)) << bits << " bits, width " << w;
    }
  // and what WriteBmp produces decodes in ImageMagick to the same colours
  for (int w : {1, 2, 3, 4, 7}) {
    Image image;
    FillPicture(&image, w, 3, 3);
    const std::string path = dir.File("w.bmp");
    ASSERT_EQ(WriteBmp(path.c_str(), &image.b), 1);
    Decoded d;
    ASSERT_TRUE(MagickDecode(path, &d));
    EXPECT_TRUE(SamePixels(image.b, d, 0, 0x7)) << w;
  }
}

TEST(BmpCodec, LibjpegTurboTestBitmapsAgreeWithImageMagick) {
  QUILLET_REQUIRE_IMAGEMAGICK();
  const fs::path suite = FindSuite("libjpeg-turbo-", "testimages");
  if (suite.empty())
    GTEST_SKIP() << "libjpeg-turbo's testimages not found under " << CacheDir() / "src"
                 << " (scripts/setup-deps unpacks them; set QUILLET_CACHE)";
  const auto files = FilesWithExtension(suite, ".bmp");
  ASSERT_FALSE(files.empty());
  for (const auto& path : files) {
    Image image;
    ASSERT_EQ(ReadBmp(path.c_str(), &image.b), 1) << path;
    Decoded d;
    ASSERT_TRUE(MagickDecode(path, &d, "-alpha off")) << path;
    EXPECT_TRUE(SamePixels(image.b, d)) << path;
  }
}

} // namespace
