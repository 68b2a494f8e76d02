// Takes a picture's page faults off the reader while it fills the picture: the faults are
// taken from the end of the block the reader reaches last, towards the reader, so that the
// two meet and the reader meets only the faults of the rest. On a system that faults one
// small page at a time this halves the cost of a fresh picture's memory.
#pragma once

#include "image/picture/image_buffer.h"
#include "image/work/scheduler.h"

#include <cstddef>

// The end of the block the reader fills first: PNG and JPEG readers fill from the top row,
// the block's end; a bottom-up BMP fills from its start.
enum FillOrder { kFillsFromEnd, kFillsFromStart };

// Before reading starts: the faults of picture, once its reader publishes its block to work,
// are taken at place as a task that hears of the rows (see scheduler.h), until reading ends.
// false when that cannot be had: the reader then meets its own faults.
bool TakePictureFaults(Scheduler* work, const ImageBuffer* picture, FillOrder order,
                       RowTaskPlace place);

// The bytes of one step: small enough that a thread stops soon after reading ends, or is back
// soon to the rows it would have waited for; large enough that asking whether it should
// costs nothing.
const size_t kPrefaultStepBytes = size_t{128} << 10;
