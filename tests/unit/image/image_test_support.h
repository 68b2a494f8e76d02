// Helpers shared by the image codec tests: temporary folders, files, generated pictures, and
// ImageMagick as the independent decoder (the machine's own, from the Windows builds too).
#pragma once

#include "base/byte_order.h"
#include "image/picture/image_buffer.h"
#include "tests/unit/support/machine_tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace imgtest {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    const fs::path base = fs::temp_directory_path();
    for (;;) {
      path_ =
          base / ("quillet-image-" + std::to_string(ProcessId()) + "-" + std::to_string(++counter));
      std::error_code ec;
      if (fs::create_directory(path_, ec))
        break;
    }
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline bool Exists(const std::string& path) { return fs::exists(path); }

// Whether /dev/full can stand for a full disk: Linux's. Under Wine the name reaches the same
// device through drive Z:, which tells nothing about Windows.
inline bool HaveFullDevice() {
#ifdef _WIN32
  return false;
#else
  return Exists("/dev/full");
#endif
}

// An owned ImageBuffer released at the end of the scope.
struct Image {
  ImageBuffer b;
  Image() { InitImageBuffer(&b); }
  ~Image() { FreeImagePixels(&b); }
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  unsigned char* At(int x, int row) {
    return b.pixels + (static_cast<size_t>(row) * b.width + x) * 4;
  }
  size_t Bytes() const { return static_cast<size_t>(b.width) * b.height * 4; }
  std::vector<unsigned char> Pixels() const {
    return std::vector<unsigned char>(b.pixels, b.pixels + Bytes());
  }
};

// A deterministic, photo-like-ish test picture: smooth gradients plus some noise. For
// channels 1 and 2 the colour is gray (R = G = B); alpha varies only for channels 2 and 4.
inline void FillPicture(Image* image, int width, int height, int channels, unsigned seed = 1) {
  image->b.width = width;
  image->b.height = height;
  image->b.channels = channels;
  ASSERT_EQ(AllocImagePixels(&image->b), 1);
  uint32_t state = seed * 2654435761u + 12345u;
  for (int row = 0; row < height; ++row) {
    for (int x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      const unsigned noise = (state >> 24) & 0x1F;
      unsigned char* p = image->At(x, row);
      const unsigned r = (x * 255 / (width > 1 ? width - 1 : 1) + noise) & 0xFF;
      const unsigned g = (row * 255 / (height > 1 ? height - 1 : 1) + noise * 3) & 0xFF;
      const unsigned b = ((x + row) * 7 + noise * 5) & 0xFF;
      if (channels <= 2) {
        p[0] = p[1] = p[2] = static_cast<unsigned char>((r + g + b) / 3);
      } else {
        p[0] = static_cast<unsigned char>(r);
        p[1] = static_cast<unsigned char>(g);
        p[2] = static_cast<unsigned char>(b);
      }
      p[3] = (channels == 2 || channels == 4)
                 ? static_cast<unsigned char>((x * 31 + row * 17) & 0xFF)
                 : 255;
    }
  }
}

// ----- ImageMagick as the independent decoder

inline bool HaveImageMagick() {
  static const int have = RunShell("convert -version >/dev/null 2>&1") == 0 ? 1 : 0;
  return have == 1;
}

#define QUILLET_REQUIRE_IMAGEMAGICK()                                                              \
  do {                                                                                             \
    if (!imgtest::HaveImageMagick())                                                               \
      GTEST_SKIP() << "ImageMagick's convert is not installed";                                    \
  } while (0)

inline std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

// A file's path quoted for the machine's shell.
inline std::string QuotePath(const std::string& path) { return Quote(ToolPath(path)); }

inline bool RunCapture(const std::string& command, Bytes* out) {
  return RunShell(command, out) == 0;
}

// A picture as ImageMagick decodes it: top row first, 4 bytes R, G, B, A per pixel.
struct Decoded {
  int width = 0;
  int height = 0;
  Bytes rgba;
};

// options go before the output, e.g. "-alpha off" to ignore transparency chunks.
inline bool MagickDecode(const std::string& path, Decoded* out, const std::string& options = "") {
  Bytes size;
  if (!RunCapture("identify -format '%w %h\\n' " + QuotePath(path) + "'[0]' 2>/dev/null", &size))
    return false;
  std::string text(size.begin(), size.end());
  if (std::sscanf(text.c_str(), "%d %d", &out->width, &out->height) != 2)
    return false;
  if (!RunCapture("convert " + QuotePath(path) + "'[0]' " + options +
                      " -depth 8 rgba:- 2>/dev/null",
                  &out->rgba))
    return false;
  return out->rgba.size() == static_cast<size_t>(out->width) * out->height * 4;
}

// A target as ImageMagick names it: a format prefix ("PNG24:") kept before the file's path.
inline std::string MagickPath(const std::string& target) {
  const size_t colon = target.find(':');
  size_t letters = 0;
  while (letters < target.size() && std::isalnum(static_cast<unsigned char>(target[letters])))
    ++letters;
  if (colon != std::string::npos && colon == letters && colon >= 2)
    return target.substr(0, colon + 1) + ToolPath(target.substr(colon + 1));
  return ToolPath(target);
}

