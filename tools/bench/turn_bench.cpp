// How much turning a photo costs: a 4000 x 3000 photo-like picture with EXIF orientation 1
// and with orientation 6 (a quarter turn), converted through ConvertImage from JPEG and PNG
// to each format; prints the fastest of N runs of each and the ratio 6 : 1. A program of its
// own, never a test.
// Usage: turn_bench [--runs N] [--dir FOLDER]
#include "image/convert/convert_image.h"
#include "image/jpeg/jpeg_codec.h"
#include "image/meta/image_metadata.h"
#include "image/picture/image_buffer.h"
#include "image/png/png_codec.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const int kWidth = 4000, kHeight = 3000;
const char* const kName[] = {"BMP", "PNG", "JPEG"};
const char* const kExt[] = {".bmp", ".png", ".jpg"};

void MakePicture(ImageBuffer* image) {
  image->width = kWidth;
  image->height = kHeight;
  image->channels = 3;
  if (AllocImagePixels(image) == 0) {
    fprintf(stderr, "out of memory\n");
    exit(1);
  }
  uint32_t state = 0x2468ACEu;
  for (int row = 0; row < kHeight; ++row) {
    unsigned char* p = image->pixels + static_cast<size_t>(row) * kWidth * 4;
    for (int x = 0; x < kWidth; ++x, p += 4) {
      state = state * 1664525u + 1013904223u;
      const double u = static_cast<double>(x) / kWidth, v = static_cast<double>(row) / kHeight;
      const int noise = static_cast<int>(state >> 28);
      p[0] = static_cast<unsigned char>(90 + 80 * u + 30 * std::sin(6.0 * v + 2.0 * u) + noise);
      p[1] = static_cast<unsigned char>(110 + 60 * v + 25 * std::sin(5.0 * u - 3.0 * v) + noise);
      p[2] = static_cast<unsigned char>(140 - 70 * v + 20 * std::cos(7.0 * u * v) + noise);
      p[3] = 255;
    }
  }
}

// A little-endian TIFF block holding only the orientation.
void SetOrientation(ImageMetadata* meta, int orientation) {
  const unsigned char exif[] = {'I',
                                'I',
                                42,
                                0,
                                8,
                                0,
                                0,
                                0,
                                1,
                                0,
                                0x12,
                                0x01,
                                3,
                                0,
                                1,
                                0,
                                0,
                                0,
                                static_cast<unsigned char>(orientation),
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0};
  SetMetadataBlock(&meta->exif, exif, sizeof exif);
}

double Seconds(const std::string& source, int from, const std::string& target, int to) {
  const auto start = std::chrono::steady_clock::now();
  if (ConvertImage(source.c_str(), target.c_str(), from, to, 80) != 0) {
    fprintf(stderr, "converting %s failed\n", source.c_str());
    exit(1);
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  remove(target.c_str());
  return took.count();
}

} // namespace

int main(int argc, char** argv) {
  int runs = 3;
  std::string dir = "/tmp";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (strcmp(argv[i], "--runs") == 0)
      runs = atoi(argv[i + 1]);
    else if (strcmp(argv[i], "--dir") == 0)
      dir = argv[i + 1];
  }
  ImageBuffer picture;
  InitImageBuffer(&picture);
  MakePicture(&picture);
  std::string sources[3][9];
  for (int orientation : {1, 6}) {
    ImageMetadata meta;
    InitImageMetadata(&meta);
    SetOrientation(&meta, orientation);
    const std::string base = dir + "/turn-bench-" + std::to_string(orientation);
    sources[kImageJpeg][orientation] = base + ".jpg";
    sources[kImagePng][orientation] = base + ".png";
    if (EncodeJpeg(sources[kImageJpeg][orientation].c_str(), &picture, 92, &meta, nullptr,
                   nullptr) != kImageOk ||
        EncodePng(sources[kImagePng][orientation].c_str(), "turn.png", &picture, &meta, nullptr) !=
            kImageOk) {
      fprintf(stderr, "writing the sources failed\n");
      return 1;
    }
    FreeImageMetadata(&meta);
  }
  FreeImagePixels(&picture);

  printf("4000 x 3000 photo, fastest of %d run(s)\n", runs);
  printf("direction    orientation 1 s  orientation 6 s  ratio\n");
  for (int from : {kImageJpeg, kImagePng})
    for (int to : {kImageBmp, kImagePng, kImageJpeg}) {
      double best[9] = {0};
      for (int orientation : {1, 6})
        for (int r = 0; r < runs; ++r) {
          const double s =
              Seconds(sources[from][orientation], from, dir + "/turn-bench-out" + kExt[to], to);
          if (r == 0 || s < best[orientation])
            best[orientation] = s;
        }
      printf("%-5s->%-5s  %15.3f  %15.3f  %5.2f\n", kName[from], kName[to], best[1], best[6],
             best[6] / best[1]);
    }
  for (int orientation : {1, 6})
    for (int from : {kImageJpeg, kImagePng})
      remove(sources[from][orientation].c_str());
  return 0;
}
