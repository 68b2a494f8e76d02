#include "image/png/png_metadata.h"

#include "base/byte_order.h"
#include "image/png/png_title.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <zlib.h>

namespace {

// Keyword and its zero, not compressed, method 0, no language tag, no translated keyword (the
// literal's own terminator is the last zero).
const char kXmpHead[] = "XML:com.adobe.xmp\0\0\0\0";
const size_t kXmpHeadBytes = sizeof kXmpHead;
const size_t kMaxChunk = 0x7FFFFFFF;

void Chunk(png_structp png, const char* type, const unsigned char* data, size_t size) {
  png_write_chunk(png, reinterpret_cast<png_const_bytep>(type), data, size);
}

// head followed by body, as one chunk.
void JoinedChunk(png_structp png, const char* type, const unsigned char* head, size_t headSize,
                 const unsigned char* body, size_t bodySize) {
  if (bodySize > kMaxChunk - headSize)
    return;
  png_write_chunk_start(png, reinterpret_cast<png_const_bytep>(type),
                        static_cast<png_uint_32>(headSize + bodySize));
  png_write_chunk_data(png, head, headSize);
  png_write_chunk_data(png, body, bodySize);
  png_write_chunk_end(png);
}

void WriteIcc(png_structp png, const ImageMetadata* meta) {
  const MetadataBlock& icc = meta->icc;
  uLong bound = compressBound(static_cast<uLong>(icc.size));
  unsigned char* const packed = static_cast<unsigned char*>(malloc(bound));
  if (packed == nullptr)
    return;
  if (compress2(packed, &bound, icc.data, static_cast<uLong>(icc.size), 9) == Z_OK) {
    unsigned char head[81];
    size_t name = strlen(meta->iccName);
    if (name == 0 || name > 79) {
      memcpy(head, "ICC profile", 11);
      name = 11;
    } else {
      memcpy(head, meta->iccName, name);
    }
    head[name] = 0;     // the name's end
    head[name + 1] = 0; // compression method: zlib
    JoinedChunk(png, "iCCP", head, name + 2, packed, bound);
  }
  free(packed);
}

void WritePhys(png_structp png, const ImageMetadata* meta) {
  unsigned char phys[9];
  uint32_t x = PixelsPerMetreX(meta), y = PixelsPerMetreY(meta);
  phys[8] = 1; // per metre
  if ((x == 0 || y == 0) && meta->resolutionUnit == kResolutionAspect && meta->xResolution >= 1 &&
      meta->yResolution >= 1 && meta->xResolution <= 0x7FFFFFFF &&
      meta->yResolution <= 0x7FFFFFFF) {
    x = static_cast<uint32_t>(meta->xResolution);
    y = static_cast<uint32_t>(meta->yResolution);
    phys[8] = 0; // the aspect ratio only
  }
  if (x == 0 || y == 0)
    return;
  StoreBigEndian32(phys, x);
  StoreBigEndian32(phys + 4, y);
  Chunk(png, "pHYs", phys, 9);
}

void WriteTexts(png_structp png, const MetadataBlock& texts) {
  for (size_t at = 0; at + 8 <= texts.size;) {
    const unsigned char* const b = texts.data + at;
    const size_t length = LoadBigEndian32(b);
    if (length > texts.size - at - 8)
      break;
    char type[5] = {static_cast<char>(b[4]), static_cast<char>(b[5]), static_cast<char>(b[6]),
                    static_cast<char>(b[7]), 0};
    Chunk(png, type, b + 8, length);
    at += 8 + length;
  }
}

} // namespace

void WritePngMetadata(png_structp png, const ImageMetadata* meta, const char* target) {
  if (meta != nullptr) {
    if (meta->icc.data != nullptr)
      WriteIcc(png, meta);
    WritePhys(png, meta);
    if (meta->exif.data != nullptr && meta->exif.size <= kMaxChunk)
      Chunk(png, "eXIf", meta->exif.data, meta->exif.size);
    if (meta->xmp.data != nullptr)
      JoinedChunk(png, "iTXt", reinterpret_cast<const unsigned char*>(kXmpHead), kXmpHeadBytes,
                  meta->xmp.data, meta->xmp.size);
    WriteTexts(png, meta->pngTexts);
  }
  PngTextChunk title;
  if (MakePngTitle(target, &title) != 0)
    Chunk(png, title.type, title.data, title.size);
  FreePngTitle(&title);
}
