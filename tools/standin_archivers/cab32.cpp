// Stand-in for CAB32.DLL.
#include "command_log.h"

#include <windows.h>

extern "C" WORD WINAPI CabGetVersion(void) { return 98; }

extern "C" int WINAPI Cab(const HWND, LPCSTR szCmdLine, LPSTR, const DWORD) {
  LogCommand("Cab", szCmdLine);
  return 0;
}
