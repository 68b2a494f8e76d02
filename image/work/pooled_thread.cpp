#include "image/work/pooled_thread.h"

#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace {
// Free threads kept at most; more are ended as they come back.
const int kMaxKept = 4;
} // namespace

struct PooledThread {
  std::thread thread;
  std::mutex lock;
  std::condition_variable changed;
  void (*body)(void*) = nullptr; // under lock: set from Start until body returns
  void* context = nullptr;
  bool leave = false;               // under lock
  PooledThread* nextFree = nullptr; // under the pool's lock
};

namespace {

struct Pool {
  std::mutex lock;
  int keeping = 0; // KeepThreads calls not yet ended
  PooledThread* free = nullptr;
  int kept = 0;
};

// Never destroyed, so that no thread meets it gone at exit; it holds no thread then.
Pool* ThePool() {
  static Pool* const pool = new Pool;
  return pool;
}

void Serve(PooledThread* t) {
  std::unique_lock<std::mutex> hold(t->lock);
  for (;;) {
    t->changed.wait(hold, [t] { return t->body != nullptr || t->leave; });
    if (t->body == nullptr)
      return; // leaving
    void (*const body)(void*) = t->body;
    void* const context = t->context;
    hold.unlock();
    body(context);
    hold.lock();
    t->body = nullptr;
    t->changed.notify_all();
  }
}

void EndThread(PooledThread* t) {
  {
    std::lock_guard<std::mutex> hold(t->lock);
    t->leave = true;
    t->changed.notify_all();
  }
  t->thread.join();
  delete t;
}

PooledThread* TakeFree(Pool* pool) {
  std::lock_guard<std::mutex> hold(pool->lock);
  PooledThread* const t = pool->free;
  if (t != nullptr) {
    pool->free = t->nextFree;
    --pool->kept;
  }
  return t;
}

PooledThread* NewThread() {
  PooledThread* const t = new (std::nothrow) PooledThread;
  if (t == nullptr)
    return nullptr;
  try {
    t->thread = std::thread(Serve, t);
  } catch (const std::system_error&) {
    delete t;
    return nullptr;
  }
  return t;
}

} // namespace

void KeepThreads() {
  Pool* const pool = ThePool();
  std::lock_guard<std::mutex> hold(pool->lock);
  ++pool->keeping;
}

void EndKeepingThreads() {
  Pool* const pool = ThePool();
  PooledThread* ending = nullptr;
  {
    std::lock_guard<std::mutex> hold(pool->lock);
    if (pool->keeping > 0 && --pool->keeping == 0) {
      ending = pool->free;
      pool->free = nullptr;
      pool->kept = 0;
    }
  }
  while (ending != nullptr) {
    PooledThread* const next = ending->nextFree;
    EndThread(ending);
    ending = next;
  }
}

PooledThread* StartPooledThread(void (*body)(void* context), void* context) {
  PooledThread* t = TakeFree(ThePool());
  if (t == nullptr)
    t = NewThread();
  if (t == nullptr)
    return nullptr;
  std::lock_guard<std::mutex> hold(t->lock);
  t->body = body;
  t->context = context;
  t->changed.notify_all();
  return t;
}

void JoinPooledThread(PooledThread* t) {
  if (t == nullptr)
    return;
  {
    std::unique_lock<std::mutex> hold(t->lock);
    t->changed.wait(hold, [t] { return t->body == nullptr; });
  }
  Pool* const pool = ThePool();
  {
    std::lock_guard<std::mutex> hold(pool->lock);
    if (pool->keeping > 0 && pool->kept < kMaxKept) {
      t->nextFree = pool->free;
      pool->free = t;
      ++pool->kept;
      return;
    }
  }
  EndThread(t);
}
