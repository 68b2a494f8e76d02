// JPEG reader and writer, checked against libjpeg-turbo's test images and
// ImageMagick as the independent decoder.
#include "image/convert/convert_image.h"
#include "image/convert/read_metadata.h"
#include "image/jpeg/jpeg_codec.h"
#include "image/meta/image_metadata.h"
#include "image/work/scheduler.h"

#include "tests/unit/image/image_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <cstdio>

#include <jpeglib.h>

using namespace imgtest;

namespace {

struct Markers {
  std::vector<int> sofTypes; // 0xC0.. markers seen
  int components = 0;        // from the first SOF
  int width = 0, height = 0;
  bool sixteenBitTables = false; // any DQT with 16-bit precision
  unsigned restartInterval = 0;  // from a DRI
};

Markers ScanMarkers(const Bytes& f) {
  Markers m;
  size_t at = 2;
  while (at + 4 <= f.size() && f[at] == 0xFF) {
    const int marker = f[at + 1];
    const size_t length = (f[at + 2] << 8) | f[at + 3];
    if (marker == 0xDA)
      break; // start of scan
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      m.sofTypes.push_back(marker);
      m.height = (f[at + 5] << 8) | f[at + 6];
      m.width = (f[at + 7] << 8) | f[at + 8];
      m.components = f[at + 9];
    }
    if (marker == 0xDD)
      m.restartInterval = (f[at + 4] << 8) | f[at + 5];
    if (marker == 0xDB) {
      for (size_t p = at + 4; p < at + 2 + length;) {
        const bool wide = (f[p] >> 4) != 0;
        m.sixteenBitTables |= wide;
        p += 1 + (wide ? 128 : 64);
      }
    }
    at += 2 + length;
  }
  return m;
}

double Psnr(const ImageBuffer& a, const ImageBuffer& b) {
  double sum = 0;
  const size_t n = static_cast<size_t>(a.width) * a.height;
  for (size_t i = 0; i < n; ++i)
    for (int c = 0; c < 3; ++c) {
      const double d = double(a.pixels[i * 4 + c]) - double(b.pixels[i * 4 + c]);
      sum += d * d;
    }
  const double mse = sum / (n * 3.0);
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

int ReadResult(const std::string& path, Image* image) {
  const int before = OpenFileCount();
  const int result = ReadJpeg(path.c_str(), &image->b);
  EXPECT_EQ(OpenFileCount(), before) << "a file was left open: " << path;
  return result;
}

// A JPEG-friendly picture: top and bottom halves differ in brightness (which chroma
// subsampling keeps sharp), with a mild colour cast and a small horizontal pattern.
void FillSmooth(Image* image, int w, int h, int channels) {
  image->b.width = w;
  image->b.height = h;
  image->b.channels = channels;
  ASSERT_EQ(AllocImagePixels(&image->b), 1);
  for (int row = 0; row < h; ++row)
    for (int x = 0; x < w; ++x) {
      unsigned char* p = image->At(x, row);
      const int base = row >= h / 2 ? 200 : 40;
      const bool gray = channels <= 2;
      p[0] = static_cast<unsigned char>(base + (gray ? 0 : 20) + x % 4);
      p[1] = static_cast<unsigned char>(base + x % 4);
      p[2] = static_cast<unsigned char>(base + (gray ? 0 : -20) + x % 4);
      if (gray)
        p[1] = p[2] = p[0];
      p[3] = static_cast<unsigned char>(x * 9);
    }
}

TEST(JpegCodec, SignatureTest) {
  TempDir dir;
  WriteFile(dir.File("soi"), Bytes{0xFF, 0xD8});
  WriteFile(dir.File("soi+"), Bytes{0xFF, 0xD8, 1, 2, 3});
  WriteFile(dir.File("one"), Bytes{0xFF});
  WriteFile(dir.File("empty"), Bytes{});
  WriteFile(dir.File("png"), Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10});
  EXPECT_EQ(IsJpegFile(dir.File("soi").c_str()), 1);
  EXPECT_EQ(IsJpegFile(dir.File("soi+").c_str()), 1);
  EXPECT_EQ(IsJpegFile(dir.File("one").c_str()), 0);
  EXPECT_EQ(IsJpegFile(dir.File("empty").c_str()), 0);
  EXPECT_EQ(IsJpegFile(dir.File("png").c_str()), 0);
  EXPECT_EQ(IsJpegFile(dir.File("missing").c_str()), 0);
  Image image;
  EXPECT_EQ(ReadResult(dir.File("one"), &image), 0);
  EXPECT_EQ(ReadResult(dir.File("png"), &image), 0);
}

