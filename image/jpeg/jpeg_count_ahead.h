// A JPEG target's sections counted while its source is read. A PNG reader keeps two threads
// busy, but in the last part of a large picture the thread that stores rows waits for the one
// that inflates them: there the sections whose rows are final are counted, and the writer
// counts only the rest (jpeg_count.h).
#pragma once

#include "image/jpeg/jpeg_count.h"
#include "image/picture/image_buffer.h"
#include "image/work/scheduler.h"

struct JpegCountAhead;

// Before reading starts: the sections of picture, once its reader publishes it to work, are
// counted as a JPEG at quality counts them, in order as their rows become final, whenever one
// of the reader's threads would wait (see scheduler.h). nullptr when that cannot be had: the
// writer then counts every section.
JpegCountAhead* CountJpegAhead(Scheduler* work, const ImageBuffer* picture, int quality);

// Once the rows have ended: what was counted, held until ahead is freed. None for nullptr.
JpegCountsAhead JpegCountedSoFar(const JpegCountAhead* ahead);

// Accepts nullptr.
void FreeJpegCountAhead(JpegCountAhead* ahead);
