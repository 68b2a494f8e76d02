#include "image/work/scheduler.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace {

// Each thread of the PNG writer holds one compressor per deflate level, about 10 MB together,
// and two segments of about 2 MB; a 32-bit process keeps room for the picture itself.
const size_t kMaxThreadsToUse = sizeof(void*) >= 8 ? 8 : 4;
} // namespace

// A kept thread, and the task it runs when it has one.
struct BackgroundTask {
  Scheduler* owner = nullptr;
  std::thread thread;
  std::mutex lock;
  std::condition_variable changed;
  void (*task)(void*) = nullptr; // under lock: set from the start until the task returns
  void* context = nullptr;
  bool leave = false;                 // under lock
  BackgroundTask* nextFree = nullptr; // under the owner's lock
};

struct Scheduler {
  std::mutex lock;
  BackgroundTask* free = nullptr; // under lock: threads whose task is done
};

namespace {

void Serve(BackgroundTask* t) {
  std::unique_lock<std::mutex> hold(t->lock);
  for (;;) {
    t->changed.wait(hold, [t] { return t->task != nullptr || t->leave; });
    if (t->task == nullptr)
      return; // leaving
    void (*const task)(void*) = t->task;
    void* const context = t->context;
    hold.unlock();
    task(context);
    hold.lock();
    t->task = nullptr;
    t->changed.notify_all();
  }
}

BackgroundTask* NewThread(Scheduler* work) {
  BackgroundTask* const t = new (std::nothrow) BackgroundTask;
  if (t == nullptr)
    return nullptr;
  t->owner = work;
  try {
    t->thread = std::thread(Serve, t);
  } catch (const std::system_error&) {
    delete t;
    return nullptr;
  }
  return t;
}

void EndThread(BackgroundTask* t) {
  {
    std::lock_guard<std::mutex> hold(t->lock);
    t->leave = true;
    t->changed.notify_all();
  }
  t->thread.join();
  delete t;
}

BackgroundTask* TakeFree(Scheduler* work) {
  std::lock_guard<std::mutex> hold(work->lock);
  BackgroundTask* const t = work->free;
  if (t != nullptr)
    work->free = t->nextFree;
  return t;
}

} // namespace

size_t ThreadsToUse() {
  const size_t cores = std::thread::hardware_concurrency(); // 0 when unknown
  if (cores < 1)
    return 1;
  return cores < kMaxThreadsToUse ? cores : kMaxThreadsToUse;
}

Scheduler* StartScheduler() { return new (std::nothrow) Scheduler; }

void EndScheduler(Scheduler* work) {
  if (work == nullptr)
    return;
  while (BackgroundTask* const t = TakeFree(work))
    EndThread(t);
  delete work;
}

BackgroundTask* StartInBackground(Scheduler* work, void (*task)(void* context), void* context) {
  if (work == nullptr)
    return nullptr;
  BackgroundTask* t = TakeFree(work);
  if (t == nullptr)
    t = NewThread(work);
  if (t == nullptr)
    return nullptr;
  std::lock_guard<std::mutex> hold(t->lock);
  t->task = task;
  t->context = context;
  t->changed.notify_all();
  return t;
}

bool WaitForBackground(BackgroundTask* t, int ms) {
  std::unique_lock<std::mutex> hold(t->lock);
  return t->changed.wait_for(hold, std::chrono::milliseconds(ms),
                             [t] { return t->task == nullptr; });
}

void JoinBackground(BackgroundTask* t) {
  if (t == nullptr)
    return;
  {
    std::unique_lock<std::mutex> hold(t->lock);
    t->changed.wait(hold, [t] { return t->task == nullptr; });
  }
  Scheduler* const work = t->owner;
  std::lock_guard<std::mutex> hold(work->lock);
  t->nextFree = work->free;
  work->free = t;
}