// Mend: a fatal library error returns 0 instead of ending the process.
TEST(JpegCodec, FatalLibraryErrorsReturnZero) {
  TempDir dir;
  int n = 0;
  auto result = [&](const Bytes& bytes) {
    const std::string path = dir.File("f" + std::to_string(++n) + ".jpg");
    WriteFile(path, bytes);
    Image image;
    return ReadResult(path, &image);
  };
  EXPECT_EQ(result(Bytes{0xFF, 0xD8}), 0) << "signature only: no image";
  EXPECT_EQ(result(Bytes{0xFF, 0xD8, 0xFF, 0xD9}), 0) << "no image";
  EXPECT_EQ(result(Bytes{0xFF, 0xD8, 0x12, 0x34, 0x56}), 0) << "garbage";
  // A real file with its frame header damaged.
  Image image;
  FillSmooth(&image, 16, 16, 3);
  ASSERT_EQ(WriteJpeg(dir.File("ok.jpg").c_str(), &image.b, 90), 1);
  Bytes f = ReadFile(dir.File("ok.jpg"));
  for (size_t i = 2; i + 9 < f.size(); ++i)
    if (f[i] == 0xFF && f[i + 1] == 0xC0) {
      f[i + 9] = 0; // zero components
      break;
    }
  EXPECT_EQ(result(f), 0) << "bad frame header";
}

// A file cut short inside its compressed data is refused, with nothing left open.
TEST(JpegCodec, TruncatedFileIsRefused) {
  TempDir dir;
  Image image;
  FillPicture(&image, 64, 48, 3);
  ASSERT_EQ(WriteJpeg(dir.File("full.jpg").c_str(), &image.b, 90), 1);
  const Bytes f = ReadFile(dir.File("full.jpg"));
  WriteFile(dir.File("cut.jpg"), Bytes(f.begin(), f.begin() + f.size() * 2 / 3));
  Image back;
  EXPECT_EQ(ReadResult(dir.File("cut.jpg"), &back), 0);
}

TEST(JpegCodec, GrayRoundTrip) {
  TempDir dir;
  Image image;
  FillSmooth(&image, 17, 9, 1);
  ASSERT_EQ(WriteJpeg(dir.File("g.jpg").c_str(), &image.b, 95), 1);
  const Markers m = ScanMarkers(ReadFile(dir.File("g.jpg")));
  EXPECT_EQ(m.components, 1);
  EXPECT_EQ(m.sofTypes, std::vector<int>{0xC0});
  Image back;
  ASSERT_EQ(ReadResult(dir.File("g.jpg"), &back), 1);
  EXPECT_EQ(back.b.channels, 1);
  for (int i = 0; i < 17 * 9; ++i) {
    const unsigned char* p = back.b.pixels + i * 4;
    EXPECT_EQ(p[0], p[1]);
    EXPECT_EQ(p[0], p[2]);
    EXPECT_EQ(p[3], 255);
  }
  EXPECT_GT(Psnr(image.b, back.b), 30.0);
}

