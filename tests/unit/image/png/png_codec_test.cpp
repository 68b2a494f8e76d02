// PNG reader and writer, checked against hand-made files, PngSuite and ImageMagick.
#include "image/png/png_codec.h"
#include "image/png/png_filters.h"

#include "tests/unit/image/image_test_support.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <ctime>

using namespace imgtest;

namespace {

// ----- a minimal PNG builder (non-interlaced, filter 0) for hand-made and damaged files

void PutBE32(Bytes* b, uint32_t v) {
  for (int i = 3; i >= 0; --i)
    b->push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xFF));
}
uint32_t GetBE32(const Bytes& b, size_t at) { return LoadBigEndian32(&b[at]); }

void PutChunk(Bytes* out, const char* type, const Bytes& data) {
  PutBE32(out, static_cast<uint32_t>(data.size()));
  Bytes typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  out->insert(out->end(), typed.begin(), typed.end());
  PutBE32(out, static_cast<uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

struct PngSpec {
  uint32_t width = 1;
  uint32_t height = 1;
  int depth = 8;
  int colorType = 2;
  Bytes samples; // height rows of packed samples, without filter bytes
  Bytes palette; // PLTE data (3 bytes per entry)
  Bytes trns;    // tRNS data
  bool iend = true;
  unsigned char filter = 0; // the filter type byte of every row (its bytes stay unfiltered)
  Bytes filtered;           // when given: the rows with their filter bytes, instead of samples
};

Bytes MakePng(const PngSpec& s) {
  Bytes out = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
  Bytes ihdr;
  PutBE32(&ihdr, s.width);
  PutBE32(&ihdr, s.height);
  ihdr.push_back(static_cast<unsigned char>(s.depth));
  ihdr.push_back(static_cast<unsigned char>(s.colorType));
  ihdr.push_back(0);
  ihdr.push_back(0);
  ihdr.push_back(0);
  PutChunk(&out, "IHDR", ihdr);
  if (!s.palette.empty())
    PutChunk(&out, "PLTE", s.palette);
  if (!s.trns.empty())
    PutChunk(&out, "tRNS", s.trns);
  const size_t rowBytes = s.height == 0 ? 0 : s.samples.size() / s.height;
  Bytes raw = s.filtered;
  for (uint32_t y = 0; s.filtered.empty() && y < s.height; ++y) {
    raw.push_back(s.filter);
    raw.insert(raw.end(), s.samples.begin() + y * rowBytes, s.samples.begin() + (y + 1) * rowBytes);
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes z(size);
  compress(z.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
  z.resize(size);
  PutChunk(&out, "IDAT", z);
  if (s.iend)
    PutChunk(&out, "IEND", {});
  return out;
}

// Recomputes the CRC of the chunk starting at byte at, after its data was changed.
void FixChunkCrc(Bytes* file, size_t at) {
  const uint32_t length = GetBE32(*file, at);
  const uint32_t crc = static_cast<uint32_t>(crc32(0, file->data() + at + 4, length + 4));
  for (int i = 0; i < 4; ++i)
    (*file)[at + 8 + length + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
}

// Chunk types in file order with their data.
std::vector<std::pair<std::string, Bytes>> Chunks(const Bytes& file) {
  std::vector<std::pair<std::string, Bytes>> chunks;
  size_t at = 8;
  while (at + 12 <= file.size()) {
    const uint32_t length = GetBE32(file, at);
    if (at + 12 + length > file.size())
      break;
    chunks.emplace_back(std::string(file.begin() + at + 4, file.begin() + at + 8),
                        Bytes(file.begin() + at + 8, file.begin() + at + 8 + length));
    at += 12 + length;
  }
  return chunks;
}

int ReadResult(const std::string& path, Image* image) {
  const int before = OpenFileCount();
  const int result = ReadPng(path.c_str(), &image->b);
  EXPECT_EQ(OpenFileCount(), before) << "a file was left open: " << path;
  return result;
}

TEST(PngCodec, SignatureTest) {
  TempDir dir;
  const Bytes sig = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
  WriteFile(dir.File("sig"), sig);
  WriteFile(dir.File("seven"), Bytes(sig.begin(), sig.begin() + 7));
  Bytes bad = sig;
  bad[4] = 10;
  WriteFile(dir.File("bad"), bad);
  EXPECT_EQ(IsPngFile(dir.File("sig").c_str()), 1);
  EXPECT_EQ(IsPngFile(dir.File("seven").c_str()), 0);
  EXPECT_EQ(IsPngFile(dir.File("bad").c_str()), 0);
  EXPECT_EQ(IsPngFile(dir.File("missing").c_str()), 0);
  Image image;
  EXPECT_EQ(ReadResult(dir.File("sig"), &image), 0) << "signature only";
}

TEST(PngCodec, ReadsEachColourType) {
  TempDir dir;
  const uint32_t w = 3, h = 2;
  struct Case {
    int colorType;
    int samples;
    int channels;
  } cases[] = {{0, 1, 1}, {2, 3, 3}, {3, 1, 3}, {4, 2, 2}, {6, 4, 4}};
  for (const Case& c : cases) {
    PngSpec s;
    s.width = w;
    s.height = h;
    s.colorType = c.colorType;
    for (uint32_t i = 0; i < w * h * c.samples; ++i)
      s.samples.push_back(static_cast<unsigned char>(c.colorType == 3 ? i % 4 : i * 37 + 5));
    if (c.colorType == 3)
      s.palette = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    const std::string path = dir.File("t" + std::to_string(c.colorType) + ".png");
    WriteFile(path, MakePng(s));
    Image image;
    ASSERT_EQ(ReadResult(path, &image), 1) << c.colorType;
    EXPECT_EQ(image.b.channels, c.channels);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) {
        const unsigned char* v = &s.samples[(y * w + x) * c.samples];
        const unsigned char* p = image.At(x, h - 1 - y); // the file's top row is the last row
        unsigned char want[4];
        switch (c.colorType) {
        case 0:
          want[0] = want[1] = want[2] = v[0], want[3] = 255;
          break;
        case 2:
          want[0] = v[0], want[1] = v[1], want[2] = v[2], want[3] = 255;
          break;
        case 3:
          want[0] = s.palette[v[0] * 3], want[1] = s.palette[v[0] * 3 + 1];
          want[2] = s.palette[v[0] * 3 + 2], want[3] = 255;
          break;
        case 4:
          want[0] = want[1] = want[2] = v[0], want[3] = v[1];
          break;
        default:
          memcpy(want, v, 4);
          break;
        }
        EXPECT_EQ(Bytes(p, p + 4), Bytes(want, want + 4)) << c.colorType << " " << x << "," << y;
      }
  }
}

TEST(PngCodec, PaletteIndexBeyondThePaletteIsOpaqueBlack) {
  TempDir dir;
  PngSpec s;
  s.width = 4;
  s.colorType = 3;
  s.palette = {200, 100, 50, 1, 2, 3}; // two entries
  s.samples = {0, 1, 2, 255};          // 2 and 255 lie beyond the palette
  WriteFile(dir.File("p.png"), MakePng(s));
  Image image;
  ASSERT_EQ(ReadResult(dir.File("p.png"), &image), 1);
  EXPECT_EQ(Bytes(image.At(0, 0), image.At(0, 0) + 4), (Bytes{200, 100, 50, 255}));
  EXPECT_EQ(Bytes(image.At(1, 0), image.At(1, 0) + 4), (Bytes{1, 2, 3, 255}));
  EXPECT_EQ(Bytes(image.At(2, 0), image.At(2, 0) + 4), (Bytes{0, 0, 0, 255}));
  EXPECT_EQ(Bytes(image.At(3, 0), image.At(3, 0) + 4), (Bytes{0, 0, 0, 255}));
}

// One row of four pixels per case: packed samples as the file holds them, and the R, G, B, A
// the reader must give for each pixel.
struct DepthCase {
  const char* what;
  int colorType;
  int depth;
  Bytes samples;
  Bytes palette;
  Bytes trns;
  int channels;
  Bytes rgba; // 16 bytes
};

void CheckDepthCases(const std::vector<DepthCase>& cases) {
  TempDir dir;
  for (const DepthCase& c : cases) {
    PngSpec s;
    s.width = 4;
    s.colorType = c.colorType;
    s.depth = c.depth;
    s.samples = c.samples;
    s.palette = c.palette;
    s.trns = c.trns;
    const std::string path = dir.File("d.png");
    WriteFile(path, MakePng(s));
    Image image;
    ASSERT_EQ(ReadResult(path, &image), 1) << c.what;
    EXPECT_EQ(image.b.channels, c.channels) << c.what;
    EXPECT_EQ(image.Pixels(), c.rgba) << c.what;
    // Written back as PNG, the picture keeps its colours and its transparency.
    const std::string again = dir.File("again.png");
    ASSERT_EQ(WritePng(again.c_str(), &image.b), 1) << c.what;
    Image back;
    ASSERT_EQ(ReadResult(again, &back), 1) << c.what;
    EXPECT_EQ(back.b.channels, c.channels) << c.what;
    EXPECT_EQ(back.Pixels(), c.rgba) << c.what;
  }
}

TEST(PngCodec, ReadsEveryDepth) {
  const Bytes pal = {200, 100, 50, 1, 2, 3, 40, 50, 60, 7, 8, 9};
  CheckDepthCases({
      {"gray 1",
       0,
       1,
       {0xA0},
       {},
       {},
       1,
       {255, 255, 255, 255, 0, 0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 255}},
      {"gray 2",
       0,
       2,
       {0x1B},
       {},
       {},
       1,
       {0, 0, 0, 255, 85, 85, 85, 255, 170, 170, 170, 255, 255, 255, 255, 255}},
      {"gray 4",
       0,
       4,
       {0x0F, 0x58},
       {},
       {},
       1,
       {0, 0, 0, 255, 255, 255, 255, 255, 85, 85, 85, 255, 136, 136, 136, 255}},
      {"gray 16",
       0,
       16,
       {0, 0, 0xFF, 0xFF, 0x80, 0x80, 0x01, 0x01},
       {},
       {},
       1,
       {0, 0, 0, 255, 255, 255, 255, 255, 128, 128, 128, 255, 1, 1, 1, 255}},
      {"palette 1",
       3,
       1,
       {0x40},
       pal,
       {},
       3,
       {200, 100, 50, 255, 1, 2, 3, 255, 200, 100, 50, 255, 200, 100, 50, 255}},
      {"palette 2",
       3,
       2,
       {0xE4},
       pal,
       {},
       3,
       {7, 8, 9, 255, 40, 50, 60, 255, 1, 2, 3, 255, 200, 100, 50, 255}},
      {"palette 4",
       3,
       4,
       {0x32, 0x10},
       pal,
       {},
       3,
       {7, 8, 9, 255, 40, 50, 60, 255, 1, 2, 3, 255, 200, 100, 50, 255}},
      {"RGB 16",
       2,
       16,
       {0,    0,    0x01, 0x01, 0xFF, 0xFF, 0x80, 0x80, 0x02, 0x02, 0x03, 0x03,
        0x7F, 0x7F, 0x40, 0x40, 0x20, 0x20, 0x10, 0x10, 0x08, 0x08, 0x04, 0x04},
       {},
       {},
       3,
       {0, 1, 255, 255, 128, 2, 3, 255, 127, 64, 32, 255, 16, 8, 4, 255}},
      {"gray-alpha 16",
       4,
       16,
       {0x10, 0x10, 0xFF, 0xFF, 0x20, 0x20, 0, 0, 0x30, 0x30, 0x80, 0x80, 0x40, 0x40, 0x01, 0x01},
       {},
       {},
       2,
       {16, 16, 16, 255, 32, 32, 32, 0, 48, 48, 48, 128, 64, 64, 64, 1}},
      {"RGBA 16",
       6,
       16,
       {1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,  7,  7,  8,  8,
        9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16},
       {},
       {},
       4,
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
  });
}

// tRNS becomes alpha: a palette entry's alpha (entries past the chunk opaque), and the key
// colour of a gray or RGB picture, compared at the file's own depth.
TEST(PngCodec, TransparencyBecomesAlpha) {
  const Bytes pal = {9, 8, 7, 6, 5, 4, 3, 2, 1};
  CheckDepthCases({
      {"palette 8",
       3,
       8,
       {0, 1, 2, 1},
       pal,
       {0, 128},
       4,
       {9, 8, 7, 0, 6, 5, 4, 128, 3, 2, 1, 255, 6, 5, 4, 128}},
      {"palette 2",
       3,
       2,
       {0x18},
       pal,
       {255, 77},
       4,
       {9, 8, 7, 255, 6, 5, 4, 77, 3, 2, 1, 255, 9, 8, 7, 255}},
      {"gray 8",
       0,
       8,
       {7, 8, 7, 0},
       {},
       {0, 7},
       2,
       {7, 7, 7, 0, 8, 8, 8, 255, 7, 7, 7, 0, 0, 0, 0, 255}},
      {"gray 2",
       0,
       2,
       {0x6C},
       {},
       {0, 1},
       2,
       {85, 85, 85, 0, 170, 170, 170, 255, 255, 255, 255, 255, 0, 0, 0, 255}},
      {"gray 16",
       0,
       16,
       {0x12, 0x34, 0x12, 0x35, 0, 0, 0x12, 0x34},
       {},
       {0x12, 0x34},
       2,
       {18, 18, 18, 0, 18, 18, 18, 255, 0, 0, 0, 255, 18, 18, 18, 0}},
      {"RGB 8",
       2,
       8,
       {1, 2, 3, 1, 2, 4, 3, 2, 1, 1, 2, 3},
       {},
       {0, 1, 0, 2, 0, 3},
       4,
       {1, 2, 3, 0, 1, 2, 4, 255, 3, 2, 1, 255, 1, 2, 3, 0}},
      {"RGB 16",
       2,
       16,
       {1, 1, 2, 2, 3, 3, 1, 1, 2, 2, 3, 4, 0, 0, 0, 0, 0, 0, 1, 1, 2, 2, 3, 3},
       {},
       {1, 1, 2, 2, 3, 3},
       4,
       {1, 2, 3, 0, 1, 2, 3, 255, 0, 0, 0, 255, 1, 2, 3, 0}},
  });
}

TEST(PngCodec, BrokenFilesFailCleanly) {
  TempDir dir;
  PngSpec good;
  good.width = 5;
  good.height = 4;
  for (int i = 0; i < 5 * 4 * 3; ++i)
    good.samples.push_back(static_cast<unsigned char>(i * 11));
  const Bytes file = MakePng(good);
  int n = 0;
  auto result = [&](const Bytes& bytes) {
    const std::string path = dir.File("b" + std::to_string(++n) + ".png");
    WriteFile(path, bytes);
    Image image;
    return ReadResult(path, &image);
  };
  ASSERT_EQ(result(file), 1);

  {
    PngSpec s = good;
    s.depth = 4; // not a depth of RGB: libpng's own error
    EXPECT_EQ(result(MakePng(s)), 0) << "4-bit RGB";
  }
  {
    PngSpec s = good;
    s.colorType = 5; // not a colour type: libpng's own error
    EXPECT_EQ(result(MakePng(s)), 0) << "colour type 5";
  }
  {
    PngSpec s = good;
    s.width = 0; // invalid header value: libpng error
    s.samples.clear();
    EXPECT_EQ(result(MakePng(s)), 0) << "width 0";
  }
  // CRC error in a critical chunk: IHDR, then IDAT.
  {
    Bytes bad = file;
    bad[8 + 8 + 13] ^= 0xFF; // IHDR's CRC
    EXPECT_EQ(result(bad), 0) << "IHDR CRC";
  }
  const auto chunks = Chunks(file);
  size_t idat = 8;
  for (const auto& c : chunks) {
    if (c.first == "IDAT")
      break;
    idat += 12 + c.second.size();
  }
  const size_t idatLength = GetBE32(file, idat);
  {
    Bytes bad = file;
    bad[idat + 8 + idatLength] ^= 0x01; // IDAT's CRC
    EXPECT_EQ(result(bad), 0) << "IDAT CRC";
  }
  {
    Bytes bad = file;
    bad[idat + 8 + 2] ^= 0x55; // compressed data corrupt (CRC recomputed)
    FixChunkCrc(&bad, idat);
    EXPECT_EQ(result(bad), 0) << "corrupt deflate data";
  }
  // Only the zlib stream's own checksum wrong, the chunk CRCs right: the chunk CRCs are the
  // guard, and the rows the stream gives are read.
  {
    Bytes bad = file;
    bad[idat + 8 + idatLength - 1] ^= 0xFF; // last byte of the Adler-32
    FixChunkCrc(&bad, idat);
    EXPECT_EQ(result(bad), 1) << "Adler-32 alone";
  }
  for (size_t cut : {size_t{12}, size_t{20}, idat + 4, idat + 8 + idatLength / 2})
    EXPECT_EQ(result(Bytes(file.begin(), file.begin() + cut)), 0) << "cut at " << cut;
  // Cut after many rows have been decoded and handed on.
  {
    PngSpec s = good;
    s.height = 400;
    s.samples.clear();
    for (uint32_t i = 0; i < s.width * s.height * 3; ++i)
      s.samples.push_back(static_cast<unsigned char>((i * 2654435761u) >> 24));
    const Bytes tall = MakePng(s);
    ASSERT_EQ(result(tall), 1);
    EXPECT_EQ(result(Bytes(tall.begin(), tall.begin() + tall.size() * 3 / 4)), 0) << "tall, cut";
  }

  // Damage after the last IDAT chunk does not matter: nothing after the image data is read.
  {
    PngSpec s = good;
    s.iend = false;
    EXPECT_EQ(result(MakePng(s)), 1) << "missing IEND";
    Bytes junk = MakePng(s);
    junk.insert(junk.end(), {0, 0, 0, 4, 'z', 'z', 'z', 'z', 1, 2, 3, 4, 9, 9, 9, 9});
    EXPECT_EQ(result(junk), 1) << "bad chunk after IDAT";
  }
}

void CheckWrittenFile(const std::string& path, int colorType, const Image& image) {
  const Bytes f = ReadFile(path);
  const auto chunks = Chunks(f);
  std::vector<std::string> order;
  for (const auto& c : chunks)
    if (order.empty() || order.back() != c.first)
      order.push_back(c.first);
  EXPECT_EQ(order, (std::vector<std::string>{"IHDR", "gAMA", "tIME", "tEXt", "IDAT", "IEND"}));
  ASSERT_GE(chunks.size(), 6u);
  const Bytes& ihdr = chunks[0].second;
  EXPECT_EQ(GetBE32(ihdr, 0), static_cast<uint32_t>(image.b.width));
  EXPECT_EQ(GetBE32(ihdr, 4), static_cast<uint32_t>(image.b.height));
  EXPECT_EQ(ihdr[8], 8);
  EXPECT_EQ(ihdr[9], colorType);
  EXPECT_EQ(ihdr[12], 0) << "not interlaced";
  EXPECT_EQ(GetBE32(chunks[1].second, 0), 45455u);
  const Bytes& t = chunks[2].second;
  ASSERT_EQ(t.size(), 7u);
  std::time_t now = std::time(nullptr);
  std::tm utc = *std::gmtime(&now);
  EXPECT_EQ((t[0] << 8) | t[1], utc.tm_year + 1900);
  EXPECT_EQ(t[2], utc.tm_mon + 1);
  const std::string text(chunks[3].second.begin(), chunks[3].second.end());
  EXPECT_EQ(text, std::string("Title") + '\0' + fs::path(path).filename().string())
      << "the file's name, without its folders";
}

TEST(ThreadedPngCodec, WritesAndReadsBackEveryChannelCount) {
  TempDir dir;
  const int types[] = {0, 0, 4, 2, 6};
  // 7 x 301: rows pass the reader's ring of decoded rows many times over.
  const int sizes[][2] = {{1, 1}, {2, 3}, {3, 1}, {5, 7}, {33, 4}, {7, 301}};
  for (int channels = 1; channels <= 4; ++channels)
    for (const auto& size : sizes) {
      Image image;
      FillPicture(&image, size[0], size[1], channels);
      const std::string path = dir.File("c" + std::to_string(channels) + ".png");
      ASSERT_EQ(WritePng(path.c_str(), &image.b), 1);
      CheckWrittenFile(path, types[channels], image);
      Image back;
      ASSERT_EQ(ReadResult(path, &back), 1);
      EXPECT_EQ(back.b.channels, channels);
      EXPECT_TRUE(SameImage(image.b, back.b))
          << channels << " channels " << size[0] << "x" << size[1];
    }
}

// The image data split into chunks of 1 to 5 bytes (the zlib header too) reads alike; an
// unknown filter type fails.
TEST(PngCodec, ImageDataInTinyChunksAndUnknownFilters) {
  TempDir dir;
  for (int channels : {3, 4}) {
    Image image;
    FillPicture(&image, 37, 23, channels);
    const std::string path = dir.File("w.png");
    ASSERT_EQ(WritePng(path.c_str(), &image.b), 1);
    Bytes data, split = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    for (const auto& c : Chunks(ReadFile(path)))
      if (c.first == "IDAT")
        data.insert(data.end(), c.second.begin(), c.second.end());
    for (const auto& c : Chunks(ReadFile(path))) {
      if (c.first == "IEND")
        for (size_t at = 0, n = 1; at < data.size(); at += n, n = n % 5 + 1)
          PutChunk(&split, "IDAT",
                   Bytes(data.begin() + at, data.begin() + std::min(at + n, data.size())));
      if (c.first != "IDAT")
        PutChunk(&split, c.first.c_str(), c.second);
    }
    WriteFile(path, split);
    Image back;
    ASSERT_EQ(ReadResult(path, &back), 1) << channels;
    EXPECT_TRUE(SameImage(image.b, back.b)) << channels;
  }
  PngSpec s;
  s.width = 2;
  s.height = 2;
  s.samples = Bytes(12, 9);
  s.filter = 4;
  WriteFile(dir.File("f.png"), MakePng(s));
  Image paeth;
  ASSERT_EQ(ReadResult(dir.File("f.png"), &paeth), 1);
  s.filter = 5;
  WriteFile(dir.File("f.png"), MakePng(s));
  Image unknown;
  EXPECT_EQ(ReadResult(dir.File("f.png"), &unknown), 0);
}

// The writer filters a segment's rows one way throughout when that compresses better: each
// filter, and the choice per row, decodes in ImageMagick to the samples filtered.
TEST(PngCodec, EveryFilterDecodesInImageMagick) {
  QUILLET_REQUIRE_IMAGEMAGICK();
  TempDir dir;
  const int width = 29, height = 7;
  for (int bpp = 1; bpp <= 4; ++bpp)
    for (int filter = kChooseFilter; filter <= 4; ++filter) {
      PngSpec s;
      s.width = width;
      s.height = height;
      s.colorType = bpp == 1 ? 0 : bpp == 2 ? 4 : bpp == 3 ? 2 : 6;
      const size_t bytes = static_cast<size_t>(width) * bpp;
      uint32_t seed = 5;
      for (size_t i = 0; i < bytes * height; ++i) {
        seed = seed * 1664525u + 1013904223u;
        s.samples.push_back(static_cast<unsigned char>(i % bytes * 9 + (seed >> 29)));
      }
      Bytes prior(bytes, 0), out(1 + bytes), scratch(4 * bytes);
      for (int y = 0; y < height; ++y) {
        const unsigned char* row = s.samples.data() + y * bytes;
        FilterPngRow(row, prior.data(), bytes, bpp, filter, out.data(), scratch.data());
        s.filtered.insert(s.filtered.end(), out.begin(), out.end());
        prior.assign(row, row + bytes);
      }
      WriteFile(dir.File("f.png"), MakePng(s));
      Decoded d;
      ASSERT_TRUE(MagickDecode(dir.File("f.png"), &d, "-alpha on"));
      ASSERT_EQ(d.rgba.size(), static_cast<size_t>(width) * height * 4);
      const int picks[5][4] = {{}, {0}, {0, 3}, {0, 1, 2}, {0, 1, 2, 3}};
      for (size_t p = 0; p < static_cast<size_t>(width) * height; ++p)
        for (int c = 0; c < bpp; ++c)
          ASSERT_EQ(d.rgba[p * 4 + picks[bpp][c]], s.samples[p * bpp + c])
              << "bpp " << bpp << ", filter " << filter << ", pixel " << p;
    }
}

TEST(PngCodec, GrayIsWrittenFromRedAndAlpha) {
  TempDir dir;
  Image image;
  image.b.width = 2;
  image.b.height = 1;
  image.b.channels = 2;
  ASSERT_EQ(AllocImagePixels(&image.b), 1);
  const unsigned char px[8] = {10, 99, 98, 20, 30, 97, 96, 40};
  memcpy(image.b.pixels, px, 8);
  ASSERT_EQ(WritePng(dir.File("ga.png").c_str(), &image.b), 1);
  Image back;
  ASSERT_EQ(ReadResult(dir.File("ga.png"), &back), 1);
  EXPECT_EQ(Bytes(back.b.pixels, back.b.pixels + 8), (Bytes{10, 10, 10, 20, 30, 30, 30, 40}));
}

TEST(ThreadedPngCodec, WriteFailuresReturnZero) {
  TempDir dir;
  Image image;
  FillPicture(&image, 40, 30, 3);
  EXPECT_EQ(WritePng(dir.File("none/x.png").c_str(), &image.b), 0);
  if (HaveFullDevice()) {
    const int before = OpenFileCount();
    EXPECT_EQ(WritePng("/dev/full", &image.b), 0) << "failed write";
    EXPECT_EQ(OpenFileCount(), before);
  }
  // a header value libpng refuses: width beyond its user limit of 1,000,000
  Image wide;
  wide.b.width = 1000001;
  wide.b.height = 1;
  ASSERT_EQ(AllocImagePixels(&wide.b), 1);
  EXPECT_EQ(WritePng(dir.File("wide.png").c_str(), &wide.b), 0);
}

TEST(PngCodec, WrittenFilesDecodeAlikeInImageMagick) {
  QUILLET_REQUIRE_IMAGEMAGICK();
  TempDir dir;
  for (int channels = 1; channels <= 4; ++channels)
    for (int w : {1, 7}) {
      Image image;
      FillPicture(&image, w, 5, channels);
      const std::string path = dir.File("m.png");
      ASSERT_EQ(WritePng(path.c_str(), &image.b), 1);
      Decoded d;
      ASSERT_TRUE(MagickDecode(path, &d));
      EXPECT_TRUE(SamePixels(image.b, d)) << channels << " " << w;
    }
}

// Every file of libpng's PngSuite: each valid one reads to ImageMagick's pixels, alpha from
// tRNS included (gamma chunks not applied; 16-bit files within 1), interlaced files equal
// their plain twins, and each damaged one (x...) is refused.
TEST(PngCodec, PngSuite) {
  QUILLET_REQUIRE_IMAGEMAGICK();
  const fs::path suite = FindSuite("libpng1.6-", "contrib/pngsuite");
  if (suite.empty())
    GTEST_SKIP()
        << "PngSuite not found under " << CacheDir() / "src"
        << "/libpng1.6-*/contrib/pngsuite (scripts/setup-deps unpacks it; set QUILLET_CACHE)";
  std::vector<std::string> files = FilesWithExtension(suite, ".png");
  for (const fs::path& more : {suite / "interlaced", suite / ".." / "testpngs"}) {
    const auto found = FilesWithExtension(more, ".png");
    files.insert(files.end(), found.begin(), found.end());
  }
  ASSERT_GT(files.size(), 150u);
  int accepted = 0;
  for (const auto& path : files) {
    const std::string name = fs::path(path).filename().string();
    Image image;
    const int result = ReadResult(path, &image);
    if (name[0] == 'x') { // damaged, where the suite carries them
      EXPECT_EQ(result, 0) << path;
      continue;
    }
    ASSERT_EQ(result, 1) << path;
    ++accepted;
    const Bytes f = ReadFile(path);
    const int depth = f[24], colorType = f[25];
    bool trns = false;
    for (const auto& c : Chunks(f))
      trns = trns || c.first == "tRNS";
    const int channels[] = {1, 0, 3, 3, 2, 0, 4};
    EXPECT_EQ(image.b.channels, channels[colorType] + (trns ? 1 : 0)) << path;
    Decoded d;
    // "-set colorspace sRGB" only relabels: ImageMagick would otherwise apply a gAMA of 1.0
    // (linear) on output, which the reader by design does not.
    ASSERT_TRUE(MagickDecode(path, &d, "-set colorspace sRGB")) << path;
    EXPECT_TRUE(SamePixels(image.b, d, depth == 16 ? 1 : 0)) << path;
    if (name[0] == 'i') {
      const fs::path plain = suite / name.substr(1);
      Image twin;
      ASSERT_EQ(ReadResult(plain.string(), &twin), 1) << plain;
      EXPECT_TRUE(SameImage(image.b, twin.b)) << name;
      EXPECT_EQ(image.b.channels, twin.b.channels);
    }
  }
  EXPECT_GE(accepted, 150);
}

// PngSuite's damaged files (x...), made from its valid ones as the suite describes them
// (where the suite shipped does not carry them): every one is refused.
TEST(PngCodec, PngSuiteDamagedFilesAreRefused) {
  const fs::path suite = FindSuite("libpng1.6-", "contrib/pngsuite");
  if (suite.empty())
    GTEST_SKIP() << "PngSuite not found under " << CacheDir() / "src";
  TempDir dir;
  auto patchHeader = [](Bytes f, size_t at, unsigned char value) {
    f[8 + 8 + at] = value; // an IHDR field, the CRC made right again
    FixChunkCrc(&f, 8);
    return f;
  };
  auto insertBefore = [](const Bytes& f, unsigned char before, unsigned char added) {
    Bytes out;
    for (unsigned char b : f) {
      if (b == before)
        out.push_back(added);
      out.push_back(b);
    }
    return out;
  };
  auto withoutChunk = [](const Bytes& f, const std::string& type) {
    Bytes out(f.begin(), f.begin() + 8);
    for (const auto& c : Chunks(f))
      if (c.first != type)
        PutChunk(&out, c.first.c_str(), c.second);
    return out;
  };
  auto damagedByte = [](Bytes f, size_t at, unsigned char value) {
    f[at] = value;
    return f;
  };
  const Bytes g01 = ReadFile((suite / "basn0g01.png").string());
  const Bytes g04 = ReadFile((suite / "basn0g04.png").string());
  const Bytes g08 = ReadFile((suite / "basn0g08.png").string());
  const Bytes c08 = ReadFile((suite / "basn2c08.png").string());
  ASSERT_FALSE(g01.empty() || g04.empty() || g08.empty() || c08.empty());
  size_t idatCrc = 8;
  for (const auto& c : Chunks(g01)) {
    if (c.first == "IDAT") {
      idatCrc += 8 + c.second.size();
      break;
    }
    idatCrc += 12 + c.second.size();
  }
  const struct {
    const char* name;
    Bytes file;
  } cases[] = {
      {"xs1n0g01 signature byte 1 MSBit reset", damagedByte(g01, 0, 0x09)},
      {"xs2n0g01 signature byte 2 is a 'Q'", damagedByte(g01, 1, 'Q')},
      {"xs4n0g01 signature byte 4 lowercase", damagedByte(g01, 3, 'g')},
      {"xs7n0g01 7th byte a space instead of control-Z", damagedByte(g01, 6, ' ')},
      {"xcrn0g04 added cr bytes", insertBefore(g04, '\n', '\r')},
      {"xlfn0g04 added lf bytes", insertBefore(g04, '\r', '\n')},
      {"xhdn0g08 incorrect IHDR checksum", damagedByte(g08, 8 + 8 + 13, g08[8 + 8 + 13] ^ 1)},
      {"xc1n0g08 color type 1", patchHeader(g08, 9, 1)},
      {"xc9n2c08 color type 9", patchHeader(c08, 9, 9)},
      {"xd0n2c08 bit-depth 0", patchHeader(c08, 8, 0)},
      {"xd3n2c08 bit-depth 3", patchHeader(c08, 8, 3)},
      {"xd9n2c08 bit-depth 99", patchHeader(c08, 8, 99)},
      {"xdtn0g01 missing IDAT chunk", withoutChunk(g01, "IDAT")},
      {"xcsn0g01 incorrect IDAT checksum", damagedByte(g01, idatCrc, g01[idatCrc] ^ 1)},
  };
  for (const auto& c : cases) {
    const std::string path = dir.File("x.png");
    WriteFile(path, c.file);
    Image image;
    EXPECT_EQ(ReadResult(path, &image), 0) << c.name;
  }
}

} // namespace
