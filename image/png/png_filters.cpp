#include "image/png/png_filters.h"

#include <cstdint>
#include <cstring>

// QUILLET_NO_SSE2 takes the plain loops where the compiler offers SSE2, so that a build for
// testing (the fuzz targets) runs the path of a build without it as well.
#if defined(__SSE2__) && !defined(QUILLET_NO_SSE2)
#define QUILLET_UNFILTER_SSE2 1
#include <emmintrin.h>
#endif

namespace {

typedef unsigned char Byte;

// Of left a, above b and upper left c, the one nearest to a + b - c; a, then b on a tie.
inline int PaethPredictor(int a, int b, int c) {
  const int pa = b > c ? b - c : c - b;
  const int pb = a > c ? a - c : c - a;
  const int pc = a + b - 2 * c > 0 ? a + b - 2 * c : 2 * c - a - b;
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// ----- filtering, written as plain loops over the whole row so that the compiler vectorises
// each one

uint32_t Magnitudes(const unsigned char* p, size_t n) {
  uint32_t sum = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint32_t v = p[i];
    sum += v < 128 ? v : 256 - v;
  }
  return sum;
}

void FilterSub(const unsigned char* r, size_t n, size_t bpp, unsigned char* d) {
  for (size_t i = 0; i < bpp; ++i)
    d[i] = r[i];
  for (size_t i = bpp; i < n; ++i)
    d[i] = static_cast<unsigned char>(r[i] - r[i - bpp]);
}

void FilterUp(const unsigned char* r, const unsigned char* p, size_t n, unsigned char* d) {
  for (size_t i = 0; i < n; ++i)
    d[i] = static_cast<unsigned char>(r[i] - p[i]);
}

void FilterAverage(const unsigned char* r, const unsigned char* p, size_t n, size_t bpp,
                   unsigned char* d) {
  for (size_t i = 0; i < bpp; ++i)
    d[i] = static_cast<unsigned char>(r[i] - (p[i] >> 1));
  for (size_t i = bpp; i < n; ++i)
    d[i] = static_cast<unsigned char>(r[i] - ((r[i - bpp] + p[i]) >> 1));
}

void FilterPaeth(const unsigned char* r, const unsigned char* p, size_t n, size_t bpp,
                 unsigned char* d) {
  for (size_t i = 0; i < bpp; ++i)
    d[i] = static_cast<unsigned char>(r[i] - p[i]); // left and upper left are 0: predicts up
  for (size_t i = bpp; i < n; ++i)
    d[i] = static_cast<unsigned char>(r[i] - PaethPredictor(r[i - bpp], p[i], p[i - bpp]));
}

// ----- undoing, plain versions for every pixel size

void UnfilterSub(const Byte* f, size_t n, size_t bpp, Byte* o) {
  for (size_t i = 0; i < bpp; ++i)
    o[i] = f[i];
  for (size_t i = bpp; i < n; ++i)
    o[i] = static_cast<Byte>(f[i] + o[i - bpp]);
}

void UnfilterUp(const Byte* f, const Byte* p, size_t n, Byte* o) {
  for (size_t i = 0; i < n; ++i)
    o[i] = static_cast<Byte>(f[i] + p[i]);
}

void UnfilterAverage(const Byte* f, const Byte* p, size_t n, size_t bpp, Byte* o) {
  for (size_t i = 0; i < bpp; ++i)
    o[i] = static_cast<Byte>(f[i] + (p[i] >> 1));
  for (size_t i = bpp; i < n; ++i)
    o[i] = static_cast<Byte>(f[i] + ((o[i - bpp] + p[i]) >> 1));
}

void UnfilterPaeth(const Byte* f, const Byte* p, size_t n, size_t bpp, Byte* o) {
  for (size_t i = 0; i < bpp; ++i)
    o[i] = static_cast<Byte>(f[i] + p[i]);
  for (size_t i = bpp; i < n; ++i)
    o[i] = static_cast<Byte>(f[i] + PaethPredictor(o[i - bpp], p[i], p[i - bpp]));
}

#if defined(QUILLET_UNFILTER_SSE2)
// Each depends on the pixel just undone, so they go one pixel (4 bytes, or 3 and a spare) at
// a time; the spare byte of a 3-byte pixel is overwritten by the next pixel.

__m128i Load4(const Byte* p) {
  int v;
  memcpy(&v, p, 4);
  return _mm_cvtsi32_si128(v);
}

void Store4(Byte* p, __m128i x) {
  const int v = _mm_cvtsi128_si32(x);
  memcpy(p, &v, 4);
}

void SubSse2(const Byte* f, size_t n, size_t bpp, Byte* o) {
  __m128i a = _mm_setzero_si128();
  for (size_t i = 0; i < n; i += bpp) {
    a = _mm_add_epi8(a, Load4(f + i));
    Store4(o + i, a);
  }
}

void AverageSse2(const Byte* f, const Byte* p, size_t n, size_t bpp, Byte* o) {
  const __m128i one = _mm_set1_epi8(1);
  __m128i a = _mm_setzero_si128();
  for (size_t i = 0; i < n; i += bpp) {
    const __m128i b = Load4(p + i);
    // _mm_avg_epu8 rounds up; the filter rounds down.
    const __m128i avg = _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
    a = _mm_add_epi8(Load4(f + i), avg);
    Store4(o + i, a);
  }
}

__m128i Abs16(__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); }

