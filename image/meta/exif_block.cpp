#include "image/meta/exif_block.h"

#include "base/byte_order.h"

#include <cstdint>

namespace {

const uint16_t kTagOrientation = 0x0112;
const uint16_t kTagXResolution = 0x011A;
const uint16_t kTagYResolution = 0x011B;
const uint16_t kTagResolutionUnit = 0x0128;
const uint16_t kTagExifDirectory = 0x8769;
const uint16_t kTagPixelWidth = 0xA002;
const uint16_t kTagPixelHeight = 0xA003;
const uint16_t kTypeShort = 3;
const uint16_t kTypeLong = 4;
const uint16_t kTypeRational = 5;

struct Tiff {
  unsigned char* b;
  size_t size;
  bool big; // Motorola byte order
};

// A number of 2 or 4 bytes at at, in the block's byte order.
uint32_t ReadNumber(const Tiff& t, size_t at, int bytes) {
  const unsigned char* const p = t.b + at;
  if (bytes == 2)
    return t.big ? LoadBigEndian16(p) : LoadLittleEndian16(p);
  return t.big ? LoadBigEndian32(p) : LoadLittleEndian32(p);
}

void WriteNumber(const Tiff& t, size_t at, uint32_t v, int bytes) {
  unsigned char* const p = t.b + at;
  if (bytes == 2 && t.big)
    StoreBigEndian16(p, static_cast<uint16_t>(v));
  else if (bytes == 2)
    StoreLittleEndian16(p, static_cast<uint16_t>(v));
  else if (t.big)
    StoreBigEndian32(p, v);
  else
    StoreLittleEndian32(p, v);
}

// The directory at offset: where its entries start and how many there are, all inside.
bool Directory(const Tiff& t, uint32_t offset, size_t* entries, size_t* count) {
  if (offset < 8 || offset > t.size || t.size - offset < 2)
    return false;
  const size_t n = ReadNumber(t, offset, 2);
  if ((t.size - offset - 2) / 12 < n || t.size - offset - 2 - 12 * n < 4)
    return false; // the entries and the next directory's offset must fit
  *entries = offset + 2;
  *count = n;
  return true;
}

bool OpenTiff(unsigned char* exif, size_t size, Tiff* t, size_t* entries, size_t* count) {
  if (exif == nullptr || size < 8)
    return false;
  if (exif[0] == 'I' && exif[1] == 'I')
    t->big = false;
  else if (exif[0] == 'M' && exif[1] == 'M')
    t->big = true;
  else
    return false;
  t->b = exif;
  t->size = size;
  if (ReadNumber(*t, 2, 2) != 42)
    return false;
  return Directory(*t, ReadNumber(*t, 4, 4), entries, count);
}

// One unsigned number held in the entry itself (SHORT or LONG, count 1); false otherwise.
bool InlineNumber(const Tiff& t, size_t entry, uint32_t* value) {
  const uint32_t type = ReadNumber(t, entry + 2, 2);
  if (ReadNumber(t, entry + 4, 4) != 1)
    return false;
  if (type == kTypeShort)
    *value = ReadNumber(t, entry + 8, 2);
  else if (type == kTypeLong)
    *value = ReadNumber(t, entry + 8, 4);
  else
    return false;
  return true;
}

double Rational(const Tiff& t, size_t entry) {
  if (ReadNumber(t, entry + 2, 2) != kTypeRational || ReadNumber(t, entry + 4, 4) != 1)
    return 0;
  const uint32_t at = ReadNumber(t, entry + 8, 4);
  if (at > t.size || t.size - at < 8)
    return 0;
  const uint32_t num = ReadNumber(t, at, 4), den = ReadNumber(t, at + 4, 4);
  return den == 0 ? 0 : static_cast<double>(num) / den;
}

} // namespace

int ReadExifFacts(const unsigned char* exif, size_t size, ExifFacts* facts) {
  Tiff t;
  size_t entries = 0, count = 0;
  // Only read here: the cast lets the reader and the mender share their helpers.
  if (facts == nullptr || !OpenTiff(const_cast<unsigned char*>(exif), size, &t, &entries, &count))
    return 0;
  facts->orientation = 0;
  facts->resolutionUnit = 0;
  facts->xResolution = 0;
  facts->yResolution = 0;
  for (size_t i = 0; i < count; ++i) {
    const size_t e = entries + 12 * i;
    uint32_t value = 0;
    switch (ReadNumber(t, e, 2)) {
    case kTagOrientation:
      if (ReadNumber(t, e + 2, 2) == kTypeShort && InlineNumber(t, e, &value) && value >= 1 &&
          value <= 8)
        facts->orientation = static_cast<int>(value);
      break;
    case kTagResolutionUnit:
      if (InlineNumber(t, e, &value) && (value == 2 || value == 3))
        facts->resolutionUnit = static_cast<int>(value);
      break;
    case kTagXResolution:
      facts->xResolution = Rational(t, e);
      break;
    case kTagYResolution:
      facts->yResolution = Rational(t, e);
      break;
    default:
      break;
    }
  }
  return 1;
}

int MakeExifUpright(unsigned char* exif, size_t size, int turnedQuarter) {
  Tiff t;
  size_t entries = 0, count = 0;
  if (!OpenTiff(exif, size, &t, &entries, &count))
    return 0;
  uint32_t exifDirectory = 0;
  for (size_t i = 0; i < count; ++i) {
    const size_t e = entries + 12 * i;
    const uint32_t tag = ReadNumber(t, e, 2);
    if (tag == kTagOrientation) {
      // Whatever the entry held, it now says one SHORT, 1.
      WriteNumber(t, e + 2, kTypeShort, 2);
      WriteNumber(t, e + 4, 1, 4);
      WriteNumber(t, e + 8, 0, 4);
      WriteNumber(t, e + 8, 1, 2);
    } else if (tag == kTagExifDirectory) {
      InlineNumber(t, e, &exifDirectory);
    }
  }
  WriteNumber(t, entries + 12 * count, 0, 4); // no thumbnail directory follows

  size_t sub = 0, subCount = 0;
  if (turnedQuarter == 0 || exifDirectory == 0 || !Directory(t, exifDirectory, &sub, &subCount))
    return 1;
  size_t width = 0, height = 0;
  uint32_t w = 0, h = 0;
  for (size_t i = 0; i < subCount; ++i) {
    const size_t e = sub + 12 * i;
    const uint32_t tag = ReadNumber(t, e, 2);
    if (tag == kTagPixelWidth && InlineNumber(t, e, &w))
      width = e;
    else if (tag == kTagPixelHeight && InlineNumber(t, e, &h))
      height = e;
  }
  if (width != 0 && height != 0) {
    // The two entries trade their whole value fields, types included.
    for (size_t k = 2; k < 12; ++k) {
      const unsigned char c = t.b[width + k];
      t.b[width + k] = t.b[height + k];
      t.b[height + k] = c;
    }
  }
  return 1;
}
