#include "win/resolve_long_path.h"

#include "win/cp932_names.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <string>

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
    // The long form is read in UTF-16: one whose name code page 932 cannot hold would
    // come back bent into another name, so it counts as not found.
    WCHAR longPath[MAX_PATH] = {0};
    std::string text;
    if (::SHGetPathFromIDListW(list, longPath) && ToCp932Exactly(longPath, &text) &&
        text.size() < outSize) {
      std::memcpy(out, text.c_str(), text.size() + 1);
      result = 1;
    }
    malloc->Free(list);
  }
  desktop->Release();
  malloc->Release();
  return result;
}
