// Stand-in for UNLHA32.DLL.
#include "command_log.h"

#include <windows.h>

extern "C" WORD WINAPI UnlhaGetVersion(void) { return 263; }

extern "C" int WINAPI Unlha(const HWND, LPCSTR szCmdLine, LPSTR, const DWORD) {
  LogCommand("Unlha", szCmdLine);
  return 0;
}
