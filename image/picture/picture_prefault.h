// Takes a picture's page faults off the reader while it fills the picture: the faults are
// taken from the end of the block the reader reaches last, towards the reader, so that the
// two meet and the reader meets only the faults of the rest. On a system that faults one
// small page at a time this halves the cost of a fresh picture's memory.
#pragma once

#include "image/picture/row_progress.h"
#include "image/work/scheduler.h"

#include <cstddef>

struct PicturePrefault;

// The end of the block the reader fills first: PNG and JPEG readers fill from the top row,
// the block's end; a bottom-up BMP fills from its start.
enum FillOrder { kFillsFromEnd, kFillsFromStart };

// Who takes the faults. A reader that keeps one core busy leaves the other to a thread of
// the prefault's own. A reader that keeps two threads busy (the PNG reader: one inflates,
// one stores rows) would only take turns with a third on a two-core machine, and the
// inflating thread, which bounds the read, would lose half its time: there the reader's
// threads take the faults themselves whenever they would otherwise wait for each other.
enum PrefaultWay { kOnItsOwnThread, kInReadersSpareTime };

// Starts taking the faults of the picture that progress shows, until reading ends: on a
// helper of work's, or for kInReadersSpareTime as progress's spare work. nullptr when no
// thread or memory can be had: the reader then meets its own faults.
PicturePrefault* StartPicturePrefault(RowProgress* progress, FillOrder order, PrefaultWay way,
                                      Scheduler* work);

// The bytes of one step: small enough that a thread stops soon after reading ends, or is back
// soon to the rows it would have waited for; large enough that asking whether it should
// costs nothing.
const size_t kPrefaultStepBytes = size_t{128} << 10;

// Takes one step of the faults of prefault (a PicturePrefault, untyped to serve as spare
// work). 1 when it did, 0 when there is none to take (the picture not shown yet, every page
// taken or reached by the reader, or reading ended). Any of the reader's threads may call
// it, at once.
int PrefaultInSpareTime(void* prefault);

// Takes it off progress's spare work, waits for its thread and frees it; accepts nullptr.
// Called after EndRows and after the reader's threads have ended, before the picture can go.
void EndPicturePrefault(PicturePrefault* prefault);
