#include "image/png/png_codec.h"

#include "image/deflate/zlib_segments.h"
#include "image/picture/recovery_point.h"
#include "image/png/png_filters.h"
#include "image/png/png_metadata.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <libdeflate.h>
#include <png.h>

// libpng writes the chunks around the image data; the image data itself is filtered and
// compressed here, in segments on up to ThreadsToUse() threads, with libdeflate, which
// gives smaller output than zlib's level 9 in a fraction of its time. Memory: besides the
// ImageBuffer only the segments in flight (two per thread), one compressor per level and
// thread, and a fast one while a segment's filtering is chosen.

namespace {

// Segments take libdeflate's levels 7, 7 and 6 in turn. Against zlib's level 9 (with
// Z_FILTERED, as ImageMagick writes), level 10 gives 6 to 7 % less but needs half of zlib's
// processor time on a photo; levels 6 and 7 are about 1 % smaller on a noisy photo, and a
// little smaller still on smooth content (a decoded JPEG) once each segment's filtering is
// chosen on a sample, in a tenth of the time, which two cores halve. Level 10 in every third
// segment gave 2 % more on the benchmark's pictures for 60 % more time: what a user waits
// for matters more here than the last percent.
const int kDeflateLevels[3] = {7, 7, 6};
// About 2 MB of filtered rows per segment: a segment's first 32 KB compress without history,
// which costs well under 0.1 % at this size.
const size_t kSegmentBytes = 2u << 20;
// The sample that chooses a segment's filtering, and how it is compressed.
const size_t kSampleRows = 8;
const int kSampleLevel = 1;

struct FileSink {
  FILE* file;
  int failed;
};

// libpng's output, without a longjmp on failure: a failed write is noticed after each chunk.
void WriteToFile(png_structp png, png_bytep data, size_t length) {
  FileSink* const sink = static_cast<FileSink*>(png_get_io_ptr(png));
  if (sink->failed == 0 && fwrite(data, 1, length, sink->file) != length)
    sink->failed = 1;
}

void FlushFile(png_structp png) {
  FileSink* const sink = static_cast<FileSink*>(png_get_io_ptr(png));
  if (sink->failed == 0 && fflush(sink->file) != 0)
    sink->failed = 1;
}

// Rows of the file (top row first) packed from the ImageBuffer (bottom row first).
struct RowSource {
  const unsigned char* pixels;
  size_t width;
  size_t height;
  size_t samples; // bytes per pixel in the file
  size_t rowsPerSegment;
};

// The file's row i in PNG layout: RGBA rows are the ImageBuffer's own.
const unsigned char* PackRow(const RowSource& s, size_t i, unsigned char* out) {
  const unsigned char* src = s.pixels + (s.height - 1 - i) * s.width * 4;
  unsigned char* d = out;
  switch (s.samples) {
  case 4:
    return src;
  case 3:
    for (size_t x = 0; x < s.width; ++x, src += 4, d += 3) {
      d[0] = src[0];
      d[1] = src[1];
      d[2] = src[2];
    }
    break;
  case 2:
    for (size_t x = 0; x < s.width; ++x, src += 4, d += 2) {
      d[0] = src[0];
      d[1] = src[3];
    }
    break;
  default:
    for (size_t x = 0; x < s.width; ++x, src += 4)
      d[x] = src[0];
    break;
  }
  return out;
}

// Rows first .. last - 1, each filtered as filter says, into out. Scratch: two packed rows,
// then the filter candidates.
size_t FilterRows(const RowSource& s, size_t first, size_t last, int filter, unsigned char* out,
                  unsigned char* scratch) {
  const size_t bytes = s.width * s.samples;
  unsigned char* packed[2] = {scratch, scratch + bytes};
  unsigned char* const candidates = scratch + 2 * bytes;
  // The row above is packed where row first will not be: row i is packed into packed[i & 1].
  unsigned char* const above = packed[(first + 1) & 1];
  const unsigned char* prior = above;
  if (first == 0)
    memset(above, 0, bytes);
  else
    prior = PackRow(s, first - 1, above);
  unsigned char* at = out;
  for (size_t i = first; i < last; ++i) {
    const unsigned char* row = PackRow(s, i, packed[i & 1]);
    FilterPngRow(row, prior, bytes, s.samples, filter, at, candidates);
    at += 1 + bytes;
    prior = row;
  }
  return static_cast<size_t>(at - out);
}

// The way of filtering a segment's rows, per row or one filter throughout, that compresses
// best on a sample of its rows: three bands of kSampleRows, compressed fast. trial holds the
// sample filtered.
int ChooseSegmentFilter(const RowSource& s, size_t first, size_t last, unsigned char* trial,
                        unsigned char* scratch) {
  libdeflate_compressor* const fast = libdeflate_alloc_compressor(kSampleLevel);
  // A segment of few rows is its own sample.
  const size_t rows = last - first < 3 * kSampleRows ? last - first : kSampleRows;
  const size_t bands = last - first < 3 * kSampleRows ? 1 : 3;
  const size_t line = 1 + s.width * s.samples;
  const size_t bound = libdeflate_deflate_compress_bound(fast, bands * rows * line);
  unsigned char* const packed = static_cast<unsigned char*>(malloc(bound));
  int best = kChooseFilter;
  if (fast != nullptr && packed != nullptr) {
    const size_t starts[3] = {first, first + (last - first - rows) / 2, last - rows};
    size_t least = 0;
    for (int filter = kChooseFilter; filter <= kFilterPaeth; ++filter) {
      size_t length = 0;
      for (size_t b = 0; b < bands; ++b)
        length += FilterRows(s, starts[b], starts[b] + rows, filter, trial + length, scratch);
      const size_t size = libdeflate_deflate_compress(fast, trial, length, packed, bound);
      if (size != 0 && (filter == kChooseFilter || size < least))
        least = size, best = filter;
    }
  }
  free(packed);
  libdeflate_free_compressor(fast);
  return best;
}

// Segment k: filter byte and filtered samples of each of its rows.
size_t FillSegment(void* context, size_t k, unsigned char* out, unsigned char* scratch) {
  const RowSource& s = *static_cast<const RowSource*>(context);
  const size_t first = k * s.rowsPerSegment;
  const size_t last = first + s.rowsPerSegment < s.height ? first + s.rowsPerSegment : s.height;
  const int filter = ChooseSegmentFilter(s, first, last, out, scratch);
  return FilterRows(s, first, last, filter, out, scratch);
}

// One writing: the library's structures, the file and what goes into it. libpng's calls run
// through RunWithRecoveryPoint, a chunk or the header chunks at a time: it refuses bad header
// values with a longjmp, and a longjmp must never leave the segment writer with its threads
// running.
struct PngWriting {
  png_structp png;
  png_infop info;
  FileSink* file;
  const char* title;
  const ImageBuffer* image;
  const ImageMetadata* meta;
  int colorType;
  const unsigned char* chunkData; // the chunk written next
  size_t chunkLength;
  const char* chunkType;
  Scheduler* work;
};

ImageResult FileWritten(const PngWriting& w) {
  return w.file->failed == 0 ? kImageOk : kImageCannotWrite;
}

ImageResult WriteHeaderChunks(void* context) {
  const PngWriting& w = *static_cast<const PngWriting*>(context);
  png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(w.image->width),
               static_cast<png_uint_32>(w.image->height), 8, w.colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_set_gAMA(w.png, w.info, 1.0 / 2.2); // stored as 45455

  png_time modified;
  png_convert_from_time_t(&modified, time(nullptr)); // UTC
  png_set_tIME(w.png, w.info, &modified);

  png_write_info(w.png, w.info);
  WritePngMetadata(w.png, w.meta, w.title);
  return FileWritten(w);
}

ImageResult WriteChunk(void* context) {
  const PngWriting& w = *static_cast<const PngWriting*>(context);
  png_write_chunk(w.png, reinterpret_cast<png_const_bytep>(w.chunkType), w.chunkData,
                  w.chunkLength);
  return FileWritten(w);
}

ImageResult WriteChunkGuarded(PngWriting* w, const char* type, const unsigned char* data,
                              size_t length) {
  w->chunkType = type;
  w->chunkData = data;
  w->chunkLength = length;
  return RunWithRecoveryPoint(&png_jmpbuf(w->png), WriteChunk, w, kImageCannotWrite);
}

// The stream's pieces, in order, each an IDAT chunk.
// Each segment's compressed data, as one IDAT: a segment is the writing's unit.
int WriteIdat(void* context, const unsigned char* data, size_t length) {
  PngWriting* const w = static_cast<PngWriting*>(context);
  AddWritten(w->work, 1);
  return WriteChunkGuarded(w, "IDAT", data, length) == kImageOk;
}

ImageResult WriteChunks(PngWriting* w, size_t samples) {
  const ImageBuffer* const image = w->image;
  png_set_write_fn(w->png, w->file, WriteToFile, FlushFile);
  const ImageResult header =
      RunWithRecoveryPoint(&png_jmpbuf(w->png), WriteHeaderChunks, w, kImageCannotWrite);
  if (header != kImageOk)
    return header;

  RowSource rows;
  rows.pixels = image->pixels;
  rows.width = static_cast<size_t>(image->width);
  rows.height = static_cast<size_t>(image->height);
  rows.samples = samples;
  const size_t line = 1 + rows.width * samples; // fits: ImagePixelBytes checked w x h x 4
  rows.rowsPerSegment = kSegmentBytes / line > 0 ? kSegmentBytes / line : 1;
  if (rows.rowsPerSegment > rows.height)
    rows.rowsPerSegment = rows.height;

  SegmentedInput input;
  input.segments = (rows.height + rows.rowsPerSegment - 1) / rows.rowsPerSegment;
  input.maxSegmentBytes = rows.rowsPerSegment * line;
  input.scratchBytes = 6 * (line - 1);
  input.fill = FillSegment;
  input.context = &rows;
  PlanWriting(w->work, input.segments);
  const ImageResult data = WriteZlibInSegments(&input, kDeflateLevels, 3, WriteIdat, w, w->work);
  if (data != kImageOk)
    return data;
  // IEND after the image data written chunk by chunk (png_write_end would refuse: libpng has
  // not seen an IDAT of its own).
  return WriteChunkGuarded(w, "IEND", nullptr, 0);
}

} // namespace

