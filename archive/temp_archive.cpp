#include "archive/temp_archive.h"

#include "archive/archive_names.h"
#include "process/path_pieces.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

// The temporary folder without a trailing backslash: the name format adds one.
int TempFolder(char* out, size_t outSize) {
  DWORD n = ::GetEnvironmentVariableA("temp", out, static_cast<DWORD>(outSize));
  if (n == 0 || n >= outSize) {
    n = ::GetTempPathA(static_cast<DWORD>(outSize), out);
    if (n == 0 || n >= outSize)
      return 0;
    if (EndsWithBackslash(out))
      out[n - 1] = '\0';
  }
  return 1;
}

bool Exists(const char* path) { return ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

} // namespace

int PrepareTempArchive(const char* archivePath, TempArchive* temp) {
  temp->path[0] = '\0';
  temp->ownFolder[0] = '\0';
  char folder[2500];
  if (!TempFolder(folder, sizeof folder))
    return 0;
  if (!MakeTempArchivePath(archivePath, folder, temp->path, sizeof temp->path))
    return 0;
  if (!Exists(temp->path))
    return 1;

  for (unsigned n = ::GetTickCount() & 0xFFFF, tries = 0; tries < 100; ++n, ++tries) {
    char own[2500];
    int len = std::snprintf(own, sizeof own, "%s\\Quillet-%04X", folder, n);
    if (len < 0 || static_cast<size_t>(len) >= sizeof own)
      return 0;
    if (!::CreateDirectoryA(own, nullptr))
      continue;
    std::strcpy(temp->ownFolder, own);
    if (MakeTempArchivePath(archivePath, own, temp->path, sizeof temp->path))
      return 1;
    ReleaseTempArchive(temp);
    return 0;
  }
  return -1;
}

void ReleaseTempArchive(TempArchive* temp) {
  if (temp->ownFolder[0] != '\0')
    ::RemoveDirectoryA(temp->ownFolder);
  temp->ownFolder[0] = '\0';
}
