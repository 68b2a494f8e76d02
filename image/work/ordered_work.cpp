#include "image/work/ordered_work.h"

#include "image/work/pooled_thread.h"

#include <condition_variable>
#include <cstdlib>
#include <mutex>

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

// Whether the next piece may be handed out: its slot is free once the piece it held was taken.
// Under lock.
bool CanHandOut(const Run* run) {
  return !run->stop && run->next < run->work->pieces && run->next < run->taken + run->work->slots;
}

// Does the next piece, which the caller has just made sure of under hold, then marks it.
void DoNext(Run* run, size_t worker, std::unique_lock<std::mutex>* hold) {
  const OrderedWork& w = *run->work;
  const size_t k = run->next++;
  run->marks[k % w.slots] = {k, kBusy};
  hold->unlock();
  const int ok = w.work(w.context, worker, k, k % w.slots);
  hold->lock();
  run->marks[k % w.slots].state = ok ? kDone : kFailed;
  run->changed.notify_all();
}

// A started thread's share: a worker number and the run.
struct Worker {
  Run* run;
  size_t number;
};

void Work(void* context) {
  Run* const run = static_cast<Worker*>(context)->run;
  const size_t worker = static_cast<Worker*>(context)->number;
  std::unique_lock<std::mutex> hold(run->lock);
  for (;;) {
    run->changed.wait(
        hold, [run] { return run->stop || run->next >= run->work->pieces || CanHandOut(run); });
    if (run->stop || run->next >= run->work->pieces)
      return;
    DoNext(run, worker, &hold);
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
  // The calling thread works too, as the last worker: under Wine each thread started costs
  // milliseconds.
  Worker workers[kMaxThreads];
  PooledThread* threadsStarted[kMaxThreads];
  size_t started = 0;
  for (; started + 1 < threads; ++started) {
    workers[started] = {&run, started};
    threadsStarted[started] = StartPooledThread(Work, &workers[started]);
    if (threadsStarted[started] == nullptr)
      break; // go on with the threads that did start
  }

  int result = 1;
  for (size_t k = 0; result && k < w.pieces; ++k) {
    SlotMark* const mark = &run.marks[k % w.slots];
    std::unique_lock<std::mutex> hold(run.lock);
    // Until piece k is done, the caller does pieces of its own when any may be handed out.
    while (!(mark->piece == k && (mark->state == kDone || mark->state == kFailed))) {
      if (CanHandOut(&run))
        DoNext(&run, started, &hold);
      else
        run.changed.wait(hold);
    }
    const int state = mark->state;
    hold.unlock();
    if (state != kDone || !w.take(w.context, k, k % w.slots))
      result = 0;
    hold.lock();
    mark->state = kFree;
    ++run.taken;
    run.changed.notify_all();
  }

  {
    std::lock_guard<std::mutex> hold(run.lock);
    run.stop = true;
  }
  run.changed.notify_all();
  for (size_t i = 0; i < started; ++i)
    JoinPooledThread(threadsStarted[i]);
  free(run.marks);
  return result;
}
