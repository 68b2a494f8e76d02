// Threads for the codecs' helpers, kept for the next helper once one is done: under Wine
// each thread started costs milliseconds (its stack and the system's records for it are
// faulted in page by page), and a conversion runs several helpers one after another (the
// reader's, then each pass of the writer's).
#pragma once

struct PooledThread;

// From now until the matching EndKeepingThreads, a thread whose helper is done is kept for
// the next (a few at most). Calls may nest and come from several threads.
void KeepThreads();

// Once the outermost keeping ends, the kept threads are ended and waited for: none is left
// parked between conversions (a process that forks, say, has only its own threads).
void EndKeepingThreads();

// Runs body(context) on a kept thread, or a new one when none is free. nullptr when no
// thread can be had: the caller then does without.
PooledThread* StartPooledThread(void (*body)(void* context), void* context);

// Waits for body to return; the thread is kept, or ended and waited for. Called exactly once
// for each thread started, on every path; accepts nullptr.
void JoinPooledThread(PooledThread* thread);
