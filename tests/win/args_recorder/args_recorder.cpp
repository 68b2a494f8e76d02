// Stands in for a browser: writes the command line it was started with to the file named
// by QUILLET_ARGS_RECORD, whole or not at all, and ends.
#include <windows.h>

#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char record[MAX_PATH] = {0};
  DWORD n = ::GetEnvironmentVariableA("QUILLET_ARGS_RECORD", record, MAX_PATH - 8);
  if (n == 0 || n >= MAX_PATH - 8)
    return 2;
  char partial[MAX_PATH] = {0};
  std::memcpy(partial, record, n);
  std::memcpy(partial + n, ".part", 6);

  HANDLE file = ::CreateFileA(partial, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return 3;
  const char* line = ::GetCommandLineA();
  DWORD written = 0;
  BOOL ok = ::WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
  ::CloseHandle(file);
  if (!ok || !::MoveFileExA(partial, record, MOVEFILE_REPLACE_EXISTING))
    return 4;
  return 0;
}
