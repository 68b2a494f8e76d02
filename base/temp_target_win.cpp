#include <windows.h>

#include "base/temp_target_os.h"

size_t TempNameOffset(const char* path) {
  size_t start = 0;
  for (size_t i = 0; path[i] != '\0'; ++i) {
    // The second byte of a double-byte character may equal '\\'.
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && path[i + 1] != '\0') {
      ++i;
      continue;
    }
    if (path[i] == '\\' || path[i] == '/' || path[i] == ':')
      start = i + 1;
  }
  return start;
}

uint64_t TempClockBits() { return GetTickCount(); }

uint64_t TempProcessBits() { return GetCurrentProcessId(); }

bool TempTargetReplaceable(const char* target, bool* exists) {
  const DWORD attributes = GetFileAttributesA(target);
  *exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (!*exists)
    return true; // not there (any other trouble shows when the file is made)
  return (attributes &
          (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

int TempCreateExclusive(const char* path) {
  HANDLE file =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? 0 : -1;
  }
  CloseHandle(file);
  return 1;
}

bool TempFlushToDisk(const char* path) {
  HANDLE file =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  const bool flushed = FlushFileBuffers(file) != 0;
  return CloseHandle(file) != 0 && flushed;
}

bool TempMoveOver(const char* temp, const char* target) {
  return MoveFileExA(temp, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void TempDelete(const char* path) { DeleteFileA(path); }
