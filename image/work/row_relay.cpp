#include "image/work/row_relay.h"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <new>

namespace {
// Room for up to 64 rows, in at most 1 MB, lets the decoder run well ahead of a storing
// thread that meets page faults, and leaves either side time for a piece of spare work; the
// storing thread wakes for half of them at a time, as each wake-up costs a system call: under
// wine64 a 3000-row PNG made a thousand of them with 16 rows and wakes for 8, a third as many
// with 64 and 32, and read 0.02 s sooner.
const size_t kMaxRows = 64;
const size_t kMinRows = 4;
const size_t kRingBytes = size_t{1} << 20;
} // namespace

// The counts are atomic so that neither thread takes the lock while the other keeps up: the
// lock and the condition only serve a thread that has to sleep. A waking costs a system call
// (under Wine a round trip to its server), so each side sleeps only for many rows at a time. A
// sleeper sets its flag and checks the counts again under the lock; the other side, having moved
// its count, looks at the flag and wakes it under the lock, so no waking is lost.
struct RowRelay {
  Scheduler* work = nullptr;
  BackgroundTask* storer = nullptr;
  std::mutex lock;
  std::condition_variable changed;
  unsigned char* ring = nullptr;
  size_t rowBytes = 0;
  size_t rows = 0;               // the ring's room, in rows
  size_t wakeRows = 0;           // rows the storing thread wakes for
  std::atomic<size_t> passed{0}; // rows given to the relay
  std::atomic<size_t> stored{0}; // rows stored
  std::atomic<bool> closing{false};
  std::atomic<bool> storerWaits{false};  // until wakeRows rows are pending, or closing
  std::atomic<bool> decoderWaits{false}; // until a row's room is free
  RowSink sink = nullptr;
  void* context = nullptr;
};

namespace {

void WakeTheOtherSide(RowRelay* relay) {
  std::lock_guard<std::mutex> hold(relay->lock);
  relay->changed.notify_all();
}

// What each side waits for. Before it sleeps, a side does spare work, a piece at a time, for
// as long as both the wait and the work last.
bool StorerShouldWait(RowRelay* relay, size_t first) {
  return relay->passed.load() - first < relay->wakeRows && !relay->closing.load();
}

bool DecoderShouldWait(RowRelay* relay, size_t passed) {
  return passed - relay->stored.load() >= relay->rows;
}

void StoreRows(void* context) {
  RowRelay* const relay = static_cast<RowRelay*>(context);
  for (;;) {
    const size_t first = relay->stored.load();
    while (StorerShouldWait(relay, first) && DoSpareWork(relay->work) != 0) {
    }
    size_t last = relay->passed.load();
    if (StorerShouldWait(relay, first)) {
      std::unique_lock<std::mutex> hold(relay->lock);
      relay->storerWaits.store(true);
      relay->changed.wait(hold, [relay, first] { return !StorerShouldWait(relay, first); });
      relay->storerWaits.store(false);
      last = relay->passed.load();
    }
    if (first == last) {
      if (relay->closing.load() && relay->passed.load() == last)
        break; // closing, and nothing left
      continue;
    }
    // The decoder writes only rows outside [first, last) while these are stored.
    for (size_t i = first; i < last; ++i)
      relay->sink(relay->context, i, relay->ring + (i % relay->rows) * relay->rowBytes);
    relay->stored.store(last);
    if (relay->decoderWaits.load())
      WakeTheOtherSide(relay);
  }
}

} // namespace

RowRelay* StartRowRelay(Scheduler* work, size_t rowBytes, RowSink sink, void* context) {
  if (rowBytes == 0 || rowBytes > static_cast<size_t>(-1) / kMinRows)
    return nullptr;
  RowRelay* const relay = new (std::nothrow) RowRelay;
  if (relay == nullptr)
    return nullptr;
  const size_t fit = kRingBytes / rowBytes;
  relay->rows = fit > kMaxRows ? kMaxRows : fit < kMinRows ? kMinRows : fit;
  relay->wakeRows = relay->rows / 2;
  relay->ring = static_cast<unsigned char*>(malloc(rowBytes * relay->rows));
  relay->rowBytes = rowBytes;
  relay->sink = sink;
  relay->context = context;
  relay->work = work;
  if (relay->ring == nullptr) {
    delete relay;
    return nullptr;
  }
  relay->storer = StartInBackground(work, StoreRows, relay);
  if (relay->storer == nullptr) {
    free(relay->ring);
    delete relay;
    return nullptr;
  }
  return relay;
}

unsigned char* NextRowRoom(RowRelay* relay) {
  const size_t passed = relay->passed.load();
  while (DecoderShouldWait(relay, passed) && DoSpareWork(relay->work) != 0) {
  }
  if (DecoderShouldWait(relay, passed)) {
    std::unique_lock<std::mutex> hold(relay->lock);
    relay->decoderWaits.store(true);
    relay->changed.wait(hold, [relay, passed] { return !DecoderShouldWait(relay, passed); });
    relay->decoderWaits.store(false);
  }
  return relay->ring + (passed % relay->rows) * relay->rowBytes;
}

void PassRow(RowRelay* relay) {
  const size_t passed = relay->passed.fetch_add(1) + 1;
  if (relay->storerWaits.load() && passed - relay->stored.load() >= relay->wakeRows)
    WakeTheOtherSide(relay);
}

void EndRowRelay(RowRelay* relay) {
  if (relay == nullptr)
    return;
  relay->closing.store(true);
  WakeTheOtherSide(relay);
  JoinBackground(relay->storer);
  free(relay->ring);
  delete relay;
}
