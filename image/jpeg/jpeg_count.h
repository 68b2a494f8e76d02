// The JPEG writer's first pass: every section of the picture (jpeg_bands.h) compressed
// without keeping bytes, its symbols counted, so that the Huffman tables fit the picture.
// The writer counts runs of sections on one compressor each, about one run per thread.
//
// A PNG reader keeps two threads busy, but in the last part of a large picture the thread
// that stores rows waits for the one that inflates them: there the sections whose rows are
// final can be counted ahead, in the reader's spare time, and the writer counts only the
// rest.
#pragma once

#include "image/jpeg/jpeg_bands.h"
#include "image/jpeg/jpeg_huffman_fit.h"
#include "image/picture/row_progress.h"
#include "image/work/scheduler.h"

struct JpegCountAhead;

// Before reading starts: the sections of the picture progress will show are counted in its
// reader's spare time as their rows become final, as a JPEG at quality counts them. Adds
// itself to progress's spare work. nullptr when there is no memory: the writer then counts
// every section.
JpegCountAhead* StartJpegCountAhead(RowProgress* progress, int quality);

// A piece of the counting (about one MCU row), for a reader's thread: 1 when it did one, 0
// when there is none now. Only one thread counts at a time; another gets 0.
int CountJpegAheadInSpareTime(void* ahead);

// After reading has ended and the reader's threads with it: nothing more is counted, and it
// is taken off progress's spare work. What it counted waits for CountJpegPicture. Accepts
// nullptr.
void StopJpegCountAhead(JpegCountAhead* ahead);

// Sections counted ahead so far, from the top.
size_t JpegSectionsCountedAhead(const JpegCountAhead* ahead);

// Frees it; accepts nullptr.
void FreeJpegCountAhead(JpegCountAhead* ahead);

// The counts of settings' picture cut as plan, summed in totals (zeroed first): the sections
// ahead counted (when it counted this picture at these settings, else none), then the rest
// on up to threads threads, work's helpers among them. 1 when the counts are whole; 0 when a
// section could not be counted or its count is not whole (the standard tables are then used).
int CountJpegPicture(const JpegSettings& settings, const JpegPlan& plan,
                     const JpegCountAhead* ahead, size_t threads, JpegSymbolCounts* totals,
                     Scheduler* work);
