// One conversion's helper threads, and the ways its codecs share work with them: pieces run
// in parallel and handed on in order, and a task in the background. The driver starts one per
// conversion and hands it down; every thread a codec uses is started, kept and woken here.
//
// Threads are started when first asked for and kept until the scheduler ends: under Wine each
// start costs milliseconds (its stack and the system's records for it are faulted in page by
// page), and a conversion asks for helpers many times over.
//
// Every operation accepts a null scheduler: its work then runs on the calling thread alone.
#pragma once

#include <cstddef>

struct Scheduler;
struct BackgroundTask;

// How many threads one codec may keep busy: the machine's cores, at least 1, at most a cap
// that keeps a 32-bit process's address space and a busy machine in mind.
size_t ThreadsToUse();

// A scheduler that has started no thread yet; nullptr when memory runs out.
Scheduler* StartScheduler();

// Ends every thread and waits for it. Every background task must have been joined. Accepts
// nullptr.
void EndScheduler(Scheduler* work);

// A scheduler for the length of one call: the codecs' own entry points, which no driver
// hands one.
class CallScheduler {
 public:
  CallScheduler() : work(StartScheduler()) {}
  ~CallScheduler() { EndScheduler(work); }
  CallScheduler(const CallScheduler&) = delete;
  CallScheduler& operator=(const CallScheduler&) = delete;

  Scheduler* const work;
};

// ----- a task in the background

// Runs task(context) on a helper thread. nullptr when no thread can be had: the caller then
// runs the task itself, or does without.
BackgroundTask* StartInBackground(Scheduler* work, void (*task)(void* context), void* context);

// Waits at most ms milliseconds for the task to return: true once it has.
bool WaitForBackground(BackgroundTask* task, int ms);

// Waits for the task to return and keeps its thread for the next. Called exactly once for each
// task started, on every path; accepts nullptr.
void JoinBackground(BackgroundTask* task);

// ----- pieces in parallel, handed on in order

// Numbered pieces done on several threads at once and handed on in their order on the
// calling thread. A piece's result waits in one of a few rooms, owned by the caller, until it
// is handed on; a thread takes the next piece only once its room is free, so memory stays
// bounded.
struct InOrder {
  size_t pieces; // at least 1
  size_t rooms;  // results held at once, at least 1; piece k uses room k % rooms
  // Does piece k into its room. worker (0 .. threads - 1) names the resources of the thread
  // doing it, which no other thread uses meanwhile. 0 when it failed.
  int (*work)(void* context, size_t worker, size_t k, size_t room);
  // Hands piece k on from its room; null when the pieces need no handing on.
  int (*handOn)(void* context, size_t k, size_t room);
  void* context;
};

// Does the pieces on up to threads threads: the calling thread, which also hands them on, and
// helpers (the work goes on with those there are); the calling thread is the worker numbered
// after the helpers. A piece or a handing on that returns 0 cancels the pieces not yet
// started. 1 when every piece was done and handed on. Every helper is done before this
// returns, on every path.
int RunInOrder(Scheduler* work, const InOrder* pieces, size_t threads);