// Pictures with alpha are laid over white: a x colour + (255 - a) x white.
TEST(JpegCodec, ColourFromTwoThreeAndFourChannels) {
  TempDir dir;
  for (int channels : {2, 3, 4}) {
    Image image;
    FillSmooth(&image, 16, 16, channels);
    Image seen; // the picture as it should look
    FillSmooth(&seen, 16, 16, channels);
    for (int i = 0; i < 16 * 16 && channels != 3; ++i)
      for (int k = 0; k < 3; ++k) {
        unsigned char* p = seen.b.pixels + i * 4;
        p[k] = static_cast<unsigned char>(std::lround((p[k] * p[3] + 255.0 * (255 - p[3])) / 255));
      }
    const std::string path = dir.File("c" + std::to_string(channels) + ".jpg");
    ASSERT_EQ(WriteJpeg(path.c_str(), &image.b, 95), 1);
    EXPECT_EQ(ScanMarkers(ReadFile(path)).components, 3) << channels;
    Image back;
    ASSERT_EQ(ReadResult(path, &back), 1);
    EXPECT_EQ(back.b.channels, 3);
    for (int i = 0; i < 16 * 16; ++i)
      EXPECT_EQ(back.b.pixels[i * 4 + 3], 255);
    EXPECT_GT(Psnr(seen.b, back.b), 30.0) << channels;
  }
}

TEST(JpegCodec, KeepsOrientationAndOddSizes) {
  TempDir dir;
  const int sizes[][2] = {{1, 1}, {2, 1}, {1, 3}, {3, 5}, {7, 2}, {33, 17}};
  for (const auto& s : sizes) {
    Image image;
    FillSmooth(&image, s[0], s[1], 3);
    const std::string path = dir.File("o.jpg");
    ASSERT_EQ(WriteJpeg(path.c_str(), &image.b, 100), 1);
    const Markers m = ScanMarkers(ReadFile(path));
    EXPECT_EQ(m.width, s[0]);
    EXPECT_EQ(m.height, s[1]);
    Image back;
    ASSERT_EQ(ReadResult(path, &back), 1);
    // bottom rows stay dark and top rows bright: not flipped
    EXPECT_TRUE(SameImage(image.b, back.b, 24, 0x7)) << s[0] << "x" << s[1];
  }
}

TEST(JpegCodec, QualityOneAndHundredAreBaseline) {
  TempDir dir;
  Image image;
  FillPicture(&image, 40, 24, 3);
  for (int q : {1, 50, 100}) {
    const std::string path = dir.File("q" + std::to_string(q) + ".jpg");
    ASSERT_EQ(WriteJpeg(path.c_str(), &image.b, q), 1);
    const Markers m = ScanMarkers(ReadFile(path));
    EXPECT_EQ(m.sofTypes, std::vector<int>{0xC0}) << q;
    EXPECT_FALSE(m.sixteenBitTables) << q;
    Image back;
    EXPECT_EQ(ReadResult(path, &back), 1);
  }
}

// Reference file written the plain way: packed RGB (or gray) rows, defaults, quality, and
// libjpeg's own Huffman tables fitted to the picture (optimize = false: the standard tables),
// with a restart marker every restartInterval MCUs when it is not 0.
Bytes PlainLibjpegFile(const ImageBuffer& image, int quality, const std::string& path,
                       bool optimize = true, unsigned restartInterval = 0) {
  FILE* file = fopen(path.c_str(), "wb");
  jpeg_compress_struct c;
  jpeg_error_mgr e;
  c.err = jpeg_std_error(&e);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, file);
  const bool gray = image.channels == 1;
  c.image_width = image.width;
  c.image_height = image.height;
  c.input_components = gray ? 1 : 3;
  c.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  for (int k = 0; quality >= 90 && k < c.num_components; ++k) // full-resolution colour
    c.comp_info[k].h_samp_factor = c.comp_info[k].v_samp_factor = 1;
  c.optimize_coding = optimize ? TRUE : FALSE;
  c.restart_interval = restartInterval;
  jpeg_start_compress(&c, TRUE);
  Bytes row(static_cast<size_t>(image.width) * 3);
  while (c.next_scanline < c.image_height) {
    const unsigned char* s = image.pixels + (image.height - 1 - c.next_scanline) * image.width * 4;
    for (int x = 0; x < image.width; ++x)
      for (int k = 0; k < (gray ? 1 : 3); ++k)
        row[x * (gray ? 1 : 3) + k] = s[x * 4 + k];
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  fclose(file);
  return ReadFile(path);
}

