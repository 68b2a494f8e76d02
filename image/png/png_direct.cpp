#include "image/png/png_direct.h"

#include "base/byte_order.h"
#include "base/file_offset.h"
#include "image/deflate/inflater.h"
#include "image/png/png_filters.h"
#include "image/png/png_widen.h"
#include "image/work/row_relay.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <libdeflate.h>

namespace {

// The data of consecutive IDAT chunks, each chunk's CRC checked when it has been read (by
// libdeflate, twice as fast as zlib here, on the thread that bounds the read).
struct ImageData {
  FILE* file;
  uint32_t left; // data bytes not yet read from the current chunk
  uint32_t crc;
  int ended; // no further IDAT chunk, or the file ends
  int failed;
};

void StartChunk(ImageData* d, const unsigned char* header) {
  d->left = LoadBigEndian32(header);
  d->crc = libdeflate_crc32(0, header + 4, 4);
  if (d->left > 0x7FFFFFFFu)
    d->failed = 1;
}

int CheckCrc(ImageData* d) {
  unsigned char stored[4];
  if (fread(stored, 1, 4, d->file) != 4 || LoadBigEndian32(stored) != d->crc)
    d->failed = 1;
  return d->failed == 0;
}

// The next piece of image data, at most capacity bytes of it, into buffer: its length, or 0
// at its end or on failure.
size_t NextData(void* context, unsigned char* buffer, size_t capacity) {
  ImageData* const d = static_cast<ImageData*>(context);
  while (d->left == 0 && d->ended == 0 && d->failed == 0) {
    unsigned char header[8];
    if (CheckCrc(d) == 0)
      return 0;
    if (fread(header, 1, 8, d->file) != 8 || memcmp(header + 4, "IDAT", 4) != 0)
      d->ended = 1;
    else
      StartChunk(d, header);
  }
  if (d->ended != 0 || d->failed != 0)
    return 0;
  const size_t n = d->left < capacity ? d->left : capacity;
  if (fread(buffer, 1, n, d->file) != n) {
    d->failed = 1;
    return 0;
  }
  d->crc = libdeflate_crc32(d->crc, buffer, n);
  d->left -= static_cast<uint32_t>(n);
  return n;
}

// The rest of the current chunk, for its CRC.
int FinishChunk(ImageData* d) {
  if (d->ended != 0)
    return d->failed == 0; // its CRC was checked before the next chunk was looked at
  unsigned char rest[4096];
  while (d->left > 0 && d->failed == 0)
    NextData(d, rest, sizeof rest);
  return d->failed == 0 && CheckCrc(d);
}

struct RowStore {
  unsigned char* pixels;
  size_t width;
  size_t height;
  size_t samples;
  unsigned char* rows; // two unfiltered rows with slack: the one above and the current one
  size_t stride;
  int failed; // a filter type beyond 4
  Scheduler* work;
};

// Undoes row index's filter and widens it into ImageBuffer row height - 1 - index.
void StoreRow(void* context, size_t index, const unsigned char* filtered) {
  RowStore& s = *static_cast<RowStore*>(context);
  const size_t bytes = s.width * s.samples;
  unsigned char* const row = s.rows + (index & 1) * s.stride;
  const unsigned char* const prior = s.rows + ((index + 1) & 1) * s.stride;
  if (UnfilterPngRow(filtered, prior, bytes, s.samples, row) == 0) {
    s.failed = 1;
    memset(row, 0, bytes);
    return;
  }
  WidenPngRow(s.pixels + (s.height - 1 - index) * s.width * 4, row, s.width, s.samples);
  PublishRows(s.work, index + 1, s.height);
}

ImageResult InflateAndStoreRows(Inflater* inflater, RowStore* store, size_t height) {
  const size_t line = 1 + store->width * store->samples;
  // Rows go to a second thread that undoes the filters and widens them; without that thread
  // this one does it through a row of its own.
  RowRelay* const relay = StartRowRelay(store->work, line + kUnfilterSlack, StoreRow, store);
  unsigned char* own = nullptr;
  if (relay == nullptr) {
    own = static_cast<unsigned char*>(malloc(line + kUnfilterSlack));
    if (own == nullptr)
      return kImageNoMemory;
  }
  int ok = 1;
  for (size_t i = 0; ok && i < height; ++i) {
    unsigned char* const room = relay != nullptr ? NextRowRoom(relay) : own;
    ok = InflateExactly(inflater, room, line);
    if (!ok)
      break;
    if (relay != nullptr)
      PassRow(relay);
    else
      StoreRow(store, i, room);
  }
  EndRowRelay(relay);
  free(own);
  return ok && store->failed == 0 ? kImageOk : kImageDamaged;
}

} // namespace

ImageResult ReadPngRowsDirectly(FILE* file, size_t width, size_t height, size_t samples,
                                unsigned char* pixels, Scheduler* work) {
  if (samples != 3 && samples != 4)
    return kImageUnsupported;
  // Back to the first IDAT chunk's length and type, which png_read_info has just read.
  unsigned char header[8];
  if (SeekFile(file, -8, SEEK_CUR) != 1 || fread(header, 1, 8, file) != 8 ||
      memcmp(header + 4, "IDAT", 4) != 0)
    return kImageDamaged;
  ImageData data = {};
  data.file = file;
  StartChunk(&data, header);

  RowStore store;
  store.pixels = pixels;
  store.width = width;
  store.height = height;
  store.samples = samples;
  store.stride = width * samples + kUnfilterSlack;
  store.rows = static_cast<unsigned char*>(calloc(2, store.stride));
  store.failed = 0;
  store.work = work;

  Inflater* const inflater = StartInflater(NextData, &data);
  ImageResult result = store.rows != nullptr && inflater != nullptr
                           ? InflateAndStoreRows(inflater, &store, height)
                           : kImageNoMemory;
  if (result == kImageOk && !FinishChunk(&data))
    result = kImageDamaged;
  EndInflater(inflater);
  free(store.rows);
  return result;
}
