// How far a reader has filled a picture, told to what works beside it: the picture's page
// faults (picture_prefault.h), a JPEG target's count (jpeg_count.h) and the report of
// progress.
#pragma once

#include "image/picture/image_buffer.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>

// Work a reader's threads may do in small pieces when they would wait for each other: 1 when
// it did a piece, 0 when there is none now.
struct SpareTask {
  int (*work)(void* context);
  void* context;
};
const size_t kMaxSpareTasks = 2; // the faults, then a JPEG target's count

// The rows and the end are read without the lock: the reader tells of every row, and a lock
// it had to wait for would cost a system call each time (under Wine a round trip to its
// server).
struct RowProgress {
  std::mutex lock;
  std::condition_variable changed;
  const ImageBuffer* picture = nullptr; // under lock; set once the pixel block is there
  std::atomic<size_t> rowsFromTop{0};   // rows final, counted from the top row
  std::atomic<int> ended{0};            // 1: every row is final; -1: reading failed
  // Tried in this order; added before reading starts, taken off after the reader's threads
  // have ended.
  SpareTask spare[kMaxSpareTasks] = {};
};

// Reader's side; each accepts nullptr. The picture's block, width and height are set and
// stay until reading ends.
void ShowPicture(RowProgress* progress, const ImageBuffer* picture);
// Rows height - 1 down to height - rows of the ImageBuffer are final; a thread that learns
// this from rowsFromTop (an acquire load) sees their pixels.
void ShowRowsFromTop(RowProgress* progress, size_t rows);
// Reading ended: ok 1 (every row final) or 0.
void EndRows(RowProgress* progress, int ok);
// Whether it has, read without the lock.
bool ReadingEnded(const RowProgress* progress);

// The spare work of progress (a RowProgress, untyped to serve as a row relay's spare work): a
// piece of the first task that has one. 1 when one was done.
int DoSpareWork(void* progress);

// The other side. A task added before reading starts; false when there is no room. Taken
// off again by its context, after the reader's threads have ended.
bool AddSpareWork(RowProgress* progress, int (*work)(void* context), void* context);
void RemoveSpareWork(RowProgress* progress, void* context);
// The picture once its block is there; nullptr when reading failed first.
const ImageBuffer* WaitForPicture(RowProgress* progress);
