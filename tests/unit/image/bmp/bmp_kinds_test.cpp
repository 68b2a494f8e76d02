// The BMP reader across the kinds of file in use: headers of every length, top-down rows,
// colour masks, run lengths, and damaged or doubtful files. Checked against pixels written
// down by hand and against ImageMagick's reading.
#include "image/bmp/bmp_codec.h"

#include "tests/unit/image/image_test_support.h"

#include <gtest/gtest.h>

using namespace imgtest;

namespace {

// Colour table of the hand-made palette files: A, B, C, D.
const uint32_t kTable[] = {0x090807, 0xC80A0A, 0x0AC80A, 0x0A0AC8};

struct HandBmp {
  uint32_t infoSize;
  int32_t width, height;
  unsigned bits;
  uint32_t compression;
  std::vector<uint32_t> masks; // inside a longer header, or after a 40-byte one
  int tableEntries;            // written; biClrUsed states as many
  Bytes data;
};

Bytes Build(const HandBmp& s) {
  Bytes info;
  PutU32(&info, s.infoSize);
  if (s.infoSize == 12) {
    PutU16(&info, static_cast<unsigned>(s.width));
    PutU16(&info, static_cast<unsigned>(s.height));
    PutU16(&info, 1);
    PutU16(&info, s.bits);
  } else {
    PutU32(&info, static_cast<uint32_t>(s.width));
    PutU32(&info, static_cast<uint32_t>(s.height));
    PutU16(&info, 1);
    PutU16(&info, s.bits);
    PutU32(&info, s.compression);
    PutU32(&info, static_cast<uint32_t>(s.data.size()));
    PutU32(&info, 2835);
    PutU32(&info, 2835);
    PutU32(&info, static_cast<uint32_t>(s.tableEntries));
    PutU32(&info, 0);
    info.resize(s.infoSize, 0); // an OS/2 2.x header may end early
    for (size_t i = 0; i < s.masks.size(); ++i) {
      const size_t at = s.infoSize > 40 ? 40 + 4 * i : info.size();
      info.resize(std::max(info.size(), at + 4), 0);
      for (int k = 0; k < 4; ++k)
        info[at + k] = static_cast<unsigned char>(s.masks[i] >> (8 * k));
    }
  }
  for (int i = 0; i < s.tableEntries; ++i) {
    info.push_back(kTable[i % 4] & 0xFF);
    info.push_back((kTable[i % 4] >> 8) & 0xFF);
    info.push_back((kTable[i % 4] >> 16) & 0xFF);
    if (s.infoSize != 12)
      info.push_back(0);
  }
  Bytes file = {'B', 'M'};
  PutU32(&file, static_cast<uint32_t>(14 + info.size() + s.data.size()));
  PutU32(&file, 0);
  PutU32(&file, static_cast<uint32_t>(14 + info.size()));
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), s.data.begin(), s.data.end());
  return file;
}

// Rows of palette letters (A to D), the picture's top row first.
std::vector<uint32_t> Letters(const std::vector<std::string>& rowsTopFirst) {
  std::vector<uint32_t> out;
  for (auto row = rowsTopFirst.rbegin(); row != rowsTopFirst.rend(); ++row)
    for (char c : *row)
      out.push_back(0xFF000000u | kTable[c - 'A']);
  return out;
}

// 0xAARRGGBB pixels as the reader gives them, bottom row first.
std::vector<uint32_t> Argb(const Image& image) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < image.Bytes(); i += 4) {
    const unsigned char* p = image.b.pixels + i;
    out.push_back((uint32_t(p[3]) << 24) | (p[0] << 16) | (p[1] << 8) | p[2]);
  }
  return out;
}

struct Case {
  const char* what;
  HandBmp bmp;
  int channels;
  std::vector<uint32_t> want; // bottom row first
  bool magick;                // ImageMagick reads it alike
};

