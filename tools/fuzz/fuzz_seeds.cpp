// Writes small seed files for the fuzz targets: fuzz_seeds <bmp-dir> <png-dir> <jpeg-dir>.
#include "image/bmp_codec.h"
#include "image/image_buffer.h"
#include "image/jpeg_codec.h"
#include "image/png_codec.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: fuzz_seeds <bmp-dir> <png-dir> <jpeg-dir>\n");
    return 2;
  }
  const int sizes[][2] = {{1, 1}, {3, 2}, {9, 5}, {17, 16}};
  int failures = 0;
  for (int channels = 1; channels <= 4; ++channels)
    for (const auto& s : sizes) {
      ImageBuffer image;
      InitImageBuffer(&image);
      image.width = s[0];
      image.height = s[1];
      image.channels = channels;
      if (AllocImagePixels(&image) == 0)
        return 1;
      for (int i = 0; i < s[0] * s[1] * 4; ++i)
        image.pixels[i] = static_cast<unsigned char>(i * 37 + channels * 11);
      const std::string name = "/seed-" + std::to_string(channels) + "-" + std::to_string(s[0]) +
                               "x" + std::to_string(s[1]);
      if (channels == 3)
        failures += WriteBmp((argv[1] + name + ".bmp").c_str(), &image) != 1;
      failures += WritePng((argv[2] + name + ".png").c_str(), &image) != 1;
      failures += WriteJpeg((argv[3] + name + ".jpg").c_str(), &image, 50) != 1;
      FreeImagePixels(&image);
    }
  return failures == 0 ? 0 : 1;
}
