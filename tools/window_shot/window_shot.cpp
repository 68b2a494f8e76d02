// window_shot PROGRAM OUT.bmp: runs PROGRAM, waits for its first visible top-level
// window, saves the screen inside that window's frame as a BMP, then closes the window
// as the close box would. Exit status 0 when the picture was saved.
#include "tests/e2e/driver/screen_capture.h"

#include <windows.h>

#include <cstdio>

namespace {

struct Search {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindWindowOf(HWND hwnd, LPARAM lParam) {
  Search* s = reinterpret_cast<Search*>(lParam);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid != s->pid || !::IsWindowVisible(hwnd) || ::GetWindow(hwnd, GW_OWNER) != nullptr)
    return TRUE;
  s->found = hwnd;
  return FALSE;
}

HWND WaitForWindow(const PROCESS_INFORMATION& pi, DWORD timeoutMs) {
  Search s = {pi.dwProcessId, nullptr};
  for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
    ::EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&s));
    if (s.found != nullptr || ::WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0)
      break;
  }
  return s.found;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: window_shot PROGRAM OUT.bmp\n");
    return 2;
  }
  char command[MAX_PATH + 3];
  std::snprintf(command, sizeof command, "\"%s\"", argv[1]);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!::CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::fprintf(stderr, "cannot start %s\n", argv[1]);
    return 1;
  }
  int status = 1;
  HWND window = WaitForWindow(pi, 30000);
  if (window == nullptr) {
    std::fprintf(stderr, "%s showed no window\n", argv[1]);
  } else {
    ::Sleep(1500); // the first paint, and the list filled with the libraries' versions
    RECT rect;
    ::GetWindowRect(window, &rect);
    ScreenCapture shot(rect);
    if (shot.SaveBmp(argv[2]))
      status = 0;
    else
      std::fprintf(stderr, "cannot save %s\n", argv[2]);
    ::PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
  if (::WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0)
    ::TerminateProcess(pi.hProcess, 1);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return status;
}