void CheckCases(const std::vector<Case>& cases) {
  TempDir dir;
  for (const Case& c : cases) {
    const std::string path = dir.File("hand.bmp");
    WriteFile(path, Build(c.bmp));
    Image image;
    ASSERT_EQ(ReadBmp(path.c_str(), &image.b), 1) << c.what;
    EXPECT_EQ(image.b.channels, c.channels) << c.what;
    EXPECT_EQ(Argb(image), c.want) << c.what;
    if (c.magick && HaveImageMagick()) {
      Decoded d;
      ASSERT_TRUE(MagickDecode(path, &d)) << c.what;
      EXPECT_TRUE(SamePixels(image.b, d)) << c.what;
    }
  }
}

TEST(BmpKinds, HeadersAndColourTables) {
  const Bytes rows8 = {3, 0, 1, 0, 2, 1, 0, 0}; // 3 x 2, bottom row first, 4-byte rows
  const auto want8 = Letters({"CBA", "DAB"});
  CheckCases({
      // the table right behind a V4 or V5 header, not at offset 54
      {"V5 header, 8 bits", {124, 3, 2, 8, 0, {}, 4, rows8}, 3, want8, true},
      {"V4 header, 8 bits", {108, 3, 2, 8, 0, {}, 4, rows8}, 3, want8, true},
      {"OS/2 1.x, 3-byte entries", {12, 3, 2, 8, 0, {}, 4, rows8}, 3, want8, false},
      {"OS/2 2.x, 64 bytes", {64, 3, 2, 8, 0, {}, 4, rows8}, 3, want8, false},
      {"OS/2 2.x, 16 bytes", {16, 3, 2, 8, 0, {}, 4, rows8}, 3, want8, false},
      {"top-down, 8 bits", {40, 3, -2, 8, 0, {}, 4, rows8}, 3, Letters({"DAB", "CBA"}), true},
      {"top-down, 24 bits",
       {40, 1, -2, 24, 0, {}, 0, {1, 2, 3, 0, 4, 5, 6, 0}},
       3,
       {0xFF060504, 0xFF030201},
       true},
      {"top-down, 1 bit",
       {40, 3, -2, 1, 0, {}, 2, {0xA0, 0, 0, 0, 0x40, 0, 0, 0}},
       3,
       Letters({"BAB", "ABA"}),
       true},
      // indices past biClrUsed take the first colour (ImageMagick shows it too, with an error)
      {"index past the table",
       {40, 3, 2, 8, 0, {}, 2, {0, 1, 3, 0, 255, 1, 2, 0}},
       3,
       Letters({"ABA", "ABA"}),
       false},
      {"2 bits", {40, 5, 1, 2, 0, {}, 4, {0x1B, 0x40, 0, 0}}, 3, Letters({"ABCDB"}), false},
  });
}

TEST(BmpKinds, ColourMasks) {
  const std::vector<uint32_t> argb32 = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
  const Bytes pixels32 = {10, 20, 30, 128, 40, 50, 60, 0};
  CheckCases({
      {"565 after a 40-byte header",
       {40, 2, 1, 16, 3, {0xF800, 0x07E0, 0x001F}, 0, {0x25, 0x84, 0x5E, 0x08}},
       3,
       {0xFF848629, 0xFF0808F7},
       true},
      {"16-bit uncompressed is 5-5-5",
       {40, 2, 1, 16, 0, {}, 0, {0x25, 0x41, 0x5E, 0x04}},
       3,
       {0xFF844A29, 0xFF0810F7},
       true},
      {"V4 header with alpha",
       {108, 2, 1, 32, 3, argb32, 0, pixels32},
       4,
       {0x801E140A, 0x003C3228},
       true},
      {"alpha bit fields",
       {40, 2, 1, 32, 6, argb32, 0, pixels32},
       4,
       {0x801E140A, 0x003C3228},
       false},
      // all-zero alpha is a writer's unused byte; uncompressed 32 bits has no alpha at all
      {"zero alpha",
       {124, 2, 1, 32, 3, argb32, 0, {10, 20, 30, 0, 40, 50, 60, 0}},
       3,
       {0xFF1E140A, 0xFF3C3228},
       false},
      {"uncompressed 32 bits",
       {124, 2, 1, 32, 0, argb32, 0, pixels32},
       3,
       {0xFF1E140A, 0xFF3C3228},
       false},
      // narrow masks repeat their bits; wide ones keep their top 8
      {"4-4-4-4",
       {124, 2, 1, 16, 3, {0x0F00, 0x00F0, 0x000F, 0xF000}, 0, {0xA3, 0xF5, 0x34, 0x12}},
       4,
       {0xFF55AA33, 0x11223344},
       false},
      {"1-5-5-5",
       {124, 2, 1, 16, 3, {0x7C00, 0x03E0, 0x001F, 0x8000}, 0, {0x25, 0xC1, 0, 0}},
       4,
       {0xFF844A29, 0x00000000},
       false},
      {"10-10-10",
       {40, 2, 1, 32, 3, {0x3FF00000, 0xFFC00, 0x3FF}, 0, {3, 4, 0xF8, 0x3F, 0, 0, 0, 0}},
       3,
       {0xFFFF8000, 0xFF000000},
       false},
  });
}

