// Hands rows from the thread that decodes them to a helper that stores them, so that storing
// (and the first touch of every page of the picture) overlaps the decoding. Rows go through a
// small ring; the decoder waits only when the ring is full.
#pragma once

#include "image/work/scheduler.h"

#include <cstddef>

struct RowRelay;

// Stores row number index (0 = first decoded) from a ring slot of the relay's row size.
typedef void (*RowSink)(void* context, size_t index, const unsigned char* row);

// Work either thread may do in small pieces instead of waiting for the other: 1 when it did a
// piece, 0 when there is none left for now.
typedef int (*SpareWork)(void* context);

// Starts the storing helper. nullptr when no thread or memory can be had: the caller then
// stores its rows itself. spare, when given, is called with spareContext by a thread about to
// wait, until it has none or the wait is over.
RowRelay* StartRowRelay(Scheduler* work, size_t rowBytes, RowSink sink, void* context,
                        SpareWork spare = nullptr, void* spareContext = nullptr);

// The slot for the next row, once the storing thread has freed one.
unsigned char* NextRowSlot(RowRelay* relay);

// The row in the slot last given out is complete.
void PassRow(RowRelay* relay);

// Waits until every passed row is stored and the helper is done, and frees the relay. Accepts
// nullptr. Called on every path, before the rows' destination may go.
void EndRowRelay(RowRelay* relay);