ImageResult EncodePng(const char* path, const char* title, const ImageBuffer* image,
                      const ImageMetadata* meta, Scheduler* work) {
  if (path == nullptr || title == nullptr || image == nullptr || image->pixels == nullptr)
    return kImageCannotWrite;
  if (ImagePixelBytes(image->width, image->height) == 0)
    return kImageTooLarge;
  int colorType = PNG_COLOR_TYPE_RGB;
  size_t samples = 3;
  switch (image->channels) {
  case 1:
    colorType = PNG_COLOR_TYPE_GRAY, samples = 1;
    break;
  case 2:
    colorType = PNG_COLOR_TYPE_GRAY_ALPHA, samples = 2;
    break;
  case 4:
    colorType = PNG_COLOR_TYPE_RGB_ALPHA, samples = 4;
    break;
  default:
    colorType = PNG_COLOR_TYPE_RGB, samples = 3;
    break;
  }

  FileSink file = {fopen(path, "wb"), 0};
  if (file.file == nullptr)
    return kImageCannotWrite;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  ImageResult result = kImageNoMemory;
  if (info != nullptr) {
    PngWriting writing = {png,       info,    &file, title,   image, meta,
                          colorType, nullptr, 0,     nullptr, work};
    result = WriteChunks(&writing, samples);
  }
  png_destroy_write_struct(&png, &info);
  if (fclose(file.file) != 0 && result == kImageOk)
    result = kImageCannotWrite;
  return result;
}

int WritePng(const char* path, const ImageBuffer* image) {
  CallScheduler call;
  return CodecResult(EncodePng(path, path, image, nullptr, call.work));
}