TEST(BmpKinds, RunLengths) {
  CheckCases({
      // runs, a delta over pixels, end of line, a padded literal, end of bitmap
      {"RLE8",
       {40, 6, 3, 8, 1, {}, 4, {2, 1, 0, 2, 2, 1, 1, 2, 0, 0, 0, 3, 1, 2, 1, 0, 0, 1, 0, 0}},
       3,
       Letters({"BCBAAA", "AAAACA", "BBAAAA"}),
       true},
      {"RLE4",
       {40, 6, 3, 4, 2, {}, 4, {5, 0x12, 0, 0, 0, 5, 0x12, 0x30, 0x10, 0, 0,
                                0, 0,    2, 2, 0, 2, 0x33, 0,    1,    0, 0}},
       3,
       Letters({"AADDAA", "BCDABA", "BCBCBA"}),
       true},
      // a run past the row's end is cut there; an early end leaves the first colour
      {"long run, early end",
       {40, 4, 2, 8, 1, {}, 4, {6, 3, 0, 0, 1, 2, 0, 1}},
       3,
       Letters({"CAAA", "DDDD"}),
       false},
      {"no end code", {40, 3, 2, 8, 1, {}, 4, {3, 1}}, 3, Letters({"AAA", "BBB"}), false},
      {"delta out of the picture",
       {40, 3, 2, 8, 1, {}, 4, {1, 1, 0, 2, 5, 9, 2, 2, 0, 1}},
       3,
       Letters({"AAA", "BAA"}),
       false},
      {"literal cut short", {40, 3, 1, 8, 1, {}, 4, {1, 3, 0, 5, 1}}, 3, Letters({"DAA"}), false},
  });
}

TEST(BmpKinds, DoubtfulFilesAreRefused) {
  const Bytes any = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const struct {
    const char* what;
    HandBmp bmp;
  } cases[] = {
      {"mask with a hole", {40, 2, 1, 16, 3, {0xF0F0, 0x0F00, 0x000F}, 0, any}},
      {"bit fields at 8 bits", {40, 2, 1, 8, 3, {0xE0, 0x1C, 0x03}, 4, any}},
      {"RLE4 at 8 bits", {40, 2, 1, 8, 2, {}, 4, any}},
      {"top-down RLE4", {40, 2, -1, 4, 2, {}, 4, any}},
      {"JPEG inside", {40, 2, 1, 24, 4, {}, 0, any}},
      {"PNG inside", {40, 2, 1, 24, 5, {}, 0, any}},
      {"OS/2 2.x Huffman", {64, 2, 1, 1, 3, {}, 2, any}},
      {"header of 13 bytes", {40, 2, 1, 24, 0, {}, 0, any}}, // patched below
      {"header of 200 bytes", {40, 2, 1, 24, 0, {}, 0, any}},
      {"no runs at all", {40, 2, 1, 8, 1, {}, 4, {}}},
      {"palette cut short", {40, 2, 1, 8, 0, {}, 0, {}}},
  };
  TempDir dir;
  for (const auto& c : cases) {
    Bytes file = Build(c.bmp);
    const std::string what = c.what;
    if (what.find("header of") != std::string::npos)
      file[14] = what.find("13 ") != std::string::npos ? 13 : 200;
    const std::string path = dir.File("bad.bmp");
    WriteFile(path, file);
    Image image;
    EXPECT_EQ(ReadBmp(path.c_str(), &image.b), 0) << c.what;
  }
}