// Predictor in 16-bit lanes: a is left, b above, c upper left.
void PaethSse2(const Byte* f, const Byte* p, size_t n, size_t bpp, Byte* o) {
  const __m128i zero = _mm_setzero_si128();
  __m128i a = zero, c = zero;
  for (size_t i = 0; i < n; i += bpp) {
    const __m128i b = _mm_unpacklo_epi8(Load4(p + i), zero);
    const __m128i bc = _mm_sub_epi16(b, c);
    const __m128i ac = _mm_sub_epi16(a, c);
    const __m128i pa = Abs16(bc);
    const __m128i pb = Abs16(ac);
    const __m128i pc = Abs16(_mm_add_epi16(bc, ac));
    const __m128i least = _mm_min_epi16(pa, _mm_min_epi16(pb, pc));
    const __m128i takeA = _mm_cmpeq_epi16(pa, least);
    const __m128i takeB = _mm_cmpeq_epi16(pb, least);
    const __m128i bOrC = _mm_or_si128(_mm_and_si128(takeB, b), _mm_andnot_si128(takeB, c));
    const __m128i predicted = _mm_or_si128(_mm_and_si128(takeA, a), _mm_andnot_si128(takeA, bOrC));
    const __m128i x = _mm_add_epi8(Load4(f + i), _mm_packus_epi16(predicted, predicted));
    Store4(o + i, x);
    a = _mm_unpacklo_epi8(x, zero);
    c = b;
  }
}
#endif

} // namespace

void FilterPngRow(const unsigned char* row, const unsigned char* prior, size_t bytes, size_t bpp,
                  int filter, unsigned char* out, unsigned char* scratch) {
  const unsigned char* candidate[kFilterPaeth + 1] = {row, scratch, scratch + bytes,
                                                      scratch + 2 * bytes, scratch + 3 * bytes};
  out[0] = static_cast<unsigned char>(filter);
  switch (filter) {
  case kFilterNone:
    memcpy(out + 1, row, bytes);
    return;
  case kFilterSub:
    FilterSub(row, bytes, bpp, out + 1);
    return;
  case kFilterUp:
    FilterUp(row, prior, bytes, out + 1);
    return;
  case kFilterAverage:
    FilterAverage(row, prior, bytes, bpp, out + 1);
    return;
  case kFilterPaeth:
    FilterPaeth(row, prior, bytes, bpp, out + 1);
    return;
  default:
    break;
  }
  FilterSub(row, bytes, bpp, scratch);
  FilterUp(row, prior, bytes, scratch + bytes);
  FilterAverage(row, prior, bytes, bpp, scratch + 2 * bytes);
  FilterPaeth(row, prior, bytes, bpp, scratch + 3 * bytes);
  int best = kFilterNone;
  uint32_t least = Magnitudes(row, bytes);
  for (int f = kFilterSub; f <= kFilterPaeth; ++f) {
    const uint32_t sum = Magnitudes(candidate[f], bytes);
    if (sum < least)
      least = sum, best = f;
  }
  out[0] = static_cast<unsigned char>(best);
  memcpy(out + 1, candidate[best], bytes);
}

int UnfilterPngRow(const unsigned char* filtered, const unsigned char* prior, size_t bytes,
                   size_t bpp, unsigned char* out) {
  const Byte* const f = filtered + 1;
  switch (filtered[0]) {
  case kFilterNone:
    memcpy(out, f, bytes);
    return 1;
  case kFilterSub:
#if defined(QUILLET_UNFILTER_SSE2)
    if (bpp >= 3) {
      SubSse2(f, bytes, bpp, out);
      return 1;
    }
#endif
    UnfilterSub(f, bytes, bpp, out);
    return 1;
  case kFilterUp:
    UnfilterUp(f, prior, bytes, out);
    return 1;
  case kFilterAverage:
#if defined(QUILLET_UNFILTER_SSE2)
    if (bpp >= 3) {
      AverageSse2(f, prior, bytes, bpp, out);
      return 1;
    }
#endif
    UnfilterAverage(f, prior, bytes, bpp, out);
    return 1;
  case kFilterPaeth:
#if defined(QUILLET_UNFILTER_SSE2)
    if (bpp >= 3) {
      PaethSse2(f, prior, bytes, bpp, out);
      return 1;
    }
#endif
    UnfilterPaeth(f, prior, bytes, bpp, out);
    return 1;
  default:
    return 0;
  }
}
