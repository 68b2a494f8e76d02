#include "base/temp_target_os.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

size_t TempNameOffset(const char* path) {
  size_t start = 0;
  for (size_t i = 0; path[i] != '\0'; ++i)
    if (path[i] == '/')
      start = i + 1;
  return start;
}

uint64_t TempClockBits() {
  return static_cast<uint64_t>(time(nullptr)) ^ static_cast<uint64_t>(clock());
}

uint64_t TempProcessBits() { return static_cast<uint64_t>(getpid()); }

bool TempTargetReplaceable(const char* target, bool* exists) {
  struct stat status;
  *exists = stat(target, &status) == 0;
  if (!*exists)
    return true;
  return S_ISREG(status.st_mode) && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

int TempCreateExclusive(const char* path) {
  const int file = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (file < 0)
    return errno == EEXIST ? 0 : -1;
  close(file);
  return 1;
}

bool TempFlushToDisk(const char* path) {
  const int file = open(path, O_WRONLY | O_CLOEXEC);
  if (file < 0)
    return false;
  const bool flushed = fsync(file) == 0;
  return close(file) == 0 && flushed;
}

bool TempMoveOver(const char* temp, const char* target) { return rename(temp, target) == 0; }

void TempDelete(const char* path) { unlink(path); }
