#include "image/deflate/zlib_segments.h"

#include "base/byte_order.h"
#include "image/work/scheduler.h"

#include <cstdlib>
#include <cstring>

#include <libdeflate.h>
#include <zlib.h>

namespace {

// Deflate with a 32 KB window, "maximum compression" in the level field; a multiple of 31.
const unsigned char kZlibHeader[2] = {0x78, 0xDA};
const size_t kHeaderRoom = 2;
const size_t kTailRoom = 5; // an empty stored block, or the Adler-32

// One segment in flight: its data and its compressed form.
struct SegmentRoom {
  unsigned char* input;
  unsigned char* scratch;
  unsigned char* output; // kHeaderRoom + deflate bound + kTailRoom
  size_t inputBytes;
  size_t outputBytes; // deflate data at output + kHeaderRoom
  uint32_t adler;     // of this segment's data alone
};

const size_t kMaxLevels = 3;
const size_t kMaxThreads = 16;

// A thread's compressors, one per level.
struct Compressors {
  libdeflate_compressor* at[kMaxLevels];
};

struct Job {
  const SegmentedInput* input;
  size_t levelCount;
  size_t outputRoom;
  SegmentRoom* rooms;
  Compressors* compressors; // one set per worker
  uLong adler;              // of the segments handed to the sink so far
  StreamSink sink;
  void* sinkContext;
};

// Fills, compresses and prepares segment k in its room; runs without the lock.
int CompressSegment(const Job& job, const Compressors& compressors, size_t k, SegmentRoom* room) {
  const SegmentedInput& in = *job.input;
  room->inputBytes = in.fill(in.context, k, room->input, room->scratch);
  if (room->inputBytes == 0 || room->inputBytes > in.maxSegmentBytes)
    return 0;
  room->adler = libdeflate_adler32(1, room->input, room->inputBytes);
  unsigned char* const deflated = room->output + kHeaderRoom;
  room->outputBytes = libdeflate_deflate_compress(compressors.at[k % job.levelCount], room->input,
                                                  room->inputBytes, deflated, job.outputRoom);
  if (room->outputBytes == 0)
    return 0;
  return k + 1 == in.segments ? 1 : UnfinishDeflateStream(deflated, &room->outputBytes);
}

int DoSegment(void* context, size_t worker, size_t k, size_t room) {
  const Job& job = *static_cast<const Job*>(context);
  return CompressSegment(job, job.compressors[worker], k, &job.rooms[room]);
}

// Hands segment k (done, in its room) to the sink with the stream's header or trailer.
int HandOnSegment(void* context, size_t k, size_t roomIndex) {
  Job& job = *static_cast<Job*>(context);
  SegmentRoom* const room = &job.rooms[roomIndex];
  uLong* const adler = &job.adler;
  *adler = adler32_combine(*adler, room->adler, static_cast<z_off_t>(room->inputBytes));
  unsigned char* begin = room->output + kHeaderRoom;
  size_t length = room->outputBytes;
  if (k == 0) {
    begin = room->output;
    memcpy(begin, kZlibHeader, kHeaderRoom);
    length += kHeaderRoom;
  }
  if (k + 1 == job.input->segments) {
    StoreBigEndian32(begin + length, static_cast<uint32_t>(*adler));
    length += 4;
  }
  return job.sink(job.sinkContext, begin, length);
}

void FreeRooms(SegmentRoom* rooms, size_t count) {
  if (rooms == nullptr)
    return;
  for (size_t i = 0; i < count; ++i) {
    free(rooms[i].input);
    free(rooms[i].scratch);
    free(rooms[i].output);
  }
  free(rooms);
}

// All or nothing: nullptr when any block is missing.
SegmentRoom* AllocRooms(size_t count, const SegmentedInput& in, size_t outputRoom) {
  SegmentRoom* const rooms = static_cast<SegmentRoom*>(calloc(count, sizeof(SegmentRoom)));
  if (rooms == nullptr)
    return nullptr;
  for (size_t i = 0; i < count; ++i) {
    rooms[i].input = static_cast<unsigned char*>(malloc(in.maxSegmentBytes));
    rooms[i].scratch =
        static_cast<unsigned char*>(malloc(in.scratchBytes > 0 ? in.scratchBytes : 1));
    rooms[i].output = static_cast<unsigned char*>(malloc(outputRoom));
    if (rooms[i].input == nullptr || rooms[i].scratch == nullptr || rooms[i].output == nullptr) {
      FreeRooms(rooms, count);
      return nullptr;
    }
  }
  return rooms;
}

} // namespace