// The writer's direct RGBA input gives the very file that packed RGB input gives, and the
// reader's direct RGBA output the very samples of the default RGB output (checked against
// ImageMagick in AgreesWithImageMagick).
TEST(JpegCodec, SameFileAsPlainRgbInput) {
  TempDir dir;
  // Pictures with alpha are laid over white first (see ColourFromTwoThreeAndFourChannels).
  for (int channels : {1, 3})
    for (int q : {1, 80, 100}) {
      Image image;
      FillPicture(&image, 37, 21, channels);
      const std::string path = dir.File("ours.jpg");
      ASSERT_EQ(WriteJpeg(path.c_str(), &image.b, q), 1);
      EXPECT_EQ(ReadFile(path), PlainLibjpegFile(image.b, q, dir.File("plain.jpg")))
          << channels << " channels, quality " << q;
    }
}

// A mostly flat picture with rare specks: skewed symbol counts, so that some fitted codes
// would be longer than the 16 bits a JPEG table allows.
void FillSpeckled(Image* image, int width, int height, int channels) {
  image->b.width = width;
  image->b.height = height;
  image->b.channels = channels;
  ASSERT_EQ(AllocImagePixels(&image->b), 1);
  uint32_t state = 7;
  for (int row = 0; row < height; ++row)
    for (int x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      const unsigned char v =
          (state >> 20) % 4000 == 0 ? static_cast<unsigned char>(state >> 8) : 128;
      unsigned char* p = image->At(x, row);
      p[0] = v;
      p[1] = static_cast<unsigned char>(255 - v);
      p[2] = v;
      p[3] = 255;
    }
}

struct FitCase {
  int width, height, channels;
  bool speckled;
};

// Our file for the case at quality q: the very file libjpeg writes with its own fitted tables
// and our restart interval (the standard tables make it larger); that interval.
unsigned ExpectLibjpegsOwnFile(const FitCase& c, int q) {
  TempDir dir;
  Image image;
  if (c.speckled)
    FillSpeckled(&image, c.width, c.height, c.channels);
  else
    FillPicture(&image, c.width, c.height, c.channels, 3);
  // Opaque, since a picture with alpha is laid over white first.
  if (c.channels == 4)
    for (size_t i = 3; i < ImagePixelBytes(image.b.width, image.b.height); i += 4)
      image.b.pixels[i] = 255;
  const std::string path = dir.File("ours.jpg");
  EXPECT_EQ(WriteJpeg(path.c_str(), &image.b, q), 1);
  const Bytes ours = ReadFile(path);
  const std::string what = std::to_string(c.width) + "x" + std::to_string(c.height) + "x" +
                           std::to_string(c.channels) + " q" + std::to_string(q);
  const Markers m = ScanMarkers(ours);
  EXPECT_EQ(ours, PlainLibjpegFile(image.b, q, dir.File("plain.jpg"), true, m.restartInterval))
      << what;
  EXPECT_EQ(m.sofTypes, std::vector<int>{0xC0}) << what;
  if (c.width >= 640) {
    EXPECT_LT(ours.size(), PlainLibjpegFile(image.b, q, dir.File("standard.jpg"), false).size())
        << what << ": no smaller than with the standard tables";
  }
  return m.restartInterval;
}