// Files as ImageMagick writes them, of every kind it writes, read as ImageMagick reads them.
TEST(BmpKinds, ImageMagickFilesAgreeWithImageMagick) {
  QUILLET_REQUIRE_IMAGEMAGICK();
  TempDir dir;
  Image source;
  FillPicture(&source, 37, 23, 4);
  const std::string png = dir.File("source.png");
  ASSERT_TRUE(MagickEncode(source.b, dir.File("raw"), png, "-alpha off"));
  const struct {
    const char* options;
    int bits;
    int channels;
    unsigned compared; // R, G, B, A bits
    int tolerance;
  } cases[] = {
      {"-type TrueColor BMP3:", 24, 3, 0xF, 0},
      {"-type TrueColor BMP2:", 24, 3, 0xF, 0},
      {"-type TrueColor BMP:", 24, 3, 0xF, 0},
      {"-colors 200 -type palette BMP3:", 8, 3, 0xF, 0},
      {"-colors 200 -type palette BMP:", 8, 3, 0xF, 0},
      {"-colors 200 -type palette BMP2:", 8, 3, 0xF, 0},
      {"-colors 12 -type palette BMP3:", 4, 3, 0xF, 0},
      {"-colors 2 -type palette BMP3:", 1, 3, 0xF, 0},
      {"-colors 200 -type palette -compress RLE BMP3:", 8, 3, 0xF, 0},
      {"-type TrueColor -define bmp:subtype=RGB565 BMP:", 16, 3, 0xF, 0},
      {"-type TrueColor -define bmp:subtype=RGB555 BMP:", 16, 3, 0xF, 0},
      {"-alpha set -channel A -fx 'i/w' +channel BMP:", 32, 4, 0xF, 0},
      // ImageMagick scales 4-bit and 1-bit masks by shifting (15 to 240, 1 to 128), where
      // the reader repeats the bits as the 5- and 6-bit ones (15 to 255)
      {"-alpha set -channel A -fx 'i/w' +channel -define bmp:subtype=ARGB4444 BMP:", 16, 4, 0x7,
       15},
      {"-alpha set -channel A -fx 'i>w/2' +channel -define bmp:subtype=ARGB1555 BMP:", 16, 4, 0x7,
       0},
  };
  for (const auto& c : cases) {
    const std::string path = dir.File("magick.bmp");
    const std::string options = c.options;
    const size_t colon = options.rfind(' ');
    const std::string command = "convert " + QuotePath(png) + " " + options.substr(0, colon) + " " +
                                Quote(MagickPath(options.substr(colon + 1) + path)) +
                                " 2>/dev/null";
    ASSERT_EQ(RunShell(command), 0) << c.options;
    const Bytes file = ReadFile(path);
    ASSERT_GT(file.size(), 30u);
    EXPECT_EQ(GetU32(file, 14) == 12 ? GetU16(file, 24) : GetU16(file, 28), unsigned(c.bits))
        << c.options;
    Image image;
    ASSERT_EQ(ReadBmp(path.c_str(), &image.b), 1) << c.options;
    EXPECT_EQ(image.b.channels, c.channels) << c.options;
    Decoded d;
    ASSERT_TRUE(MagickDecode(path, &d)) << c.options;
    EXPECT_TRUE(SamePixels(image.b, d, c.tolerance, c.compared)) << c.options;
  }
}

} // namespace
