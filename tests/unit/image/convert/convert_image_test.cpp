// The conversion driver in every direction, with ImageMagick making the sources
// and decoding the targets.
#include "image/convert/convert_image.h"

#include "image/bmp/bmp_codec.h"
#include "image/jpeg/jpeg_codec.h"
#include "image/png/png_codec.h"
#include "tests/unit/image/image_test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <set>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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
        // Targets without alpha show the picture laid over white, as ImageMagick flattens it.
        Decoded overWhite;
        ASSERT_TRUE(MagickDecode(source, &overWhite, alpha ? "-background white -flatten" : ""));
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
          // ImageMagick's flattening may round the other way.
          const int tolerance = to == kImageJpeg ? 24 : alpha && to == kImageBmp ? 1 : 0;
          EXPECT_TRUE(SamePixels(gotImage.b, to == kImagePng ? want : overWhite, tolerance, mask))
              << what;
          if (to == kImageJpeg) {
            // and what we wrote decodes in our reader exactly as in ImageMagick
            Image ours;
            ASSERT_EQ(ReadJpeg(target.c_str(), &ours.b), 1);
            EXPECT_TRUE(SamePixels(ours.b, got, 0, 0x7)) << what;
          }
        }
      }
}

TEST(ThreadedConvertImage, ConvertsAFileOntoItself) {
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
#ifndef _WIN32 // a device file to write on is Linux's
    if (Exists("/dev/full")) {
      EXPECT_EQ(ConvertImage(bmp.c_str(), "/dev/full", 0, type, 80), 2) << kExt[type];
      EXPECT_TRUE(fs::is_character_file("/dev/full")) << "a device is never replaced";
    }
#endif
    const std::string folder = dir.File(std::string("folder") + kExt[type]);
    fs::create_directory(folder);
    EXPECT_EQ(ConvertImage(bmp.c_str(), folder.c_str(), 0, type, 80), 2) << "a folder";
    EXPECT_TRUE(fs::is_directory(folder));
  }
  EXPECT_EQ(OpenFileCount(), before);
}

// The names in dir: a temporary file left behind shows here.
std::set<std::string> Names(const TempDir& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.File("")))
    names.insert(entry.path().filename().string());
  return names;
}

#ifndef _WIN32
// A full disk and a folder that root may not write are made with Linux's process limits; on
// Windows the hard-conditions check fills a real small disk instead.

// body's result in a child process that, started as root, no longer may write everywhere.
int Unprivileged(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
      _exit(99);
    _exit(body());
  }
  int status = 0;
  return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status)
                                                                               : -1;
}

// body's result while no file may grow beyond 100 bytes: a disk that fills up early.
int OnAFullDisk(const std::function<int()>& body) {
  rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 100;
  void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  const int result = body();
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  return result;
}
#endif

TEST(ThreadedConvertImage, AFailedWriteKeepsTheOldTargetAndLeavesNothing) {
  Image picture;
  FillGentle(&picture, 40, 30, false);
  const Bytes old = {'o', 'l', 'd'};
  // Every target, from a BMP and from a PNG source.
  const int directions[][2] = {{kImageBmp, kImageBmp},
                               {kImagePng, kImageBmp},
                               {kImageBmp, kImagePng},
                               {kImageBmp, kImageJpeg}};
  for (const auto& direction : directions) {
    const int from = direction[0], type = direction[1];
    const std::string name = std::string("t") + kExt[type];
    struct {
      const char* what;
      std::function<int(const TempDir&, const std::string&, const std::string&)> run;
    } cases[] = {
        {"read-only target",
         [&](const TempDir&, const std::string& src, const std::string& target) {
           chmod(target.c_str(), 0444);
           const int result = ConvertImage(src.c_str(), target.c_str(), from, type, 80);
           chmod(target.c_str(), 0644); // Windows removes no read-only file
           return result;
         }},
#ifndef _WIN32
        {"full disk",
         [&](const TempDir&, const std::string& src, const std::string& target) {
           return OnAFullDisk(
               [&] { return ConvertImage(src.c_str(), target.c_str(), from, type, 80); });
         }},
        {"read-only folder",
         [&](const TempDir& dir, const std::string& src, const std::string& target) {
           chmod(dir.File("").c_str(), 0555);
           const int result = Unprivileged(
               [&] { return ConvertImage(src.c_str(), target.c_str(), from, type, 80); });
           chmod(dir.File("").c_str(), 0755);
           return result;
         }},
#endif
    };
    for (const auto& c : cases) {
      TempDir dir;
      const std::string src = dir.File(std::string("p") + kExt[from]);
      ASSERT_EQ(from == kImageBmp ? WriteBmp(src.c_str(), &picture.b)
                                  : WritePng(src.c_str(), &picture.b),
                1);
      const std::string target = dir.File(name);
      WriteFile(target, old);
      const std::string what = std::string(c.what) + " " + kExt[from] + " -> " + name;
      EXPECT_EQ(c.run(dir, src, target), 2) << what;
      EXPECT_EQ(ReadFile(target), old) << what;
      EXPECT_EQ(Names(dir), (std::set<std::string>{std::string("p") + kExt[from], name})) << what;
    }
#ifndef _WIN32
    // onto itself on a full disk: the source stays byte for byte
    TempDir dir;
    const std::string self = dir.File("self" + std::string(kExt[type]));
    ASSERT_EQ(type == kImageBmp   ? WriteBmp(self.c_str(), &picture.b)
              : type == kImagePng ? WritePng(self.c_str(), &picture.b)
                                  : WriteJpeg(self.c_str(), &picture.b, 20),
              1);
    const Bytes before = ReadFile(self);
    EXPECT_EQ(OnAFullDisk([&] { return ConvertImage(self.c_str(), self.c_str(), type, type, 95); }),
              2);
    EXPECT_EQ(ReadFile(self), before) << kExt[type];
    EXPECT_EQ(Names(dir).size(), 1u) << kExt[type];
#endif
  }
}

