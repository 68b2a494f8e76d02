#include "archive/temp_archive.h"

#include "base/bounded_format.h"
#include "base/path_pieces.h"

#include <windows.h>

int GetTempArchiveFolder(char* out, size_t outSize) {
  DWORD n = ::GetEnvironmentVariableA("temp", out, static_cast<DWORD>(outSize));
  if (n == 0 || n >= outSize) {
    n = ::GetTempPathA(static_cast<DWORD>(outSize), out);
    if (n == 0 || n >= outSize)
      return 0;
    // The name format adds the backslash.
    if (EndsWithBackslash(out))
      out[n - 1] = '\0';
  }
  return 1;
}

int PathExists(const char* path) { return ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

int MakeOwnTempFolder(const char* tempDir, char* out, size_t outSize) {
  for (unsigned n = ::GetTickCount() & 0xFFFF, tries = 0; tries < 100; ++n, ++tries) {
    if (!FormatBounded(out, outSize, "%s\\Quillet-%04X", tempDir, n & 0xFFFF))
      return 0;
    if (::CreateDirectoryA(out, nullptr))
      return 1;
  }
  out[0] = '\0';
  return -1;
}
