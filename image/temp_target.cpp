#include "image/temp_target.h"

#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const int kAttempts = 100;

// Where the last component of path begins.
size_t NameOffset(const char* path) {
  size_t start = 0;
  for (size_t i = 0; path[i] != '\0'; ++i) {
#ifdef _WIN32
    // The second byte of a double-byte character may equal '\\'.
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && path[i + 1] != '\0') {
      ++i;
      continue;
    }
    if (path[i] == '\\' || path[i] == '/' || path[i] == ':')
      start = i + 1;
#else
    if (path[i] == '/')
      start = i + 1;
#endif
  }
  return start;
}

uint64_t Seed() {
  static uint64_t calls = 0;
  ++calls;
#ifdef _WIN32
  const uint64_t a = GetTickCount(), b = GetCurrentProcessId();
#else
  const uint64_t a = static_cast<uint64_t>(time(nullptr)) ^ static_cast<uint64_t>(clock()),
                 b = static_cast<uint64_t>(getpid());
#endif
  return (a << 20) ^ (b << 40) ^ b ^ (calls * 0x9E3779B97F4A7C15ull);
}

// An existing target that is read-only, a folder or a device is never replaced; a user who
// made a file read-only expects it kept. *exists tells whether there is one.
bool TargetReplaceable(const char* target, bool* exists) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesA(target);
  *exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (!*exists)
    return true; // not there (any other trouble shows when the file is made)
  return (attributes &
          (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
#else
  struct stat status;
  *exists = stat(target, &status) == 0;
  if (!*exists)
    return true;
  return S_ISREG(status.st_mode) && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
#endif
}

// 1 made, 0 the name is taken, -1 nothing can be made there.
int CreateExclusive(const char* path) {
#ifdef _WIN32
  HANDLE file =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? 0 : -1;
  }
  CloseHandle(file);
  return 1;
#else
  const int file = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (file < 0)
    return errno == EEXIST ? 0 : -1;
  close(file);
  return 1;
#endif
}

// What the writer put into the file reaches the disk before the file takes the target's place.
bool FlushToDisk(const char* path) {
#ifdef _WIN32
  HANDLE file =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  const bool flushed = FlushFileBuffers(file) != 0;
  return CloseHandle(file) != 0 && flushed;
#else
  const int file = open(path, O_WRONLY | O_CLOEXEC);
  if (file < 0)
    return false;
  const bool flushed = fsync(file) == 0;
  return close(file) == 0 && flushed;
#endif
}

} // namespace

int CreateTempBeside(const char* target, char* temp, size_t tempSize) {
  bool exists = false;
  if (target == nullptr || temp == nullptr || !TargetReplaceable(target, &exists))
    return 0;
  const size_t folder = NameOffset(target);
  const size_t nameLength = strlen(target + folder);
  if (nameLength == 0)
    return 0;
  // "~" and hex digits, as long as the target's name (between 4 and 12 characters), so that
  // the temporary path fits wherever the target's path does.
  size_t digits = nameLength - 1;
  if (digits < 3)
    digits = 3;
  if (digits > 11)
    digits = 11;
  if (folder + 1 + digits + 1 > tempSize)
    return 0;
  memcpy(temp, target, folder);
  temp[folder] = '~';
  uint64_t state = Seed();
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    uint64_t bits = state >> 8;
    for (size_t i = 0; i < digits; ++i, bits >>= 4)
      temp[folder + 1 + i] = "0123456789ABCDEF"[bits & 0xF];
    temp[folder + 1 + digits] = '\0';
    const int made = CreateExclusive(temp);
    if (made != 0)
      return made > 0 ? 1 : 0;
  }
  return 0;
}

int ReplaceWithTemp(const char* temp, const char* target) {
  bool exists = false;
  if (temp == nullptr || target == nullptr || !TargetReplaceable(target, &exists))
    return 0;
  // A file that takes an existing one's place is on the disk first, so that a crash leaves
  // the old file or the new one. A new name risks nothing the user had, and waiting for the
  // disk would double the time of a large BMP.
  if (exists && !FlushToDisk(temp))
    return 0;
#ifdef _WIN32
  return MoveFileExA(temp, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 1 : 0;
#else
  return rename(temp, target) == 0 ? 1 : 0;
#endif
}

void RemoveTemp(const char* temp) {
  if (temp == nullptr)
    return;
#ifdef _WIN32
  DeleteFileA(temp);
#else
  unlink(temp);
#endif
}
