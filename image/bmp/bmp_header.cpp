#include "image/bmp/bmp_header.h"

#include "base/byte_order.h"

#include <cstring>

namespace {

const uint32_t kCoreInfoSize = 12; // OS/2 1.x: 16-bit sizes, 3-byte colour table entries
const uint32_t kMaxInfoSize = 124; // BITMAPV5HEADER
const uint32_t kFileHeaderSize = 14;

enum InfoKind { kCore, kOs2, kWindows };

// Two's complement without relying on implementation-defined conversions.
int32_t LoadSignedLittleEndian32(const unsigned char* b) {
  const uint32_t u = LoadLittleEndian32(b);
  return u <= static_cast<uint32_t>(INT32_MAX) ? static_cast<int32_t>(u)
                                               : -static_cast<int32_t>(~u) - 1;
}

bool ReadBytes(FILE* file, unsigned char* out, size_t count) {
  return fread(out, 1, count, file) == count;
}

// Windows headers have these lengths; OS/2 2.x headers any length from 16 to 64 (their
// fields beyond 40 bytes are not masks, and their compression 3 is not bit fields).
bool KindOfInfo(uint32_t size, InfoKind* kind) {
  if (size == kCoreInfoSize)
    *kind = kCore;
  else if (size == 40 || size == 52 || size == 56 || size == 108 || size == kMaxInfoSize)
    *kind = kWindows;
  else if (size >= 16 && size <= 64)
    *kind = kOs2;
  else
    return false;
  return true;
}

bool Decodable(InfoKind kind, const BmpHeader& h) {
  switch (h.compression) {
  case kBmpRgb:
    return h.bitCount == 1 || h.bitCount == 2 || h.bitCount == 4 || h.bitCount == 8 ||
           h.bitCount == 16 || h.bitCount == 24 || h.bitCount == 32;
  // Run-length pictures are bottom-up by definition.
  case kBmpRle8:
    return h.bitCount == 8 && !h.topDown;
  case kBmpRle4:
    return h.bitCount == 4 && !h.topDown;
  case kBmpBitFields:
  case kBmpAlphaBitFields:
    return kind == kWindows && (h.bitCount == 16 || h.bitCount == 32);
  default:
    return false;
  }
}

// Masks follow a 40-byte header; longer Windows headers hold them (A from 56 bytes on).
bool ReadMasks(FILE* file, uint32_t infoSize, const unsigned char* info, BmpHeader* h,
               uint32_t* maskBytes) {
  *maskBytes = 0;
  if (h->compression == kBmpBitFields || h->compression == kBmpAlphaBitFields) {
    if (infoSize == 40) {
      unsigned char m[16];
      *maskBytes = h->compression == kBmpAlphaBitFields ? 16 : 12;
      if (!ReadBytes(file, m, *maskBytes))
        return false;
      for (uint32_t i = 0; i < *maskBytes / 4; ++i)
        h->masks[i] = LoadLittleEndian32(m + 4 * i);
    } else {
      for (int i = 0; i < 3; ++i)
        h->masks[i] = LoadLittleEndian32(info + 40 + 4 * i);
      if (infoSize >= 56)
        h->masks[3] = LoadLittleEndian32(info + 52);
    }
  } else if (h->bitCount == 16) {
    h->masks[0] = 0x7C00, h->masks[1] = 0x03E0, h->masks[2] = 0x001F; // 5-5-5
  } else if (h->bitCount == 32) {
    // The fourth byte of an uncompressed 32-bit pixel is not alpha.
    h->masks[0] = 0xFF0000, h->masks[1] = 0xFF00, h->masks[2] = 0xFF;
  }
  return true;
}

// The table starts right behind the headers and masks; its length comes from biClrUsed, is
// never more than the depth can index, and never runs into the pixel data.
bool ReadPalette(FILE* file, InfoKind kind, uint32_t clrUsed, uint32_t tableStart, BmpHeader* h) {
  const uint32_t entrySize = kind == kCore ? 3 : 4;
  uint32_t count = 1u << h->bitCount;
  if (kind != kCore && clrUsed != 0 && clrUsed < count)
    count = clrUsed;
  const uint32_t room = h->offBits > tableStart ? (h->offBits - tableStart) / entrySize : 0;
  if (room != 0 && room < count)
    count = room;
  if (room == 0) // an offset inside the headers: the pixels follow the table
    h->offBits = tableStart + count * entrySize;

  unsigned char table[256 * 4];
  if (!ReadBytes(file, table, count * entrySize))
    return false;
  for (uint32_t i = 0; i < 256; ++i) {
    const unsigned char* e = table + (i < count ? i : 0) * entrySize;
    h->palette[i][0] = e[2]; // entries are blue, green, red
    h->palette[i][1] = e[1];
    h->palette[i][2] = e[0];
    h->palette[i][3] = 255;
  }
  return true;
}

} // namespace

ImageResult ReadBmpHeader(FILE* file, BmpHeader* h) {
  memset(h, 0, sizeof *h);
  unsigned char fileHeader[kFileHeaderSize];
  if (!ReadBytes(file, fileHeader, 2) || fileHeader[0] != 'B' || fileHeader[1] != 'M')
    return kImageCannotOpen;
  if (!ReadBytes(file, fileHeader + 2, kFileHeaderSize - 2))
    return kImageDamaged;
  h->offBits = LoadLittleEndian32(fileHeader + 10);

  // Fields a shorter header lacks read as 0.
  unsigned char info[kMaxInfoSize];
  memset(info, 0, sizeof info);
  InfoKind kind = kWindows;
  if (!ReadBytes(file, info, 4))
    return kImageDamaged;
  if (!KindOfInfo(LoadLittleEndian32(info), &kind))
    return kImageUnsupported;
  const uint32_t infoSize = LoadLittleEndian32(info);
  if (!ReadBytes(file, info + 4, infoSize - 4))
    return kImageDamaged;

  int32_t height = 0;
  uint32_t clrUsed = 0;
  if (kind == kCore) {
    h->width = static_cast<int32_t>(LoadLittleEndian16(info + 4));
    height = static_cast<int32_t>(LoadLittleEndian16(info + 6));
    h->bitCount = LoadLittleEndian16(info + 10);
  } else {
    h->width = LoadSignedLittleEndian32(info + 4);
    height = LoadSignedLittleEndian32(info + 8);
    h->bitCount = LoadLittleEndian16(info + 14);
    h->compression = LoadLittleEndian32(info + 16);
    clrUsed = LoadLittleEndian32(info + 32);
  }
  if (h->width <= 0 || height == 0 || height == INT32_MIN)
    return kImageDamaged;
  h->topDown = height < 0;
  h->height = height < 0 ? -height : height;
  if (!Decodable(kind, *h))
    return kImageUnsupported;

  uint32_t maskBytes = 0;
  if (!ReadMasks(file, infoSize, info, h, &maskBytes))
    return kImageDamaged;
  const uint32_t tableStart = kFileHeaderSize + infoSize + maskBytes;
  if (h->bitCount <= 8)
    return ReadPalette(file, kind, clrUsed, tableStart, h) ? kImageOk : kImageDamaged;
  if (h->offBits < tableStart)
    h->offBits = tableStart;
  return kImageOk;
}
