#include "image/meta/icc_to_srgb.h"

#include "image/work/scheduler.h"

#include <cstdint>

#include <lcms2.h>

namespace {

const cmsUInt32Number kIntent = INTENT_PERCEPTUAL;

void TransformRows(cmsHTRANSFORM transform, unsigned char* pixels, size_t width, size_t first,
                   size_t last) {
  for (size_t r = first; r < last; ++r) {
    unsigned char* const row = pixels + r * width * 4;
    cmsDoTransform(transform, row, row, static_cast<cmsUInt32Number>(width));
  }
}

// The rows in two halves, one piece each.
struct Transforming {
  cmsHTRANSFORM transform;
  unsigned char* pixels;
  size_t width, half, height;
};

int TransformHalf(void* context, size_t, size_t k, size_t) {
  const Transforming& t = *static_cast<const Transforming*>(context);
  TransformRows(t.transform, t.pixels, t.width, k == 0 ? 0 : t.half, k == 0 ? t.half : t.height);
  return 1;
}

int ConvertRgb(ImageBuffer* image, cmsHPROFILE source, cmsHPROFILE srgb, Scheduler* work) {
  // The same layout in and out, so the rows convert in place; alpha is carried over.
  cmsHTRANSFORM transform = cmsCreateTransform(source, TYPE_RGBA_8, srgb, TYPE_RGBA_8, kIntent,
                                               cmsFLAGS_COPY_ALPHA | cmsFLAGS_NOCACHE);
  if (transform == nullptr)
    return 0;
  const size_t w = static_cast<size_t>(image->width), h = static_cast<size_t>(image->height);
  // The transform is shared by two threads: without its one-pixel cache it holds no state.
  const size_t half = ThreadsToUse() > 1 && h >= 64 ? h / 2 : 0;
  Transforming transforming = {transform, image->pixels, w, half, h};
  const InOrder halves = {2, 2, TransformHalf, nullptr, &transforming};
  if (half == 0 || RunInOrder(work, &halves, 2) == 0)
    TransformRows(transform, image->pixels, w, 0, h);
  cmsDeleteTransform(transform);
  return 1;
}

int ConvertGray(ImageBuffer* image, cmsHPROFILE source, cmsHPROFILE srgb) {
  cmsHTRANSFORM transform =
      cmsCreateTransform(source, TYPE_GRAY_8, srgb, TYPE_RGB_8, kIntent, cmsFLAGS_NOCACHE);
  if (transform == nullptr)
    return 0;
  unsigned char grays[256], colours[256 * 3];
  for (int i = 0; i < 256; ++i)
    grays[i] = static_cast<unsigned char>(i);
  cmsDoTransform(transform, grays, colours, 256);
  cmsDeleteTransform(transform);
  const size_t count = static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
  unsigned char* p = image->pixels;
  for (size_t i = 0; i < count; ++i, p += 4) {
    const unsigned char* const c = colours + p[0] * 3;
    p[0] = c[0], p[1] = c[1], p[2] = c[2];
  }
  return 1;
}

} // namespace

int ConvertToSrgb(ImageBuffer* image, const unsigned char* icc, size_t size, Scheduler* work) {
  if (image == nullptr || image->pixels == nullptr || icc == nullptr || size < 128 ||
      size > UINT32_MAX || ImagePixelBytes(image->width, image->height) == 0)
    return 0;
  cmsHPROFILE source = cmsOpenProfileFromMem(icc, static_cast<cmsUInt32Number>(size));
  if (source == nullptr)
    return 0;
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  int result = 0;
  if (srgb != nullptr) {
    const cmsColorSpaceSignature space = cmsGetColorSpace(source);
    // A gray picture carries its gray in R, G and B alike; only a gray profile's pictures are
    // converted through R alone.
    if (space == cmsSigRgbData)
      result = ConvertRgb(image, source, srgb, work);
    else if (space == cmsSigGrayData)
      result = ConvertGray(image, source, srgb);
    cmsCloseProfile(srgb);
  }
  cmsCloseProfile(source);
  return result;
}
