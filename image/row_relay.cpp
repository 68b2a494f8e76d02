#include "image/row_relay.h"

#include <pthread.h>

#include <cstdlib>

namespace {
// 32 rows let the decoder run well ahead of a storing thread that meets page faults; the
// storing thread wakes for 8 rows at a time, as each wake-up costs the decoder a system call.
const size_t kSlots = 32;
const size_t kBatch = 8;
} // namespace

struct RowRelay {
  pthread_t thread;
  pthread_mutex_t lock;
  pthread_cond_t changed;
  unsigned char* ring;
  size_t rowBytes;
  size_t passed; // rows given to the relay, under lock
  size_t stored; // rows stored, under lock
  int closing;
  int storerWaits;  // the storing thread sleeps until kBatch rows are pending or closing
  int decoderWaits; // the decoder sleeps until a slot is free
  RowSink sink;
  void* context;
};

namespace {

void* StoreRows(void* argument) {
  RowRelay* const relay = static_cast<RowRelay*>(argument);
  pthread_mutex_lock(&relay->lock);
  for (;;) {
    while (relay->passed - relay->stored < kBatch && !relay->closing) {
      relay->storerWaits = 1;
      pthread_cond_wait(&relay->changed, &relay->lock);
      relay->storerWaits = 0;
    }
    const size_t first = relay->stored;
    const size_t last = relay->passed;
    if (first == last)
      break; // closing, and nothing left
    // The decoder writes only slots outside [first, last) while these are stored.
    pthread_mutex_unlock(&relay->lock);
    for (size_t i = first; i < last; ++i)
      relay->sink(relay->context, i, relay->ring + (i % kSlots) * relay->rowBytes);
    pthread_mutex_lock(&relay->lock);
    relay->stored = last;
    if (relay->decoderWaits)
      pthread_cond_signal(&relay->changed);
  }
  pthread_mutex_unlock(&relay->lock);
  return nullptr;
}

} // namespace

RowRelay* StartRowRelay(size_t rowBytes, RowSink sink, void* context) {
  if (rowBytes == 0 || rowBytes > static_cast<size_t>(-1) / kSlots)
    return nullptr;
  RowRelay* const relay = static_cast<RowRelay*>(calloc(1, sizeof(RowRelay)));
  if (relay == nullptr)
    return nullptr;
  relay->ring = static_cast<unsigned char*>(malloc(rowBytes * kSlots));
  relay->rowBytes = rowBytes;
  relay->sink = sink;
  relay->context = context;
  if (relay->ring == nullptr) {
    free(relay);
    return nullptr;
  }
  if (pthread_mutex_init(&relay->lock, nullptr) != 0) {
    free(relay->ring);
    free(relay);
    return nullptr;
  }
  if (pthread_cond_init(&relay->changed, nullptr) != 0) {
    pthread_mutex_destroy(&relay->lock);
    free(relay->ring);
    free(relay);
    return nullptr;
  }
  if (pthread_create(&relay->thread, nullptr, StoreRows, relay) != 0) {
    pthread_cond_destroy(&relay->changed);
    pthread_mutex_destroy(&relay->lock);
    free(relay->ring);
    free(relay);
    return nullptr;
  }
  return relay;
}

unsigned char* NextRowSlot(RowRelay* relay) {
  pthread_mutex_lock(&relay->lock);
  while (relay->passed - relay->stored >= kSlots) {
    relay->decoderWaits = 1;
    pthread_cond_wait(&relay->changed, &relay->lock);
    relay->decoderWaits = 0;
  }
  unsigned char* const slot = relay->ring + (relay->passed % kSlots) * relay->rowBytes;
  pthread_mutex_unlock(&relay->lock);
  return slot;
}

void PassRow(RowRelay* relay) {
  pthread_mutex_lock(&relay->lock);
  ++relay->passed;
  if (relay->storerWaits && relay->passed - relay->stored >= kBatch)
    pthread_cond_signal(&relay->changed);
  pthread_mutex_unlock(&relay->lock);
}

void EndRowRelay(RowRelay* relay) {
  if (relay == nullptr)
    return;
  pthread_mutex_lock(&relay->lock);
  relay->closing = 1;
  pthread_cond_signal(&relay->changed);
  pthread_mutex_unlock(&relay->lock);
  pthread_join(relay->thread, nullptr);
  pthread_cond_destroy(&relay->changed);
  pthread_mutex_destroy(&relay->lock);
  free(relay->ring);
  free(relay);
}
