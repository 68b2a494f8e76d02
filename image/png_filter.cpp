#include "image/png_filter.h"

#include <cstdint>
#include <cstring>

namespace {

// Written as plain loops over the whole row so that the compiler vectorises each one.

uint32_t Magnitudes(const unsigned char* p, size_t n) {
  uint32_t sum = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint32_t v = p[i];
    sum += v < 128 ? v : 256 - v;
  }
  return sum;
}

void Sub(const unsigned char* r, size_t n, size_t bpp, unsigned char* d) {
  for (size_t i = 0; i < bpp; ++i)
    d[i] = r[i];
  for (size_t i = bpp; i < n; ++i)
    d[i] = static_cast<unsigned char>(r[i] - r[i - bpp]);
}

void Up(const unsigned char* r, const unsigned char* p, size_t n, unsigned char* d) {
  for (size_t i = 0; i < n; ++i)
    d[i] = static_cast<unsigned char>(r[i] - p[i]);
}

void Average(const unsigned char* r, const unsigned char* p, size_t n, size_t bpp,
             unsigned char* d) {
  for (size_t i = 0; i < bpp; ++i)
    d[i] = static_cast<unsigned char>(r[i] - (p[i] >> 1));
  for (size_t i = bpp; i < n; ++i)
    d[i] = static_cast<unsigned char>(r[i] - ((r[i - bpp] + p[i]) >> 1));
}

void Paeth(const unsigned char* r, const unsigned char* p, size_t n, size_t bpp, unsigned char* d) {
  for (size_t i = 0; i < bpp; ++i)
    d[i] = static_cast<unsigned char>(r[i] - p[i]); // left and upper left are 0: predicts up
  for (size_t i = bpp; i < n; ++i) {
    const int a = r[i - bpp], b = p[i], c = p[i - bpp];
    const int pa = b > c ? b - c : c - b;
    const int pb = a > c ? a - c : c - a;
    const int pc = a + b - 2 * c > 0 ? a + b - 2 * c : 2 * c - a - b;
    const int predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
    d[i] = static_cast<unsigned char>(r[i] - predicted);
  }
}

} // namespace

void FilterPngRow(const unsigned char* row, const unsigned char* prior, size_t bytes, size_t bpp,
                  int filter, unsigned char* out, unsigned char* scratch) {
  const unsigned char* candidate[5] = {row, scratch, scratch + bytes, scratch + 2 * bytes,
                                       scratch + 3 * bytes};
  out[0] = static_cast<unsigned char>(filter);
  switch (filter) {
  case 0:
    memcpy(out + 1, row, bytes);
    return;
  case 1:
    Sub(row, bytes, bpp, out + 1);
    return;
  case 2:
    Up(row, prior, bytes, out + 1);
    return;
  case 3:
    Average(row, prior, bytes, bpp, out + 1);
    return;
  case 4:
    Paeth(row, prior, bytes, bpp, out + 1);
    return;
  default:
    break;
  }
  Sub(row, bytes, bpp, scratch);
  Up(row, prior, bytes, scratch + bytes);
  Average(row, prior, bytes, bpp, scratch + 2 * bytes);
  Paeth(row, prior, bytes, bpp, scratch + 3 * bytes);
  int best = 0;
  uint32_t least = Magnitudes(row, bytes);
  for (int f = 1; f < 5; ++f) {
    const uint32_t sum = Magnitudes(candidate[f], bytes);
    if (sum < least)
      least = sum, best = f;
  }
  out[0] = static_cast<unsigned char>(best);
  memcpy(out + 1, candidate[best], bytes);
}
