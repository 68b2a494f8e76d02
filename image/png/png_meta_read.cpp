#include "base/file_offset.h"

#include "base/byte_order.h"
#include "image/png/png_metadata.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <zlib.h>

// Every chunk of a PNG up to IEND, walked by its stated length: the image data is stepped
// over, the chunks that carry metadata are read into a buffer of their own length, checked
// against their CRC and looked at only there.

namespace {

const char kXmpKeyword[] = "XML:com.adobe.xmp";

bool IsChunk(const unsigned char* type, const char* name) { return memcmp(type, name, 4) == 0; }

// zlib data inflated into block, at most kMaxMetadataBytes; false when damaged or larger.
bool InflateBlock(const unsigned char* data, size_t size, MetadataBlock* block) {
  z_stream z;
  memset(&z, 0, sizeof z);
  if (inflateInit(&z) != Z_OK)
    return false;
  size_t capacity = size * 4 + 1024;
  if (capacity > kMaxMetadataBytes)
    capacity = kMaxMetadataBytes;
  unsigned char* out = static_cast<unsigned char*>(malloc(capacity));
  size_t produced = 0;
  int status = Z_OK;
  z.next_in = const_cast<unsigned char*>(data); // zlib only reads it
  z.avail_in = static_cast<uInt>(size);
  while (out != nullptr && status == Z_OK) {
    if (produced == capacity) {
      if (capacity >= kMaxMetadataBytes)
        break;
      const size_t larger = capacity * 2 < kMaxMetadataBytes ? capacity * 2 : kMaxMetadataBytes;
      unsigned char* const grown = static_cast<unsigned char*>(realloc(out, larger));
      if (grown == nullptr)
        break;
      out = grown, capacity = larger;
    }
    z.next_out = out + produced;
    z.avail_out = static_cast<uInt>(capacity - produced);
    status = inflate(&z, Z_NO_FLUSH);
    produced = capacity - z.avail_out;
  }
  inflateEnd(&z);
  if (status != Z_STREAM_END || out == nullptr) {
    free(out);
    return false;
  }
  ClearMetadataBlock(block);
  block->data = out;
  block->size = produced;
  return true;
}

// The keyword of a text or profile chunk: 1 to 79 bytes and a zero; its length, or 0.
size_t Keyword(const unsigned char* data, size_t size) {
  const void* end = memchr(data, 0, size < 80 ? size : 80);
  const size_t length =
      end == nullptr ? 0 : static_cast<size_t>(static_cast<const unsigned char*>(end) - data);
  return length >= 1 && length <= 79 ? length : 0;
}

bool KeywordIs(const unsigned char* data, size_t length, const char* keyword) {
  return length == strlen(keyword) && memcmp(data, keyword, length) == 0;
}

void TakeIcc(const unsigned char* data, size_t size, ImageMetadata* meta) {
  const size_t name = Keyword(data, size);
  if (name == 0 || meta->icc.data != nullptr || size < name + 2 || data[name + 1] != 0)
    return; // compression method 0 is the only one
  if (InflateBlock(data + name + 2, size - name - 2, &meta->icc)) {
    memcpy(meta->iccName, data, name);
    meta->iccName[name] = '\0';
  }
}

// XMP in an iTXt chunk: flag, method, language and translated keyword, then the packet.
void TakeXmp(const unsigned char* data, size_t size, size_t keyword, ImageMetadata* meta) {
  size_t at = keyword + 1;
  if (meta->xmp.data != nullptr || size - at < 2)
    return;
  const int compressed = data[at], method = data[at + 1];
  at += 2;
  for (int skip = 0; skip < 2; ++skip) { // language tag, translated keyword
    const void* end = memchr(data + at, 0, size - at);
    if (end == nullptr)
      return;
    at = static_cast<size_t>(static_cast<const unsigned char*>(end) - data) + 1;
  }
  if (compressed == 0)
    SetMetadataBlock(&meta->xmp, data + at, size - at);
  else if (compressed == 1 && method == 0)
    InflateBlock(data + at, size - at, &meta->xmp);
}

// A text chunk other than the Title (which the writer makes anew) and the XMP is kept whole.
void TakeText(const unsigned char* type, const unsigned char* data, size_t size,
              ImageMetadata* meta) {
  const size_t keyword = Keyword(data, size);
  if (keyword == 0 || KeywordIs(data, keyword, "Title"))
    return;
  if (IsChunk(type, "iTXt") && KeywordIs(data, keyword, kXmpKeyword)) {
    TakeXmp(data, size, keyword, meta);
    return;
  }
  MetadataBlock* const texts = &meta->pngTexts;
  if (texts->size + 8 + size > kMaxMetadataBytes)
    return;
  unsigned char* const grown =
      static_cast<unsigned char*>(realloc(texts->data, texts->size + 8 + size));
  if (grown == nullptr)
    return;
  texts->data = grown;
  StoreBigEndian32(grown + texts->size, static_cast<uint32_t>(size));
  memcpy(grown + texts->size + 4, type, 4);
  memcpy(grown + texts->size + 8, data, size);
  texts->size += 8 + size;
}

void TakeChunk(const unsigned char* type, const unsigned char* data, size_t size,
               ImageMetadata* meta) {
  if (IsChunk(type, "IHDR") && size >= 8) {
    const uint32_t w = LoadBigEndian32(data), h = LoadBigEndian32(data + 4);
    if (w <= 0x7FFFFFFF && h <= 0x7FFFFFFF)
      meta->width = static_cast<int32_t>(w), meta->height = static_cast<int32_t>(h);
  } else if (IsChunk(type, "pHYs") && size == 9) {
    const uint32_t x = LoadBigEndian32(data), y = LoadBigEndian32(data + 4);
    if (x >= 1 && y >= 1 && x <= 0x7FFFFFFF && y <= 0x7FFFFFFF && data[8] <= 1) {
      meta->resolutionUnit = data[8] == 1 ? kResolutionMetre : kResolutionAspect;
      meta->xResolution = x;
      meta->yResolution = y;
    }
  } else if (IsChunk(type, "eXIf")) {
    if (meta->exif.data == nullptr)
      SetMetadataBlock(&meta->exif, data, size);
  } else if (IsChunk(type, "iCCP")) {
    TakeIcc(data, size, meta);
  } else if (IsChunk(type, "tEXt") || IsChunk(type, "zTXt") || IsChunk(type, "iTXt")) {
    TakeText(type, data, size, meta);
  }
}

bool Wanted(const unsigned char* type) {
  return IsChunk(type, "IHDR") || IsChunk(type, "pHYs") || IsChunk(type, "eXIf") ||
         IsChunk(type, "iCCP") || IsChunk(type, "tEXt") || IsChunk(type, "zTXt") ||
         IsChunk(type, "iTXt");
}

bool SkipBytes(FILE* file, uint64_t bytes) {
  return bytes <= static_cast<uint64_t>(INT64_MAX) &&
         SeekFile(file, static_cast<int64_t>(bytes), SEEK_CUR) == 1;
}

// An older writer's copy of the EXIF in a text chunk would contradict the upright picture.
void DropRawExifTexts(ImageMetadata* meta) {
  MetadataBlock* const texts = &meta->pngTexts;
  size_t kept = 0;
  for (size_t at = 0; at < texts->size;) {
    const size_t length = 8 + LoadBigEndian32(texts->data + at);
    const unsigned char* const data = texts->data + at + 8;
    const size_t keyword = Keyword(data, length - 8);
    if (!KeywordIs(data, keyword, "Raw profile type exif") &&
        !KeywordIs(data, keyword, "Raw profile type APP1")) {
      memmove(texts->data + kept, texts->data + at, length);
      kept += length;
    }
    at += length;
  }
  texts->size = kept;
  if (kept == 0)
    ClearMetadataBlock(texts);
}

} // namespace

void ReadPngMetadata(FILE* file, ImageMetadata* meta) {
  static const unsigned char kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
  unsigned char head[8];
  if (fread(head, 1, 8, file) != 8 || memcmp(head, kSignature, 8) != 0)
    return;
  for (;;) {
    if (fread(head, 1, 8, file) != 8)
      break;
    const uint32_t length = LoadBigEndian32(head);
    const unsigned char* const type = head + 4;
    if (length > 0x7FFFFFFF || IsChunk(type, "IEND"))
      break;
    if (!Wanted(type) || length > kMaxMetadataBytes) {
      if (!SkipBytes(file, uint64_t{length} + 4))
        break;
      continue;
    }
    unsigned char* const data = static_cast<unsigned char*>(malloc(uint64_t{length} + 4));
    if (data == nullptr || fread(data, 1, length + 4, file) != length + 4) {
      free(data);
      break;
    }
    uLong crc = crc32(0, type, 4);
    crc = crc32(crc, data, length);
    if (crc == LoadBigEndian32(data + length))
      TakeChunk(type, data, length, meta);
    free(data);
  }
  if (meta->exif.data != nullptr)
    DropRawExifTexts(meta);
}