// The writer compresses bands of the picture on several threads, each band one restart
// interval, and fits its tables from their counts: for pictures of every kind, size and
// quality, one band or several, libjpeg's own file.
TEST(ThreadedJpegCodec, FittedTablesAreLibjpegsOwn) {
  const FitCase cases[] = {{1, 1, 3, false},      {1, 1, 1, false},     {17, 9, 3, false},
                           {640, 480, 3, false},  {640, 480, 1, false}, {333, 1001, 4, false},
                           {1500, 1200, 3, true}, {1500, 1200, 1, true}};
  for (const FitCase& c : cases)
    for (int q : {1, 80, 100})
      ExpectLibjpegsOwnFile(c, q);
}

// A photo's size, and the widest gray picture: a restart interval holds at most 65535 MCUs,
// so it makes many bands, more than the eight restart marker numbers.
TEST(JpegCodec, LargePicturesInManyBandsAreLibjpegsOwn) {
  ExpectLibjpegsOwnFile({4000, 3000, 3, false}, 80);
  const unsigned interval = ExpectLibjpegsOwnFile({65000, 600, 1, false}, 80);
  if (ThreadsToUse() > 1) {
    EXPECT_EQ(interval, 8u * 8125u) << "8 MCU rows of 8125 MCUs";
  }
}

// The first band goes to the file as it is compressed, its headers held until the scan's is
// in: headers longer than its first buffer (a 200 KB profile in four segments) come out
// whole, and the picture decodes as it does without them.
TEST(JpegCodec, LongHeadersBeforeBandsComeOutWhole) {
  TempDir dir;
  Image image;
  FillPicture(&image, 1500, 1200, 3, 3);
  ImageMetadata meta;
  InitImageMetadata(&meta);
  Bytes profile(200000);
  for (size_t i = 0; i < profile.size(); ++i)
    profile[i] = static_cast<unsigned char>(i * 7 + (i >> 9));
  ASSERT_EQ(SetMetadataBlock(&meta.icc, profile.data(), profile.size()), 1);
  const std::string with = dir.File("with.jpg"), without = dir.File("without.jpg");
  ASSERT_EQ(EncodeJpeg(with.c_str(), &image.b, 80, &meta, nullptr, nullptr), kImageOk);
  ASSERT_EQ(WriteJpeg(without.c_str(), &image.b, 80), 1);
  FreeImageMetadata(&meta);

  ImageMetadata back;
  InitImageMetadata(&back);
  ReadImageMetadata(with.c_str(), kImageJpeg, &back);
  EXPECT_EQ(Bytes(back.icc.data, back.icc.data + back.icc.size), profile);
  FreeImageMetadata(&back);
  const Markers m = ScanMarkers(ReadFile(with));
  EXPECT_EQ(m.height, 1200);
  EXPECT_EQ(m.restartInterval, ScanMarkers(ReadFile(without)).restartInterval);
  Image a, b;
  ASSERT_EQ(ReadJpeg(with.c_str(), &a.b), 1);
  ASSERT_EQ(ReadJpeg(without.c_str(), &b.b), 1);
  EXPECT_TRUE(std::equal(a.b.pixels, a.b.pixels + ImagePixelBytes(1500, 1200), b.b.pixels));
}

TEST(ThreadedJpegCodec, WriteFailuresReturnZero) {
  TempDir dir;
  Image image;
  FillPicture(&image, 300, 200, 3);
  EXPECT_EQ(WriteJpeg(dir.File("none/x.jpg").c_str(), &image.b, 80), 0);
  if (HaveFullDevice()) {
    const int before = OpenFileCount();
    EXPECT_EQ(WriteJpeg("/dev/full", &image.b, 80), 0) << "failed write: library error";
    EXPECT_EQ(OpenFileCount(), before);
  }
  Image tooWide; // beyond JPEG_MAX_DIMENSION: a library error
  tooWide.b.width = 70000;
  tooWide.b.height = 1;
  ASSERT_EQ(AllocImagePixels(&tooWide.b), 1);
  EXPECT_EQ(WriteJpeg(dir.File("wide.jpg").c_str(), &tooWide.b, 80), 0);
  Image empty;
  EXPECT_EQ(WriteJpeg(dir.File("e.jpg").c_str(), &empty.b, 80), 0);
  EXPECT_FALSE(Exists(dir.File("e.jpg")));
}

