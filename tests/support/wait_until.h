// Waiting in the Windows-side tests: a condition is polled until it holds or a deadline
// passes, rather than sleeping a fixed time and hoping that was enough.
#pragma once

#include <windows.h>

namespace testwait {

// Long enough for anything a test waits for under a loaded Wine; a deadline only, not a
// pause: the wait ends as soon as the condition holds.
const DWORD kDeadlineMs = 10000;

// Polls condition every stepMs until it returns true (true), or until timeoutMs have passed
// (then the result of one last look). condition may act too (nudge the pointer, say).
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = kDeadlineMs, DWORD stepMs = 10) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (condition())
      return true;
    if (::GetTickCount() - start >= timeoutMs)
      return condition();
    ::Sleep(stepMs);
  }
}

// Whether window's thread takes messages again within timeoutMs: it has left whatever
// handler it was in, or waits in a nested loop (a message box, a dialog). Not "abort if
// hung": Wine takes a thread that has waited idle for a message a few seconds for hung.
inline bool Responds(HWND window, DWORD timeoutMs = kDeadlineMs) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, timeoutMs, &result) != 0;
}

} // namespace testwait
