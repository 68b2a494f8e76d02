// Takes a picture's page faults on a thread of its own while the reader fills the picture:
// the thread starts at the end of the block the reader reaches last and works towards the
// reader, so that the two meet and the reader meets only the faults of the rest. On a system
// that faults one small page at a time this halves the cost of a fresh picture's memory.
#pragma once

#include "image/row_progress.h"

struct PicturePrefault;

// The end of the block the reader fills first: PNG and JPEG readers fill from the top row,
// the block's end; a bottom-up BMP fills from its start.
enum FillOrder { kFillsFromEnd, kFillsFromStart };

// Starts the thread; it waits for the picture that progress shows and stops once reading
// ends. nullptr when no thread can be had: the reader then meets its own faults.
PicturePrefault* StartPicturePrefault(RowProgress* progress, FillOrder order);

// Waits for the thread and frees it; accepts nullptr. Called after EndRows, before the
// picture can go.
void EndPicturePrefault(PicturePrefault* prefault);
