// libFuzzer target for one image reader (chosen by QUILLET_FUZZ_READER_bmp/png/jpeg). The
// readers take a path, so every input is written to a temporary file first. The metadata of
// every input is read and mended as a conversion would; a picture that reads and is small is
// also written back through all three writers and converted to one format, metadata and all.
#include "image/bmp/bmp_codec.h"
#include "image/convert/convert_image.h"
#include "image/convert/read_metadata.h"
#include "image/jpeg/jpeg_codec.h"
#include "image/meta/exif_block.h"
#include "image/meta/image_metadata.h"
#include "image/meta/xmp_orientation.h"
#include "image/picture/image_buffer.h"
#include "image/png/png_codec.h"

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

#if defined(QUILLET_FUZZ_READER_bmp)
const int kType = kImageBmp;
#elif defined(QUILLET_FUZZ_READER_png)
const int kType = kImagePng;
#else
const int kType = kImageJpeg;
#endif

// Reads and mends the input's metadata; every block must be what its size says.
void FuzzMetadata(const char* path) {
  ImageMetadata meta;
  ReadImageMetadata(path, kType, &meta);
  const MetadataBlock* blocks[4] = {&meta.exif, &meta.xmp, &meta.icc, &meta.pngTexts};
  for (const MetadataBlock* b : blocks) {
    unsigned sum = 0;
    for (size_t i = 0; i < b->size; ++i)
      sum += b->data[i];
    if (sum == 0xFFFFFFFFu)
      std::fputc(' ', stderr);
  }
  if (meta.orientation < 1 || meta.orientation > 8)
    std::abort();
  MakeExifUpright(meta.exif.data, meta.exif.size, 1);
  MakeXmpUpright(meta.xmp.data, meta.xmp.size);
  FreeImageMetadata(&meta);
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

  FuzzMetadata(InputPath().c_str());
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
      // One target per input, chosen by its last byte, keeps the runs quick.
      const int target = data[size - 1] % 3;
      if (ConvertImage(InputPath().c_str(), out, kType, target, 75) != 0)
        std::abort(); // nor does a conversion, whatever the metadata
    }
  }
  FreeImagePixels(&image);
  return 0;
}