TEST(JpegCodec, AgreesWithImageMagick) {
  QUILLET_REQUIRE_IMAGEMAGICK();
  TempDir dir;
  for (int channels : {1, 3})
    for (int w : {1, 5, 33}) {
      Image image;
      FillPicture(&image, w, 9, channels);
      const std::string path = dir.File("m.jpg");
      ASSERT_EQ(WriteJpeg(path.c_str(), &image.b, 80), 1);
      Image back;
      ASSERT_EQ(ReadResult(path, &back), 1);
      Decoded d;
      ASSERT_TRUE(MagickDecode(path, &d));
      EXPECT_TRUE(SamePixels(back.b, d, 0, 0x7)) << channels << " " << w;
    }
  // and a JPEG that ImageMagick wrote (4:4:4 and progressive) reads to ImageMagick's pixels
  Image image;
  FillPicture(&image, 23, 11, 3);
  for (const std::string options : {"-quality 90", "-quality 70 -interlace JPEG"}) {
    const std::string path = dir.File("im.jpg");
    ASSERT_TRUE(MagickEncode(image.b, dir.File("raw"), path, options));
    Image back;
    ASSERT_EQ(ReadResult(path, &back), 1);
    Decoded d;
    ASSERT_TRUE(MagickDecode(path, &d));
    EXPECT_TRUE(SamePixels(back.b, d, 0, 0x7)) << options;
  }
}

// Colour gradients, the kind of picture printers' files hold.
void FillGradient(Image* image, int w, int h) {
  image->b.width = w;
  image->b.height = h;
  image->b.channels = 3;
  ASSERT_EQ(AllocImagePixels(&image->b), 1);
  for (int row = 0; row < h; ++row)
    for (int x = 0; x < w; ++x) {
      unsigned char* p = image->At(x, row);
      p[0] = static_cast<unsigned char>(x * 255 / (w - 1));
      p[1] = static_cast<unsigned char>(row * 255 / (h - 1));
      p[2] = static_cast<unsigned char>(255 - (x + row) * 255 / (w + h - 2));
      p[3] = 255;
    }
}

