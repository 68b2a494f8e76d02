#include "tools/bench/bench_picture.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

int MakeBenchPicture(ImageBuffer* image, int width, int height) {
  image->width = width;
  image->height = height;
  image->channels = 3;
  if (AllocImagePixels(image) == 0)
    return 0;
  uint32_t state = 0x12345678u;
  for (int row = 0; row < height; ++row) {
    const double v = static_cast<double>(row) / height;
    unsigned char* p = image->pixels + static_cast<size_t>(row) * width * 4;
    for (int x = 0; x < width; ++x, p += 4) {
      const double u = static_cast<double>(x) / width;
      double r = 90 + 80 * u + 30 * std::sin(6.0 * v + 2.0 * u);
      double g = 110 + 60 * v + 25 * std::sin(5.0 * u - 3.0 * v);
      double b = 140 - 70 * v + 20 * std::cos(7.0 * u * v);
      // three soft discs ("objects")
      const double cx[3] = {0.3, 0.65, 0.8}, cy[3] = {0.4, 0.6, 0.25}, rad[3] = {0.15, 0.2, 0.08};
      for (int k = 0; k < 3; ++k) {
        const double dx = (u - cx[k]) * 4.0 / 3.0, dy = v - cy[k];
        const double d = std::sqrt(dx * dx + dy * dy) / rad[k];
        if (d < 1.2) {
          const double w = d < 1.0 ? 1.0 : (1.2 - d) / 0.2;
          r = r * (1 - w) + w * (k == 0 ? 200 : k == 1 ? 60 : 230);
          g = g * (1 - w) + w * (k == 0 ? 80 : k == 1 ? 150 : 210);
          b = b * (1 - w) + w * (k == 0 ? 60 : k == 1 ? 90 : 120);
        }
      }
      // fine texture plus noise
      const double texture = 6 * std::sin(x * 0.9) * std::sin(row * 0.7);
      state = state * 1664525u + 1013904223u;
      const int noise = static_cast<int>((state >> 28) & 7) - 3;
      const double add = texture + noise;
      auto clamp = [](double c) {
        return static_cast<unsigned char>(c < 0 ? 0 : c > 255 ? 255 : std::lround(c));
      };
      p[0] = clamp(r + add);
      p[1] = clamp(g + add);
      p[2] = clamp(b + add);
      p[3] = 255;
    }
  }
  return 1;
}
