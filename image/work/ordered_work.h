// Numbered pieces of work done on several threads at once and taken back in their order on
// the calling thread: the PNG writer's compressed segments and the JPEG writer's bands. A
// piece's result waits in one of a few slots, owned by the caller, until it is taken; a
// worker takes the next piece only once its slot is free, so memory stays bounded.
#pragma once

#include <cstddef>

struct OrderedWork {
  size_t pieces; // at least 1
  size_t slots;  // results held at once, at least 1; piece k uses slot k % slots
  // Does piece k into its slot. worker (0 .. threads - 1) names the resources of the thread
  // doing it, which no other thread uses meanwhile. Runs on several threads at once. 0 when
  // it failed.
  int (*work)(void* context, size_t worker, size_t k, size_t slot);
  // Takes piece k from its slot, in order, on the calling thread; 0 stops the work.
  int (*take)(void* context, size_t k, size_t slot);
  void* context;
};

// Does the pieces on up to threads threads: the calling thread, which also takes them, and up
// to threads - 1 it starts (the work goes on with those the system gives). The calling
// thread is the worker numbered after the started ones. 1 when every piece was done and
// taken. The threads are joined before this returns, on every path.
int DoInOrder(const OrderedWork* work, size_t threads);
