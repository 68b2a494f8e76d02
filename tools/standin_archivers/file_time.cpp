#include "file_time.h"

namespace {

const int64_t kTicksPerSecond = 10000000;
const int64_t kUnixEpochTicks = 116444736000000000; // 1970-01-01 in FILETIME ticks

} // namespace

int64_t FileTimeToUnix(const FILETIME& time) {
  int64_t ticks = (static_cast<int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return ticks < kUnixEpochTicks ? 0 : (ticks - kUnixEpochTicks) / kTicksPerSecond;
}

FILETIME UnixToFileTime(int64_t seconds) {
  uint64_t ticks = static_cast<uint64_t>(seconds * kTicksPerSecond + kUnixEpochTicks);
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return time;
}

void FileTimeToDos(const FILETIME& time, uint16_t* date, uint16_t* clock) {
  FILETIME local;
  WORD dosDate = 0, dosTime = 0;
  if (!FileTimeToLocalFileTime(&time, &local) ||
      !FileTimeToDosDateTime(&local, &dosDate, &dosTime)) {
    dosDate = (1 << 5) | 1; // 1980-01-01
    dosTime = 0;
  }
  *date = dosDate;
  *clock = dosTime;
}
