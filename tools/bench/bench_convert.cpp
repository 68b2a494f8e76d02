// One conversion for the image benchmark (not a test): ConvertImage timed inside this
// process, and the process's own peak memory, so that a Windows build run under Wine is
// measured without Wine's start-up. Built natively and for Windows; image_bench runs it.
//
// Usage: bench_convert SOURCE TARGET FROM TO QUALITY
//          prints "RESULT SECONDS PEAK_KB": ConvertImage's result, its time, the peak
//        bench_convert --noop
//          prints "0 0 PEAK_KB": the peak of this program doing nothing
//        bench_convert --make-sources FOLDER WIDTH HEIGHT
//          writes source.bmp, source.png, source.jpg (quality 90) of the benchmark's picture
//          and tiny.* of a 1 x 1 one and small.* of a 2 x 2 one, all by Quillet's own writers
// FROM and TO are image types: 0 BMP, 1 PNG, 2 JPEG. Exit status 0, or 2 on bad arguments,
// 1 when the sources cannot be written.

#include "image/bmp/bmp_codec.h"
#include "image/convert/convert_image.h"
#include "image/jpeg/jpeg_codec.h"
#include "image/picture/image_buffer.h"
#include "image/png/png_codec.h"
#include "tools/bench/bench_picture.h"
#include "tools/bench/peak_memory.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int Usage() {
  fprintf(stderr, "usage: bench_convert SOURCE TARGET FROM TO QUALITY | --noop |"
                  " --make-sources FOLDER WIDTH HEIGHT\n");
  return 2;
}

bool WriteSources(const std::string& folder, const char* name, int width, int height) {
  ImageBuffer picture;
  InitImageBuffer(&picture);
  if (MakeBenchPicture(&picture, width, height) == 0)
    return false;
  const std::string base = folder + "/" + name;
  const bool ok = WriteBmp((base + ".bmp").c_str(), &picture) == 1 &&
                  WritePng((base + ".png").c_str(), &picture) == 1 &&
                  WriteJpeg((base + ".jpg").c_str(), &picture, 90) == 1;
  FreeImagePixels(&picture);
  return ok;
}

} // namespace

int main(int argc, char** argv) {
  if (argc == 2 && strcmp(argv[1], "--noop") == 0) {
    printf("0 0 %lld\n", OwnPeakMemoryKb());
    return 0;
  }
  if (argc == 5 && strcmp(argv[1], "--make-sources") == 0) {
    const int width = atoi(argv[3]), height = atoi(argv[4]);
    if (width < 1 || height < 1)
      return Usage();
    if (!WriteSources(argv[2], "source", width, height) || !WriteSources(argv[2], "tiny", 1, 1) ||
        !WriteSources(argv[2], "small", 2, 2)) {
      fprintf(stderr, "writing the sources failed\n");
      return 1;
    }
    return 0;
  }
  if (argc != 6)
    return Usage();
  const auto start = std::chrono::steady_clock::now();
  const int result = ConvertImage(argv[1], argv[2], atoi(argv[3]), atoi(argv[4]), atoi(argv[5]));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  printf("%d %.6f %lld\n", result, seconds, OwnPeakMemoryKb());
  return 0;
}
