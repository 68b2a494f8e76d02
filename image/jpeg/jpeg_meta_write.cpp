#include "image/jpeg/jpeg_metadata.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

const size_t kSegmentData = 65533; // a segment's length field counts itself
const unsigned char kExifId[6] = {'E', 'x', 'i', 'f', 0, 0};
const char kXmpId[] = "http://ns.adobe.com/xap/1.0/"; // with its zero
const char kIccId[] = "ICC_PROFILE";                  // with its zero
const size_t kIccPiece = kSegmentData - sizeof kIccId - 2;

// One segment of id followed by body.
void Segment(j_compress_ptr cinfo, int marker, const unsigned char* id, size_t idSize,
             const unsigned char* body, size_t bodySize) {
  jpeg_write_m_header(cinfo, marker, static_cast<unsigned>(idSize + bodySize));
  for (size_t i = 0; i < idSize; ++i)
    jpeg_write_m_byte(cinfo, id[i]);
  for (size_t i = 0; i < bodySize; ++i)
    jpeg_write_m_byte(cinfo, body[i]);
}

void WriteIcc(j_compress_ptr cinfo, const MetadataBlock& icc) {
  const size_t pieces = (icc.size + kIccPiece - 1) / kIccPiece;
  if (pieces > 255)
    return;
  unsigned char id[sizeof kIccId + 2];
  memcpy(id, kIccId, sizeof kIccId);
  id[sizeof kIccId + 1] = static_cast<unsigned char>(pieces);
  for (size_t k = 0; k < pieces; ++k) {
    id[sizeof kIccId] = static_cast<unsigned char>(k + 1);
    const size_t at = k * kIccPiece;
    const size_t length = icc.size - at < kIccPiece ? icc.size - at : kIccPiece;
    Segment(cinfo, JPEG_APP0 + 2, id, sizeof id, icc.data + at, length);
  }
}

// A density JFIF can hold: 1 to 65535.
bool Fits(double v) { return v >= 0.5 && v < 65535.5; }

} // namespace

void SetJpegDensity(j_compress_ptr cinfo, const ImageMetadata* meta) {
  if (meta == nullptr)
    return;
  int unit = 0;
  double x = meta->xResolution, y = meta->yResolution;
  switch (meta->resolutionUnit) {
  case kResolutionAspect:
    unit = 0;
    break;
  case kResolutionInch:
    unit = 1;
    break;
  case kResolutionCm:
    unit = 2;
    break;
  case kResolutionMetre: {
    // Per centimetre when that is exact, else per inch (what most programs show).
    const uint32_t px = PixelsPerMetreX(meta), py = PixelsPerMetreY(meta);
    if (px % 100 == 0 && py % 100 == 0) {
      unit = 2, x = px / 100.0, y = py / 100.0;
    } else {
      unit = 1, x = px * 0.0254, y = py * 0.0254;
    }
    break;
  }
  default:
    return;
  }
  if (!Fits(x) || !Fits(y))
    return;
  cinfo->density_unit = static_cast<UINT8>(unit);
  cinfo->X_density = static_cast<UINT16>(std::lround(x));
  cinfo->Y_density = static_cast<UINT16>(std::lround(y));
}

void WriteJpegMetadata(j_compress_ptr cinfo, const ImageMetadata* meta) {
  if (meta == nullptr)
    return;
  if (meta->exif.data != nullptr && meta->exif.size <= kSegmentData - sizeof kExifId)
    Segment(cinfo, JPEG_APP0 + 1, kExifId, sizeof kExifId, meta->exif.data, meta->exif.size);
  if (meta->xmp.data != nullptr && meta->xmp.size <= kSegmentData - sizeof kXmpId)
    Segment(cinfo, JPEG_APP0 + 1, reinterpret_cast<const unsigned char*>(kXmpId), sizeof kXmpId,
            meta->xmp.data, meta->xmp.size);
  if (meta->icc.data != nullptr)
    WriteIcc(cinfo, meta->icc);
}
