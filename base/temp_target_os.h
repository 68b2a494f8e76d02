// What the temporary file beside a target needs from the operating system: one implementation
// per platform (temp_target_win.cpp, temp_target_posix.cpp). Paths are ANSI strings.
#pragma once

#include <cstddef>
#include <cstdint>

// Where the last component of path begins.
size_t TempNameOffset(const char* path);

// Bits that differ between runs and between processes, to seed the temporary names.
uint64_t TempClockBits();
uint64_t TempProcessBits();

// An existing target that is read-only, a folder or a device is never replaced; a user who
// made a file read-only expects it kept. *exists tells whether there is one.
bool TempTargetReplaceable(const char* target, bool* exists);

// 1 made, 0 the name is taken, -1 nothing can be made there.
int TempCreateExclusive(const char* path);

// What the writer put into the file reaches the disk before the file takes the target's place.
bool TempFlushToDisk(const char* path);

// Renames temp to target, replacing a target that exists.
bool TempMoveOver(const char* temp, const char* target);

// Deletes the file.
void TempDelete(const char* path);