// Writes an ImageBuffer as raw RGBA top-row-first and lets ImageMagick encode it.
inline bool MagickEncode(const ImageBuffer& image, const std::string& rawPath,
                         const std::string& target, const std::string& options = "") {
  Bytes raw(static_cast<size_t>(image.width) * image.height * 4);
  const size_t rowBytes = static_cast<size_t>(image.width) * 4;
  for (int i = 0; i < image.height; ++i)
    memcpy(raw.data() + i * rowBytes, image.pixels + (image.height - 1 - i) * rowBytes, rowBytes);
  WriteFile(rawPath, raw);
  const std::string cmd = "convert -size " + std::to_string(image.width) + "x" +
                          std::to_string(image.height) + " -depth 8 rgba:" + QuotePath(rawPath) +
                          " " + options + " " + Quote(MagickPath(target)) + " 2>/dev/null";
  return RunShell(cmd) == 0;
}

// Compares an ImageBuffer (bottom row first) with a decoded picture (top row first).
// mask selects the channels compared (bit 0 R .. bit 3 A); tolerance per sample.
inline ::testing::AssertionResult SamePixels(const ImageBuffer& image, const Decoded& decoded,
                                             int tolerance = 0, unsigned mask = 0xF) {
  if (image.width != decoded.width || image.height != decoded.height)
    return ::testing::AssertionFailure() << "size " << image.width << "x" << image.height << " vs "
                                         << decoded.width << "x" << decoded.height;
  const size_t rowBytes = static_cast<size_t>(image.width) * 4;
  int worst = 0;
  for (int row = 0; row < image.height; ++row) {
    const unsigned char* a = image.pixels + row * rowBytes;
    const unsigned char* b = decoded.rgba.data() + (image.height - 1 - row) * rowBytes;
    for (int x = 0; x < image.width; ++x)
      for (int c = 0; c < 4; ++c) {
        if (((mask >> c) & 1) == 0)
          continue;
        const int d = std::abs(a[x * 4 + c] - b[x * 4 + c]);
        if (d > worst)
          worst = d;
        if (d > tolerance)
          return ::testing::AssertionFailure()
                 << "pixel (" << x << ", row " << row << ") channel " << c << ": "
                 << int(a[x * 4 + c]) << " vs " << int(b[x * 4 + c]) << " (tolerance " << tolerance
                 << ")";
      }
  }
  return ::testing::AssertionSuccess() << "largest difference " << worst;
}

// Compares two ImageBuffers sample by sample.
inline ::testing::AssertionResult SameImage(const ImageBuffer& a, const ImageBuffer& b,
                                            int tolerance = 0, unsigned mask = 0xF) {
  if (a.width != b.width || a.height != b.height)
    return ::testing::AssertionFailure()
           << "size " << a.width << "x" << a.height << " vs " << b.width << "x" << b.height;
  const size_t n = static_cast<size_t>(a.width) * a.height;
  for (size_t i = 0; i < n; ++i)
    for (int c = 0; c < 4; ++c) {
      if (((mask >> c) & 1) == 0)
        continue;
      const int d = std::abs(a.pixels[i * 4 + c] - b.pixels[i * 4 + c]);
      if (d > tolerance)
        return ::testing::AssertionFailure()
               << "pixel " << (i % a.width) << ", row " << (i / a.width) << " channel " << c << ": "
               << int(a.pixels[i * 4 + c]) << " vs " << int(b.pixels[i * 4 + c]);
    }
  return ::testing::AssertionSuccess();
}

// ----- the public suites shipped with the libraries' Debian sources

inline fs::path CacheDir() {
  if (const char* q = std::getenv("QUILLET_CACHE"); q != nullptr && *q != '\0')
    return q;
  if (const char* x = std::getenv("XDG_CACHE_HOME"); x != nullptr && *x != '\0')
    return fs::path(x) / "quillet";
  const char* home = std::getenv("HOME");
  return fs::path(home != nullptr ? home : "") / ".cache" / "quillet";
}

// The first existing folder src/<prefix>*/<sub> under the cache, or an empty path.
inline fs::path FindSuite(const std::string& prefix, const std::string& sub) {
  std::error_code ec;
  const fs::path src = CacheDir() / "src";
  if (!fs::is_directory(src, ec))
    return {};
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(src, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.compare(0, prefix.size(), prefix) == 0 && fs::is_directory(entry.path() / sub, ec))
      found.push_back(entry.path() / sub);
  }
  std::sort(found.begin(), found.end());
  return found.empty() ? fs::path() : found.back();
}

inline std::vector<std::string> FilesWithExtension(const fs::path& dir, const std::string& ext) {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec))
    if (entry.is_regular_file() && entry.path().extension() == ext)
      files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

// ----- little-endian building blocks for hand-made files

inline void PutU16(Bytes* b, unsigned v) {
  b->push_back(static_cast<unsigned char>(v & 0xFF));
  b->push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}
inline void PutU32(Bytes* b, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b->push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xFF));
}
inline uint32_t GetU32(const Bytes& b, size_t at) { return LoadLittleEndian32(&b[at]); }
inline unsigned GetU16(const Bytes& b, size_t at) { return LoadLittleEndian16(&b[at]); }

} // namespace imgtest
