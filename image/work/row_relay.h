// Hands rows from the thread that decodes them to a helper that stores them, so that storing
// (and the first touch of every page of the picture) overlaps the decoding. Rows go through a
// small ring; the decoder waits only when the ring is full. Either side that would wait does
// the scheduler's spare work first (scheduler.h), for as long as both the wait and the work
// last.
#pragma once

#include "image/work/scheduler.h"

#include <cstddef>

struct RowRelay;

// Stores row number index (0 = first decoded) from the ring, the relay's row size long.
typedef void (*RowSink)(void* context, size_t index, const unsigned char* row);

// Starts the storing helper. nullptr when no thread or memory can be had: the caller then
// stores its rows itself.
RowRelay* StartRowRelay(Scheduler* work, size_t rowBytes, RowSink sink, void* context);

// Room in the ring for the next row, once the storing helper has freed some.
unsigned char* NextRowRoom(RowRelay* relay);

// The row in the room last given out is complete.
void PassRow(RowRelay* relay);

// Waits until every passed row is stored and the helper is done, and frees the relay. Accepts
// nullptr. Called on every path, before the rows' destination may go.
void EndRowRelay(RowRelay* relay);
