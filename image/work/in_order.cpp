// Pieces in parallel, handed on in order (scheduler.h).
#include "image/work/scheduler.h"

#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace {

enum RoomState { kFree, kBusy, kDone, kFailed };

struct RoomMark {
  size_t piece;
  int state;
};

struct Run {
  const InOrder* pieces;
  RoomMark* marks; // under lock
  std::mutex lock;
  std::condition_variable changed;
  size_t next = 0;     // the next piece to hand out
  size_t handedOn = 0; // pieces handed on
  bool cancelled = false;
};

// Whether the next piece may be handed out: its room is free once the piece it held was
// handed on. Under lock.
bool CanHandOut(const Run* run) {
  return !run->cancelled && run->next < run->pieces->pieces &&
         run->next < run->handedOn + run->pieces->rooms;
}

// Does the next piece, which the caller has just made sure of under hold, then marks it.
void DoNext(Run* run, size_t worker, std::unique_lock<std::mutex>* hold) {
  const InOrder& p = *run->pieces;
  const size_t k = run->next++;
  run->marks[k % p.rooms] = {k, kBusy};
  hold->unlock();
  const int ok = p.work(p.context, worker, k, k % p.rooms);
  hold->lock();
  run->marks[k % p.rooms].state = ok ? kDone : kFailed;
  if (!ok)
    run->cancelled = true;
  run->changed.notify_all();
}

// A helper's share: a worker number and the run.
struct Worker {
  Run* run;
  size_t number;
};

void Work(void* context) {
  Run* const run = static_cast<Worker*>(context)->run;
  const size_t worker = static_cast<Worker*>(context)->number;
  std::unique_lock<std::mutex> hold(run->lock);
  for (;;) {
    run->changed.wait(hold, [run] {
      return run->cancelled || run->next >= run->pieces->pieces || CanHandOut(run);
    });
    if (run->cancelled || run->next >= run->pieces->pieces)
      return;
    DoNext(run, worker, &hold);
  }
}

const size_t kMaxThreads = 16;

} // namespace

int RunInOrder(Scheduler* work, const InOrder* pieces, size_t threads) {
  if (pieces == nullptr || pieces->pieces == 0 || pieces->rooms == 0 || pieces->work == nullptr)
    return 0;
  const InOrder& p = *pieces;
  if (threads > p.pieces)
    threads = p.pieces;
  if (threads > kMaxThreads)
    threads = kMaxThreads;
  Run run;
  run.pieces = pieces;
  run.marks = static_cast<RoomMark*>(calloc(p.rooms, sizeof(RoomMark)));
  if (run.marks == nullptr)
    return 0;
  // The calling thread works too, as the last worker: under Wine each thread started costs
  // milliseconds.
  Worker workers[kMaxThreads];
  BackgroundTask* helpers[kMaxThreads];
  size_t started = 0;
  for (; started + 1 < threads; ++started) {
    workers[started] = {&run, started};
    helpers[started] = StartInBackground(work, Work, &workers[started]);
    if (helpers[started] == nullptr)
      break; // go on with the helpers there are
  }

  int result = 1;
  for (size_t k = 0; result && k < p.pieces; ++k) {
    RoomMark* const mark = &run.marks[k % p.rooms];
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
    if (state != kDone || (p.handOn != nullptr && !p.handOn(p.context, k, k % p.rooms)))
      result = 0;
    hold.lock();
    mark->state = kFree;
    ++run.handedOn;
    if (result == 0)
      run.cancelled = true;
    run.changed.notify_all();
  }

  {
    std::lock_guard<std::mutex> hold(run.lock);
    run.cancelled = true;
  }
  run.changed.notify_all();
  for (size_t i = 0; i < started; ++i)
    JoinBackground(helpers[i]);
  free(run.marks);
  return result;
}
