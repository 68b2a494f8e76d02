// libFuzzer target for the metadata parsers alone, much faster than the readers' targets: the
// input is read as a JPEG's segments, as a PNG's chunks and as an EXIF block, and every block
// found is mended as a conversion would.
#include "image/convert/convert_image.h"
#include "image/convert/read_metadata.h"
#include "image/meta/exif_block.h"
#include "image/meta/image_metadata.h"
#include "image/meta/xmp_orientation.h"

#include <unistd.h> // getpid: the fuzz targets are native only

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const std::string& InputPath() {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/quillet-fuzz-meta-" +
           std::to_string(getpid());
  }();
  return path;
}

void RemoveInput() { std::remove(InputPath().c_str()); }

void Touch(const MetadataBlock& b) {
  unsigned sum = 0;
  for (size_t i = 0; i < b.size; ++i)
    sum += b.data[i];
  if (sum == 0xFFFFFFFFu)
    std::fputc(' ', stderr);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::atexit(RemoveInput);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The input as an EXIF block, in a copy of its own size so that the sanitizers see any
  // step past its end.
  unsigned char* exif = static_cast<unsigned char*>(std::malloc(size > 0 ? size : 1));
  if (exif == nullptr)
    return 0;
  if (size > 0)
    memcpy(exif, data, size);
  ExifFacts facts;
  if (ReadExifFacts(exif, size, &facts) == 1 && facts.orientation > 8)
    std::abort();
  MakeExifUpright(exif, size, 1);
  MakeXmpUpright(exif, size);
  std::free(exif);

  FILE* file = std::fopen(InputPath().c_str(), "wb");
  if (file == nullptr || (size > 0 && std::fwrite(data, 1, size, file) != size))
    std::abort();
  std::fclose(file);
  for (int type : {kImageJpeg, kImagePng, kImageBmp}) {
    ImageMetadata meta;
    ReadImageMetadata(InputPath().c_str(), type, &meta);
    Touch(meta.exif), Touch(meta.xmp), Touch(meta.icc), Touch(meta.pngTexts);
    MakeExifUpright(meta.exif.data, meta.exif.size, 1);
    MakeXmpUpright(meta.xmp.data, meta.xmp.size);
    FreeImageMetadata(&meta);
  }
  return 0;
}
