#include "image/row_relay.h"

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace {
// 16 rows let the decoder run well ahead of a storing thread that meets page faults; the
// storing thread wakes for 8 rows at a time, as each wake-up costs the decoder a system call.
const size_t kSlots = 16;
const size_t kBatch = 8;
} // namespace

struct RowRelay {
  std::thread thread;
  std::mutex lock;
  std::condition_variable changed;
  unsigned char* ring = nullptr;
  size_t rowBytes = 0;
  size_t passed = 0; // rows given to the relay, under lock
  size_t stored = 0; // rows stored, under lock
  bool closing = false;
  bool storerWaits = false;  // the storing thread sleeps until kBatch rows are pending or closing
  bool decoderWaits = false; // the decoder sleeps until a slot is free
  RowSink sink = nullptr;
  void* context = nullptr;
};

namespace {

void StoreRows(RowRelay* relay) {
  std::unique_lock<std::mutex> hold(relay->lock);
  for (;;) {
    while (relay->passed - relay->stored < kBatch && !relay->closing) {
      relay->storerWaits = true;
      relay->changed.wait(hold);
      relay->storerWaits = false;
    }
    const size_t first = relay->stored;
    const size_t last = relay->passed;
    if (first == last)
      break; // closing, and nothing left
    // The decoder writes only slots outside [first, last) while these are stored.
    hold.unlock();
    for (size_t i = first; i < last; ++i)
      relay->sink(relay->context, i, relay->ring + (i % kSlots) * relay->rowBytes);
    hold.lock();
    relay->stored = last;
    if (relay->decoderWaits)
      relay->changed.notify_one();
  }
}

} // namespace

RowRelay* StartRowRelay(size_t rowBytes, RowSink sink, void* context) {
  if (rowBytes == 0 || rowBytes > static_cast<size_t>(-1) / kSlots)
    return nullptr;
  RowRelay* const relay = new (std::nothrow) RowRelay;
  if (relay == nullptr)
    return nullptr;
  relay->ring = static_cast<unsigned char*>(malloc(rowBytes * kSlots));
  relay->rowBytes = rowBytes;
  relay->sink = sink;
  relay->context = context;
  if (relay->ring == nullptr) {
    delete relay;
    return nullptr;
  }
  try {
    relay->thread = std::thread(StoreRows, relay);
  } catch (const std::system_error&) {
    free(relay->ring);
    delete relay;
    return nullptr;
  }
  return relay;
}

unsigned char* NextRowSlot(RowRelay* relay) {
  std::unique_lock<std::mutex> hold(relay->lock);
  while (relay->passed - relay->stored >= kSlots) {
    relay->decoderWaits = true;
    relay->changed.wait(hold);
    relay->decoderWaits = false;
  }
  return relay->ring + (relay->passed % kSlots) * relay->rowBytes;
}

void PassRow(RowRelay* relay) {
  std::lock_guard<std::mutex> hold(relay->lock);
  ++relay->passed;
  if (relay->storerWaits && relay->passed - relay->stored >= kBatch)
    relay->changed.notify_one();
}

void EndRowRelay(RowRelay* relay) {
  if (relay == nullptr)
    return;
  {
    std::lock_guard<std::mutex> hold(relay->lock);
    relay->closing = true;
    relay->changed.notify_one();
  }
  relay->thread.join();
  free(relay->ring);
  delete relay;
}
