// The JPEG writer's first pass: every section of the picture (jpeg_bands.h) compressed
// without keeping bytes, its symbols counted, so that the Huffman tables fit the picture.
// The writer counts batches of sections on one compressor each, about one batch per thread;
// the sections counted while the picture was read (jpeg_count_ahead.h) are not counted again.
#pragma once

#include "image/jpeg/jpeg_bands.h"
#include "image/jpeg/jpeg_huffman_fit.h"
#include "image/work/scheduler.h"

// What was counted of the picture before its writer started: its first sections, at the
// writer's quality, their counts summed and each one's DC ends. Plain data; none counted when
// sections is 0.
struct JpegCountsAhead {
  size_t sections;
  const JpegSymbolCounts* totals;
  const JpegDcEnds* ends; // one per section
};

// Starts cinfo counting a compression of rows rows of settings' picture into counter.
void StartJpegCount(j_compress_ptr cinfo, const JpegSettings& settings, size_t rows,
                    JpegSymbolCounter* counter);

// The counts of settings' picture cut as plan, summed in totals (zeroed first): the sections
// counted ahead, then the rest on up to threads threads, work's helpers among them. 1 when the
// counts are whole; 0 when a section could not be counted or its count is not whole (the
// standard tables are then used).
int CountJpegPicture(const JpegSettings& settings, const JpegPlan& plan,
                     const JpegCountsAhead& ahead, size_t threads, JpegSymbolCounts* totals,
                     Scheduler* work);
