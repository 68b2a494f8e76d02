// Stand-in for 7-Zip32.dll.
#include "command_log.h"

#include <windows.h>

extern "C" WORD WINAPI SevenZipGetVersion(void) { return 938; }

extern "C" int WINAPI SevenZip(const HWND, LPCSTR szCmdLine, LPSTR, const DWORD) {
  LogCommand("SevenZip", szCmdLine);
  return 0;
}
