#include "standin_library.h"

const StandinLibrary kUnlha = {"unlha32.dll", "UnlhaGetVersion", "Unlha"};
const StandinLibrary kSevenZip = {"7-Zip32.dll", "SevenZipGetVersion", "SevenZip"};
const StandinLibrary kCab = {"cab32.dll", "CabGetVersion", "Cab"};

namespace {

using VersionEntry = WORD(WINAPI*)(void);
using CommandEntry = int(WINAPI*)(const HWND, LPCSTR, LPSTR, const DWORD);

HMODULE Load(const StandinLibrary& library) {
  return LoadLibraryA((TestFolder() + library.file).c_str());
}

} // namespace

std::string TestFolder() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

int CallVersion(const StandinLibrary& library) {
  HMODULE module = Load(library);
  if (!module)
    return -1;
  auto entry = reinterpret_cast<VersionEntry>(
      reinterpret_cast<void*>(GetProcAddress(module, library.versionEntry)));
  int result = entry ? entry() : -1;
  FreeLibrary(module);
  return result;
}

int CallCommand(const StandinLibrary& library, const std::string& commandLine) {
  HMODULE module = Load(library);
  if (!module)
    return -1;
  auto entry = reinterpret_cast<CommandEntry>(
      reinterpret_cast<void*>(GetProcAddress(module, library.commandEntry)));
  int result = entry ? entry(nullptr, commandLine.c_str(), nullptr, 0) : -1;
  FreeLibrary(module);
  return result;
}