// A BMP from a PNG or JPEG, its picture's memory taken in on a second thread while the source
// decodes: byte for byte what WriteBmp writes of the decoded picture, over one block, many,
// and rows longer than a block; a source that fails half-way leaves the old target and no
// temporary file.
TEST(ThreadedConvertImage, ABmpFromADecodedSourceIsWhatWriteBmpWrites) {
  const int sizes[][2] = {{1, 1}, {7, 3001}, {30000, 3}, {641, 480}};
  for (const auto& size : sizes) {
    TempDir dir;
    Image picture;
    FillGentle(&picture, size[0], size[1], false);
    const std::string expected = dir.File("expected.bmp");
    ASSERT_EQ(WriteBmp(expected.c_str(), &picture.b), 1);
    for (int from = kImagePng; from <= kImageJpeg; ++from) {
      const std::string src = dir.File(std::string("src") + kExt[from]);
      ASSERT_EQ(from == kImagePng ? WritePng(src.c_str(), &picture.b)
                                  : WriteJpeg(src.c_str(), &picture.b, 100),
                1);
      Image decoded;
      ASSERT_EQ(from == kImagePng ? ReadPng(src.c_str(), &decoded.b)
                                  : ReadJpeg(src.c_str(), &decoded.b),
                1);
      ASSERT_EQ(WriteBmp(expected.c_str(), &decoded.b), 1);
      const std::string target = dir.File("target.bmp");
      EXPECT_EQ(ConvertImage(src.c_str(), target.c_str(), from, kImageBmp, 80), 0);
      EXPECT_EQ(ReadFile(target), ReadFile(expected))
          << kExt[from] << " " << size[0] << "x" << size[1];
    }
  }
  TempDir dir;
  Image picture;
  FillGentle(&picture, 640, 480, false);
  const std::string src = dir.File("cut.png");
  ASSERT_EQ(WritePng(src.c_str(), &picture.b), 1);
  Bytes png = ReadFile(src);
  png.resize(png.size() * 3 / 4);
  WriteFile(src, png);
  const std::string target = dir.File("t.bmp");
  WriteFile(target, Bytes{'o', 'l', 'd'});
  EXPECT_EQ(ConvertImage(src.c_str(), target.c_str(), kImagePng, kImageBmp, 80), 1);
  EXPECT_EQ(ReadFile(target), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(Names(dir), (std::set<std::string>{"cut.png", "t.bmp"}));
}

// A JPEG from a PNG, its symbols partly counted in the reader's spare time: byte for byte what
// WriteJpeg writes of the decoded picture, with or without alpha; a PNG cut short leaves no
// target.
TEST(ThreadedConvertImage, AJpegFromAPngIsWhatWriteJpegWrites) {
  struct Case {
    int width, height, channels;
    bool cut;
  };
  const Case cases[] = {
      {2000, 1500, 3, false}, {1200, 900, 4, false}, {5, 7, 3, false}, {1200, 900, 3, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.width << "x" << c.height << "x" << c.channels << (c.cut ? " cut" : ""));
    TempDir dir;
    Image picture;
    FillPicture(&picture, c.width, c.height, c.channels, 9);
    const std::string src = dir.File("src.png"), target = dir.File("t.jpg");
    ASSERT_EQ(WritePng(src.c_str(), &picture.b), 1);
    if (c.cut) {
      Bytes png = ReadFile(src);
      png.resize(png.size() * 2 / 3);
      WriteFile(src, png);
      EXPECT_EQ(ConvertImage(src.c_str(), target.c_str(), kImagePng, kImageJpeg, 80), 1);
      EXPECT_EQ(Names(dir), (std::set<std::string>{"src.png"}));
      continue;
    }
    const std::string expected = dir.File("expected.jpg");
    ASSERT_EQ(WriteJpeg(expected.c_str(), &picture.b, 80), 1);
    EXPECT_EQ(ConvertImage(src.c_str(), target.c_str(), kImagePng, kImageJpeg, 80), 0);
    EXPECT_EQ(ReadFile(target), ReadFile(expected));
  }
}

TEST(ConvertImage, ReplacesAnExistingTargetWhole) {
  TempDir dir;
  Image picture;
  FillGentle(&picture, 5, 3, false);
  const std::string src = dir.File("p.bmp");
  ASSERT_EQ(WriteBmp(src.c_str(), &picture.b), 1);
  for (int type = 0; type < 3; ++type) {
    const std::string target = dir.File(std::string("old") + kExt[type]);
    WriteFile(target, Bytes(100000, 0xAB)); // longer than what replaces it
    ASSERT_EQ(ConvertImage(src.c_str(), target.c_str(), 0, type, 90), 0) << kExt[type];
    Image got;
    EXPECT_EQ(type == kImageBmp   ? ReadBmp(target.c_str(), &got.b)
              : type == kImagePng ? ReadPng(target.c_str(), &got.b)
                                  : ReadJpeg(target.c_str(), &got.b),
              1);
    EXPECT_LT(ReadFile(target).size(), 100000u);
  }
  EXPECT_EQ(Names(dir), (std::set<std::string>{"p.bmp", "old.bmp", "old.png", "old.jpg"}));
  // The PNG's Title names the target, not the temporary file it was written as.
  const Bytes png = ReadFile(dir.File("old.png"));
  const std::string title = "Title" + std::string(1, '\0') + "old.png";
  EXPECT_NE(std::search(png.begin(), png.end(), title.begin(), title.end()), png.end());
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
