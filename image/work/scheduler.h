// One conversion's helper threads, and the few ways its codecs share work with them: pieces
// run in parallel and handed on in order, a task in the background, and tasks that hear of a
// reader's rows as they become final (on a thread of their own, or whenever one of the
// reader's threads would otherwise wait). The driver starts one per conversion and hands it
// down; every thread a codec uses is started, kept and woken here.
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

// Ends the rows (as failed) when they have not ended, then ends every thread and waits for
// it. Every background task must have been joined. Accepts nullptr.
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

// ----- how far the writer is

// The writer's side: its whole work is units (rows it compresses or writes, each pass's
// counted), of which AddWritten tells as they are done, from any of its threads.
void PlanWriting(Scheduler* work, size_t units);
void AddWritten(Scheduler* work, size_t units);

// The writer's work done, in thousandths; 0 before it planned any.
int WrittenPermille(const Scheduler* work);

// ----- a reader's rows, and the tasks that hear of them

// The reader's side: its picture's block is there (final 0, the first call), then the rows
// from the top down to row final - 1 of height are final. A task that hears of them sees
// their pixels, and the picture's size and channels once final is 1 or more.
void PublishRows(Scheduler* work, size_t final, size_t height);

// The driver's, once the reader has returned: ok tells whether every row is final. No row
// task runs after this; each one's end has been called and its thread joined.
void EndRows(Scheduler* work, bool ok);

// The rows final, in thousandths of the picture's: 1000 once reading ended well, 0 after a
// failure or before the picture is there.
int RowsFinalPermille(const Scheduler* work);

// A task that hears of the rows. Its steps never run on two threads at once, and only between
// the first publication and the end of the rows.
struct RowTask {
  // One step of its work now that final rows are final: 1 when it took one, 0 when it has
  // none to take now.
  int (*step)(void* context, size_t final);
  // Called once when the rows end, after its last step; may release context. May be null.
  void (*end)(void* context);
  void* context;
};

// Where a task's steps run. A reader that keeps one core busy leaves the other to a thread
// of the task's own, which steps until the task has none left; a reader that keeps two
// threads busy would only take turns with a third on a two-core machine, so there the
// reader's threads step the task whenever they would otherwise wait for each other.
enum RowTaskPlace { kOnItsOwnThread, kWhenAThreadWouldWait };

// Before reading starts. false when there is no scheduler, no room or no thread: the task is
// not run and its end is not called.
bool SubscribeToRows(Scheduler* work, const RowTask& task, RowTaskPlace place);

// For the waits of this folder's pieces: one step of the first task that runs whenever a
// thread would wait and has a step to take. 1 when one was taken.
int DoSpareWork(Scheduler* work);
