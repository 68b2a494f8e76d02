// One zlib stream made of segments compressed on several threads at once.
#pragma once

#include "image/picture/image_result.h"
#include "image/work/scheduler.h"

#include <cstddef>

// The data to compress, cut into segments by its owner.
struct SegmentedInput {
  size_t segments;        // at least 1
  size_t maxSegmentBytes; // room given to fill for one segment
  size_t scratchBytes;    // working memory given to fill with it
  // Writes segment k's data to out and returns its length (1 .. maxSegmentBytes). Runs on
  // worker threads, for different segments at once.
  size_t (*fill)(void* context, size_t k, unsigned char* out, unsigned char* scratch);
  void* context;
};

// Takes the stream in order, one piece per segment, on the calling thread; 0 stops the work.
typedef int (*StreamSink)(void* context, const unsigned char* data, size_t length);

// Compresses every segment with libdeflate, segment k at levels[k % levelCount] (1 to 3
// levels), and hands the sink one valid zlib stream (header, the segments joined, Adler-32).
// kImageOk when all of it went to the sink; kImageNoMemory when memory ran out;
// kImageCannotWrite when a segment could not be filled or joined, or the sink refused.
// The segments are compressed on work's helpers too, each done before this returns, on every
// path.
ImageResult WriteZlibInSegments(const SegmentedInput* input, const int* levels, size_t levelCount,
                                StreamSink sink, void* sinkContext, Scheduler* work);

// Makes a raw deflate stream of length bytes at data continuable: clears the final-block bit of
// its last block and appends an empty stored block, which ends on a byte boundary. The buffer
// needs room for 5 more bytes. 1 with *length updated; 0 when data is no complete stream.
int UnfinishDeflateStream(unsigned char* data, size_t* length);
