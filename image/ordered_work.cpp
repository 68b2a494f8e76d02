#include "image/ordered_work.h"

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

enum SlotState { kFree, kBusy, kDone, kFailed };

struct SlotMark {
  size_t piece;
  int state;
};

struct Run {
  const OrderedWork* work;
  SlotMark* marks; // under lock
  std::mutex lock;
  std::condition_variable changed;
  size_t next = 0;  // the next piece to hand out
  size_t taken = 0; // pieces taken back
  bool stop = false;
};

void Work(Run* run, size_t worker) {
  const OrderedWork& w = *run->work;
  for (;;) {
    size_t k = 0;
    {
      std::unique_lock<std::mutex> hold(run->lock);
      // A slot is free once the piece it held was taken.
      run->changed.wait(hold, [run, &w] {
        return run->stop || run->next >= w.pieces || run->next < run->taken + w.slots;
      });
      if (run->stop || run->next >= w.pieces)
        return;
      k = run->next++;
      run->marks[k % w.slots] = {k, kBusy};
    }
    const int ok = w.work(w.context, worker, k, k % w.slots);
    {
      std::lock_guard<std::mutex> hold(run->lock);
      run->marks[k % w.slots].state = ok ? kDone : kFailed;
    }
    run->changed.notify_all();
  }
}

const size_t kMaxThreads = 16;

} // namespace

int DoInOrder(const OrderedWork* work, size_t threads) {
  if (work == nullptr || work->pieces == 0 || work->slots == 0 || work->work == nullptr ||
      work->take == nullptr)
    return 0;
  const OrderedWork& w = *work;
  if (threads > w.pieces)
    threads = w.pieces;
  if (threads > kMaxThreads)
    threads = kMaxThreads;
  Run run;
  run.work = work;
  run.marks = static_cast<SlotMark*>(calloc(w.slots, sizeof(SlotMark)));
  if (run.marks == nullptr)
    return 0;
  std::thread workers[kMaxThreads];
  size_t started = 0;
  if (threads > 1) {
    for (; started < threads; ++started) {
      try {
        workers[started] = std::thread(Work, &run, started);
      } catch (const std::system_error&) {
        break; // go on with the threads that did start
      }
    }
  }

  int result = 1;
  for (size_t k = 0; result && k < w.pieces; ++k) {
    SlotMark* const mark = &run.marks[k % w.slots];
    int state = kFailed;
    if (started == 0) {
      state = w.work(w.context, 0, k, k % w.slots) ? kDone : kFailed;
    } else {
      std::unique_lock<std::mutex> hold(run.lock);
      run.changed.wait(hold, [mark, k] {
        return mark->piece == k && (mark->state == kDone || mark->state == kFailed);
      });
      state = mark->state;
    }
    if (state != kDone || !w.take(w.context, k, k % w.slots))
      result = 0;
    {
      std::lock_guard<std::mutex> hold(run.lock);
      mark->state = kFree;
      ++run.taken;
    }
    run.changed.notify_all();
  }

  {
    std::lock_guard<std::mutex> hold(run.lock);
    run.stop = true;
  }
  run.changed.notify_all();
  for (size_t i = 0; i < started; ++i)
    workers[i].join();
  free(run.marks);
  return result;
}