int UnfinishDeflateStream(unsigned char* data, size_t* length) {
  z_stream z;
  memset(&z, 0, sizeof z);
  if (inflateInit2(&z, -15) != Z_OK)
    return 0;
  z.next_in = data;
  z.avail_in = static_cast<uInt>(*length);
  // Where the current block's header begins: its first bit is the final-block bit.
  size_t headerByte = 0;
  int headerBit = 0;
  int endUnused = -1; // unused bits in the last byte, seen right after the final block
  unsigned char sink[32768];
  int status = Z_OK;
  while (status == Z_OK) {
    z.next_out = sink;
    z.avail_out = sizeof sink;
    status = inflate(&z, Z_BLOCK);
    if (status != Z_OK || (z.data_type & 128) == 0)
      continue;
    // At a block boundary; the next header would follow the bits used so far.
    const size_t used = static_cast<size_t>(z.next_in - data);
    const int unused = z.data_type & 7;
    if ((z.data_type & 64) != 0) {
      endUnused = unused;
    } else {
      headerByte = unused != 0 ? used - 1 : used;
      headerBit = unused != 0 ? 8 - unused : 0;
    }
  }
  const bool whole = status == Z_STREAM_END && z.avail_in == 0 && endUnused >= 0;
  inflateEnd(&z);
  if (!whole || headerByte >= *length)
    return 0;
  const int unused = endUnused;
  data[headerByte] &= static_cast<unsigned char>(~(1u << headerBit));
  // The stored block's 3 header bits (all 0) go into the last byte's padding when they fit.
  size_t n = *length;
  if (unused != 0)
    data[n - 1] &= static_cast<unsigned char>((1u << (8 - unused)) - 1u);
  if (unused < 3)
    data[n++] = 0;
  data[n++] = 0x00;
  data[n++] = 0x00;
  data[n++] = 0xFF;
  data[n++] = 0xFF;
  *length = n;
  return 1;
}

ImageResult WriteZlibInSegments(const SegmentedInput* input, const int* levels, size_t levelCount,
                                StreamSink sink, void* sinkContext, Scheduler* work) {
  if (input == nullptr || input->segments == 0 || input->maxSegmentBytes == 0 ||
      levels == nullptr || levelCount == 0 || levelCount > kMaxLevels)
    return kImageCannotWrite;
  const size_t bound = libdeflate_deflate_compress_bound(nullptr, input->maxSegmentBytes);
  if (bound == 0 || bound > static_cast<size_t>(-1) - kHeaderRoom - kTailRoom)
    return kImageTooLarge;
  size_t threads = ThreadsToUse();
  if (threads > input->segments)
    threads = input->segments;
  if (threads > kMaxThreads)
    threads = kMaxThreads;

  // One set of compressors per thread.
  Compressors compressors[kMaxThreads] = {};
  size_t have = 0;
  for (; have < threads; ++have) {
    bool all = true;
    for (size_t i = 0; i < levelCount; ++i)
      all = all && (compressors[have].at[i] = libdeflate_alloc_compressor(levels[i])) != nullptr;
    if (!all) {
      for (size_t i = 0; i < levelCount; ++i)
        if (compressors[have].at[i] != nullptr)
          libdeflate_free_compressor(compressors[have].at[i]);
      break;
    }
  }
  threads = have;
  // Two rooms per thread let a thread go on while the segment before its own is still being
  // compressed.
  const size_t roomCount = threads * 2 < input->segments ? threads * 2 : input->segments;
  Job job;
  job.input = input;
  job.levelCount = levelCount;
  job.outputRoom = bound;
  job.rooms =
      threads > 0 ? AllocRooms(roomCount, *input, kHeaderRoom + bound + kTailRoom) : nullptr;
  job.compressors = compressors;
  job.adler = adler32(0, nullptr, 0);
  job.sink = sink;
  job.sinkContext = sinkContext;
  const InOrder segments = {input->segments, roomCount, DoSegment, HandOnSegment, &job};
  const ImageResult result = job.rooms == nullptr                   ? kImageNoMemory
                             : RunInOrder(work, &segments, threads) ? kImageOk
                                                                    : kImageCannotWrite;
  FreeRooms(job.rooms, roomCount);
  for (size_t t = 0; t < have; ++t)
    for (size_t i = 0; i < levelCount; ++i)
      libdeflate_free_compressor(compressors[t].at[i]);
  return result;
}
