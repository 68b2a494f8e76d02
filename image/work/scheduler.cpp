#include "image/work/scheduler.h"

#include <atomic>
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
// The faults, a JPEG target's count, and room to spare.
const size_t kMaxRowTasks = 4;

enum RowsState { kNoPicture, kRowsComing, kRowsWhole, kRowsFailed };

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

struct RowTaskEntry {
  Scheduler* owner = nullptr;
  RowTask task = {};
  RowTaskPlace place = kOnItsOwnThread;
  BackgroundTask* thread = nullptr; // kOnItsOwnThread
  std::atomic<bool> busy{false};    // a thread is stepping it (kWhenAThreadWouldWait)
};

// The rows are read without the lock: the reader tells of every row, and a lock it had to
// wait for would cost a system call each time (under Wine a round trip to its server). The
// lock and the condition serve only a task's thread waiting for the picture.
struct Scheduler {
  std::mutex lock;
  std::condition_variable rowsChanged; // the picture is there, or the rows ended
  BackgroundTask* free = nullptr;      // under lock
  std::atomic<int> rows{kNoPicture};
  std::atomic<size_t> final{0};
  std::atomic<size_t> height{0};
  RowTaskEntry tasks[kMaxRowTasks];
  std::atomic<size_t> taskCount{0}; // added before reading starts
  std::atomic<size_t> writing{0};   // the writer's units
  std::atomic<size_t> written{0};
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

// A task's own thread: it waits for the picture, then steps until it has nothing left or the
// rows end.
void StepOnItsOwnThread(void* context) {
  RowTaskEntry* const entry = static_cast<RowTaskEntry*>(context);
  Scheduler* const work = entry->owner;
  {
    std::unique_lock<std::mutex> hold(work->lock);
    work->rowsChanged.wait(hold, [work] { return work->rows.load() != kNoPicture; });
  }
  while (work->rows.load() == kRowsComing &&
         entry->task.step(entry->task.context, work->final.load(std::memory_order_acquire)) != 0) {
  }
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
  EndRows(work, false);
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

void PublishRows(Scheduler* work, size_t final, size_t height) {
  if (work == nullptr)
    return;
  if (work->rows.load(std::memory_order_relaxed) != kNoPicture) {
    work->final.store(final, std::memory_order_release);
    return;
  }
  work->height.store(height);
  work->final.store(final);
  std::lock_guard<std::mutex> hold(work->lock);
  work->rows.store(kRowsComing);
  work->rowsChanged.notify_all();
}

void EndRows(Scheduler* work, bool ok) {
  if (work == nullptr)
    return;
  {
    std::lock_guard<std::mutex> hold(work->lock);
    const int rows = work->rows.load();
    if (rows == kRowsWhole || rows == kRowsFailed)
      return;
    work->rows.store(ok ? kRowsWhole : kRowsFailed);
    work->rowsChanged.notify_all();
  }
  // A thread that claimed a task before the rows ended finds them ended and lets it go.
  const size_t count = work->taskCount.load();
  for (size_t i = 0; i < count; ++i) {
    RowTaskEntry& entry = work->tasks[i];
    JoinBackground(entry.thread);
    while (entry.busy.load())
      std::this_thread::yield();
  }
  for (size_t i = 0; i < count; ++i)
    if (work->tasks[i].task.end != nullptr)
      work->tasks[i].task.end(work->tasks[i].task.context);
}

void PlanWriting(Scheduler* work, size_t units) {
  if (work == nullptr)
    return;
  work->written.store(0, std::memory_order_relaxed);
  work->writing.store(units, std::memory_order_relaxed);
}

void AddWritten(Scheduler* work, size_t units) {
  if (work != nullptr)
    work->written.fetch_add(units, std::memory_order_relaxed);
}

int WrittenPermille(const Scheduler* work) {
  if (work == nullptr)
    return 0;
  const size_t units = work->writing.load(std::memory_order_relaxed);
  const size_t done = work->written.load(std::memory_order_relaxed);
  if (units == 0)
    return 0;
  // In double: a tall picture's rows times 1000 pass 32 bits.
  return static_cast<int>((done < units ? done : units) * 1000.0 / units);
}

int RowsFinalPermille(const Scheduler* work) {
  if (work == nullptr)
    return 0;
  switch (work->rows.load()) {
  case kRowsWhole:
    return 1000;
  case kRowsComing: {
    const size_t height = work->height.load();
    const size_t final = work->final.load(std::memory_order_relaxed);
    if (height == 0)
      return 0;
    return static_cast<int>((final < height ? final : height) * 1000 / height);
  }
  default:
    return 0;
  }
}

bool SubscribeToRows(Scheduler* work, const RowTask& task, RowTaskPlace place) {
  if (work == nullptr || task.step == nullptr)
    return false;
  const size_t count = work->taskCount.load();
  if (count == kMaxRowTasks)
    return false;
  RowTaskEntry& entry = work->tasks[count];
  entry.owner = work;
  entry.task = task;
  entry.place = place;
  entry.thread = nullptr;
  if (place == kOnItsOwnThread &&
      (entry.thread = StartInBackground(work, StepOnItsOwnThread, &entry)) == nullptr)
    return false;
  work->taskCount.store(count + 1);
  return true;
}

int DoSpareWork(Scheduler* work) {
  if (work == nullptr)
    return 0;
  const size_t count = work->taskCount.load();
  for (size_t i = 0; i < count; ++i) {
    RowTaskEntry& entry = work->tasks[i];
    // Claimed first, the rows looked at second: EndRows marks them ended first and waits for
    // the claim second, so no step runs after it.
    if (entry.place != kWhenAThreadWouldWait || entry.busy.exchange(true))
      continue;
    const int did =
        work->rows.load() == kRowsComing
            ? entry.task.step(entry.task.context, work->final.load(std::memory_order_acquire))
            : 0;
    entry.busy.store(false);
    if (did != 0)
      return 1;
  }
  return 0;
}
