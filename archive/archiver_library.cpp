#include "archive/archiver_library.h"

#include "framework/afxwin.h"

const ArchiverLibrary kLhaLibrary = {"unlha32.dll", "UnlhaGetVersion", "Unlha",
                                     "UNLHA32.DLL が見つかりません。"};
const ArchiverLibrary kSevenZipLibrary = {"7-Zip32.dll", "SevenZipGetVersion", "SevenZip",
                                          "7-Zip32.dll が見つかりません。"};
const ArchiverLibrary kCabLibrary = {"cab32.dll", "CabGetVersion", "Cab",
                                     "CAB32.DLL が見つかりません。"};

namespace {
typedef WORD(WINAPI* VersionEntry)();
typedef int(WINAPI* CommandEntry)(HWND, LPCSTR, LPSTR, DWORD);
} // namespace

int GetArchiverVersion(const ArchiverLibrary& library, double* version) {
  HMODULE module = ::LoadLibraryA(library.fileName);
  if (module == nullptr)
    return 1;
  auto entry = reinterpret_cast<VersionEntry>(
      reinterpret_cast<void*>(::GetProcAddress(module, library.versionEntry)));
  if (entry == nullptr) {
    ::FreeLibrary(module);
    return 1;
  }
  *version = static_cast<unsigned>(entry() & 0xFFFFu) * 0.01;
  ::FreeLibrary(module);
  return 0;
}

int RunArchiver(const ArchiverLibrary& library, HWND window, const char* commandLine) {
  HMODULE module = ::LoadLibraryA(library.fileName);
  if (module == nullptr) {
    AfxMessageBox(library.missingMessage, MB_OK | MB_ICONEXCLAMATION);
    return 1;
  }
  auto entry = reinterpret_cast<CommandEntry>(
      reinterpret_cast<void*>(::GetProcAddress(module, library.commandEntry)));
  if (entry == nullptr) {
    // A library without its entry point is of no use: treated like a missing one.
    ::FreeLibrary(module);
    AfxMessageBox(library.missingMessage, MB_OK | MB_ICONEXCLAMATION);
    return 1;
  }
  entry(window, commandLine, nullptr, 0);
  ::FreeLibrary(module);
  return 0;
}
