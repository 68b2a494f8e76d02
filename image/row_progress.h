// How far a reader has filled a picture, told to threads working beside it: the one that
// takes the picture's page faults (picture_prefault.h) and the one that reports progress.
#pragma once

#include "image/image_buffer.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>

struct PicturePrefault;

// The rows and the end are read without the lock: the reader tells of every row, and a lock
// it had to wait for would cost a system call each time (under Wine a round trip to its
// server).
struct RowProgress {
  std::mutex lock;
  std::condition_variable changed;
  const ImageBuffer* picture = nullptr; // under lock; set once the pixel block is there
  std::atomic<size_t> rowsFromTop{0};   // rows final, counted from the top row
  std::atomic<int> ended{0};            // 1: every row is final; -1: reading failed
  // What the reader's threads may do when they would wait for each other: set before reading
  // starts, cleared after it has ended.
  PicturePrefault* spareWork = nullptr;
};

// Reader's side; each accepts nullptr. The picture's block, width and height are set and
// stay until reading ends.
void ShowPicture(RowProgress* progress, const ImageBuffer* picture);
// Rows height - 1 down to height - rows of the ImageBuffer are final.
void ShowRowsFromTop(RowProgress* progress, size_t rows);
// Reading ended: ok 1 (every row final) or 0.
void EndRows(RowProgress* progress, int ok);

// The other side. The picture once its block is there; nullptr when reading failed first.
const ImageBuffer* WaitForPicture(RowProgress* progress);