// Writes image as a four-component JPEG through libjpeg: inks with r = (1 - c)(1 - k),
// stored inverted with an Adobe marker (as the usual editors write them) or plain without.
void WriteInkJpeg(const std::string& path, const ImageBuffer& image, J_COLOR_SPACE space,
                  bool adobe) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, file);
  c.image_width = static_cast<JDIMENSION>(image.width);
  c.image_height = static_cast<JDIMENSION>(image.height);
  c.input_components = 4;
  c.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&c);
  jpeg_set_colorspace(&c, space);
  c.write_Adobe_marker = adobe ? TRUE : FALSE;
  jpeg_set_quality(&c, 95, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row(static_cast<size_t>(image.width) * 4);
  while (c.next_scanline < c.image_height) {
    const unsigned char* p =
        image.pixels + static_cast<size_t>(image.height - 1 - c.next_scanline) * image.width * 4;
    for (int x = 0; x < image.width; ++x, p += 4) {
      const int k = 255 - std::max({p[0], p[1], p[2]});
      for (int i = 0; i < 4; ++i) {
        const int ink = i == 3 ? k : k == 255 ? 0 : 255 - (p[i] * 255 + (255 - k) / 2) / (255 - k);
        row[x * 4 + i] = static_cast<JSAMPLE>(adobe ? 255 - ink : ink);
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(file);
}

bool Opaque(const ImageBuffer& image) {
  for (size_t i = 0; i < static_cast<size_t>(image.width) * image.height; ++i)
    if (image.pixels[i * 4 + 3] != 255)
      return false;
  return true;
}

// CMYK and YCCK files read as opaque colour pictures with the colours they print, in both
// conventions of storing the inks; K never reaches alpha.
TEST(JpegCodec, CmykAndYcckFilesReadAsColour) {
  TempDir dir;
  Image source;
  FillGradient(&source, 48, 32);
  const struct {
    const char* what;
    J_COLOR_SPACE space;
    bool adobe;
  } cases[] = {
      {"CMYK, Adobe", JCS_CMYK, true}, {"CMYK, plain", JCS_CMYK, false}, {"YCCK", JCS_YCCK, true}};
  for (const auto& c : cases) {
    const std::string path = dir.File("ink.jpg");
    WriteInkJpeg(path, source.b, c.space, c.adobe);
    EXPECT_EQ(ScanMarkers(ReadFile(path)).components, 4) << c.what;
    Image back;
    ASSERT_EQ(ReadResult(path, &back), 1) << c.what;
    EXPECT_EQ(back.b.channels, 3) << c.what;
    EXPECT_TRUE(Opaque(back.b)) << c.what;
    EXPECT_GE(Psnr(source.b, back.b), 30.0) << c.what;
  }
}

// CMYK JPEGs as ImageMagick makes them read as ImageMagick itself reads them.
TEST(JpegCodec, ImageMagickCmykFilesAgreeWithImageMagick) {
  QUILLET_REQUIRE_IMAGEMAGICK();
  TempDir dir;
  Image source;
  FillGradient(&source, 61, 35);
  for (const std::string options : {"-quality 92", "-quality 75 -sampling-factor 2x2"}) {
    const std::string path = dir.File("cmyk.jpg");
    ASSERT_TRUE(MagickEncode(source.b, dir.File("raw"), path, "-colorspace CMYK " + options));
    ASSERT_EQ(ScanMarkers(ReadFile(path)).components, 4);
    Image back;
    ASSERT_EQ(ReadResult(path, &back), 1) << options;
    EXPECT_EQ(back.b.channels, 3);
    EXPECT_TRUE(Opaque(back.b));
    Decoded d;
    ASSERT_TRUE(MagickDecode(path, &d, "-colorspace sRGB"));
    Image magick;
    magick.b.width = d.width;
    magick.b.height = d.height;
    ASSERT_EQ(AllocImagePixels(&magick.b), 1);
    const size_t rowBytes = static_cast<size_t>(d.width) * 4;
    for (int row = 0; row < d.height; ++row)
      memcpy(magick.At(0, row), d.rgba.data() + (d.height - 1 - row) * rowBytes, rowBytes);
    EXPECT_GE(Psnr(magick.b, back.b), 30.0) << options;
    EXPECT_GE(Psnr(source.b, back.b), 30.0) << options;
  }
}

// libjpeg-turbo's test images: the 8-bit files read to ImageMagick's pixels; the 12-bit file
// is not decodable by the 8-bit library and gives 0 (a library error that returns).
TEST(JpegCodec, LibjpegTurboTestImages) {
  QUILLET_REQUIRE_IMAGEMAGICK();
  const fs::path suite = FindSuite("libjpeg-turbo-", "testimages");
  if (suite.empty())
    GTEST_SKIP() << "libjpeg-turbo's testimages not found under " << CacheDir() / "src"
                 << " (scripts/setup-deps unpacks them; set QUILLET_CACHE)";
  const auto files = FilesWithExtension(suite, ".jpg");
  ASSERT_GE(files.size(), 4u);
  int accepted = 0;
  for (const auto& path : files) {
    Image image;
    const int result = ReadResult(path, &image);
    if (path.find("12.jpg") != std::string::npos) {
      EXPECT_EQ(result, 0) << path;
      continue;
    }
    ASSERT_EQ(result, 1) << path;
    ++accepted;
    Decoded d;
    ASSERT_TRUE(MagickDecode(path, &d)) << path;
    EXPECT_TRUE(SamePixels(image.b, d, 0, 0x7)) << path;
  }
  EXPECT_GE(accepted, 3);
}

} // namespace
