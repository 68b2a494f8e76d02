#include "image/meta/image_metadata.h"

#include "image/meta/exif_block.h"
#include "image/meta/xmp_orientation.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

const double kMetresPerInch = 0.0254;

uint32_t PerMetre(int unit, double value) {
  double perMetre = 0;
  switch (unit) {
  case kResolutionInch:
    perMetre = value / kMetresPerInch;
    break;
  case kResolutionCm:
    perMetre = value * 100;
    break;
  case kResolutionMetre:
    perMetre = value;
    break;
  default:
    return 0;
  }
  if (!(perMetre >= 1) || perMetre > 0x7FFFFFFF)
    return 0;
  return static_cast<uint32_t>(std::lround(perMetre));
}

} // namespace

void TakeExifFacts(ImageMetadata* meta) {
  ExifFacts facts;
  const bool exif =
      meta->exif.data != nullptr && ReadExifFacts(meta->exif.data, meta->exif.size, &facts) != 0;
  // An XMP-only orientation is honoured too: applications that read it would otherwise show
  // the source turned and the copy, whose XMP says upright, not.
  const int orientation = exif && facts.orientation != 0
                              ? facts.orientation
                              : XmpOrientation(meta->xmp.data, meta->xmp.size);
  if (orientation != 0)
    meta->orientation = orientation;
  if (!exif)
    return;
  const bool absolute = meta->resolutionUnit >= kResolutionInch;
  if (!absolute && facts.resolutionUnit != 0 && facts.xResolution > 0 && facts.yResolution > 0) {
    meta->resolutionUnit = facts.resolutionUnit == 2 ? kResolutionInch : kResolutionCm;
    meta->xResolution = facts.xResolution;
    meta->yResolution = facts.yResolution;
  }
}

void InitImageMetadata(ImageMetadata* meta) {
  memset(meta, 0, sizeof *meta);
  meta->orientation = 1;
}

void ClearMetadataBlock(MetadataBlock* block) {
  free(block->data);
  block->data = nullptr;
  block->size = 0;
}

void FreeImageMetadata(ImageMetadata* meta) {
  ClearMetadataBlock(&meta->exif);
  ClearMetadataBlock(&meta->xmp);
  ClearMetadataBlock(&meta->icc);
  ClearMetadataBlock(&meta->pngTexts);
  InitImageMetadata(meta);
}

int SetMetadataBlock(MetadataBlock* block, const unsigned char* data, size_t size) {
  ClearMetadataBlock(block);
  if (size == 0)
    return 1;
  block->data = static_cast<unsigned char*>(malloc(size));
  if (block->data == nullptr)
    return 0;
  memcpy(block->data, data, size);
  block->size = size;
  return 1;
}

uint32_t PixelsPerMetreX(const ImageMetadata* meta) {
  return PerMetre(meta->resolutionUnit, meta->xResolution);
}

uint32_t PixelsPerMetreY(const ImageMetadata* meta) {
  return PerMetre(meta->resolutionUnit, meta->yResolution);
}

int ProfileColourSpace(const MetadataBlock* icc) {
  if (icc->data == nullptr || icc->size < 128)
    return kProfileOther;
  const unsigned char* s = icc->data + 16;
  if (memcmp(s, "RGB ", 4) == 0)
    return kProfileRgb;
  if (memcmp(s, "GRAY", 4) == 0)
    return kProfileGray;
  return kProfileOther;
}
