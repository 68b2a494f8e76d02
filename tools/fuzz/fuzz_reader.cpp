// libFuzzer target for one image reader (chosen by QUILLET_FUZZ_READER_bmp/png/jpeg). The
// readers take a path, so every input is written to a temporary file first. A picture that
// reads and is small is also written back through all three writers.
#include "image/bmp_codec.h"
#include "image/image_buffer.h"
#include "image/jpeg_codec.h"
#include "image/png_codec.h"

#include <unistd.h> // getpid: the fuzz targets are native only

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string TempPath(const char* what) {
  const char* dir = std::getenv("TMPDIR");
  std::string path = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
  return path + "/quillet-fuzz-" + std::to_string(getpid()) + "-" + what;
}

const std::string& InputPath() {
  static const std::string path = TempPath("input");
  return path;
}

const std::string& OutputPath() {
  static const std::string path = TempPath("output");
  return path;
}

void RemoveTempFiles() {
  std::remove(InputPath().c_str());
  std::remove(OutputPath().c_str());
}

int Read(const char* path, ImageBuffer* image) {
#if defined(QUILLET_FUZZ_READER_bmp)
  return ReadBmp(path, image);
#elif defined(QUILLET_FUZZ_READER_png)
  return ReadPng(path, image);
#elif defined(QUILLET_FUZZ_READER_jpeg)
  return ReadJpeg(path, image);
#else
#error "define QUILLET_FUZZ_READER_bmp, _png or _jpeg"
#endif
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::atexit(RemoveTempFiles);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = std::fopen(InputPath().c_str(), "wb");
  if (file == nullptr)
    std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size)
    std::abort();
  std::fclose(file);

  ImageBuffer image;
  InitImageBuffer(&image);
  if (Read(InputPath().c_str(), &image) == 1) {
    // The reader's promise: a full block of width x height x 4 bytes. Touch every byte so the
    // sanitizers see a short block.
    const size_t bytes = ImagePixelBytes(image.width, image.height);
    if (image.pixels == nullptr || bytes == 0)
      std::abort();
    unsigned sum = 0;
    for (size_t i = 0; i < bytes; ++i)
      sum += image.pixels[i];
    if (sum == 0xFFFFFFFFu)
      std::fputc(' ', stderr);
    if (bytes <= 64 * 64 * 4) {
      const char* out = OutputPath().c_str();
      if (WriteBmp(out, &image) != 1 || WriteJpeg(out, &image, 75) != 1 ||
          WritePng(out, &image) != 1)
        std::abort(); // the writers never fail on a valid picture and a writable file
    }
  }
  FreeImagePixels(&image);
  return 0;
}
