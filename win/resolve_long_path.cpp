#include "win/resolve_long_path.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

int ResolveLongPath(const char* path, char* out, size_t outSize) {
  IMalloc* malloc = nullptr;
  if (FAILED(::SHGetMalloc(&malloc)))
    return 0;
  IShellFolder* desktop = nullptr;
  if (FAILED(::SHGetDesktopFolder(&desktop))) {
    malloc->Release();
    return 0;
  }
  int result = 0;
  WCHAR wide[MAX_PATH] = {0};
  int wideSize = outSize < MAX_PATH ? static_cast<int>(outSize) : MAX_PATH;
  LPITEMIDLIST list = nullptr;
  // A path whose wide form does not fit is not parsed at all rather than parsed cut short.
  if (::MultiByteToWideChar(CP_ACP, 0, path, -1, wide, wideSize) > 0 &&
      SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, wide, nullptr, &list, nullptr))) {
    // SHGetPathFromIDListA writes up to MAX_PATH bytes: never into a smaller buffer.
    char longPath[MAX_PATH] = {0};
    if (::SHGetPathFromIDListA(list, longPath) && std::strlen(longPath) < outSize) {
      std::memcpy(out, longPath, std::strlen(longPath) + 1);
      result = 1;
    }
    malloc->Free(list);
  }
  desktop->Release();
  malloc->Release();
  return result;
}
