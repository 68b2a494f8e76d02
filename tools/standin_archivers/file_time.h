// Conversions between Windows file times and the time fields of archive headers.
#pragma once

#include <windows.h>

#include <cstdint>

// Seconds since 1970-01-01 UTC; 0 for times before it.
int64_t FileTimeToUnix(const FILETIME& time);
FILETIME UnixToFileTime(int64_t seconds);

// MS-DOS date and time in local time; 1980-01-01 for times outside the DOS range.
void FileTimeToDos(const FILETIME& time, uint16_t* date, uint16_t* clock);
