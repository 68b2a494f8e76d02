// 64-bit positions in stdio files, so that pictures beyond 2 GB are measured rightly in the
// 32-bit build too.
#pragma once

#include <cstdint>
#include <cstdio>

// The current position; -1 on failure.
int64_t TellFile(FILE* file);

// 1 when the position is now offset bytes from the start.
int SeekFile(FILE* file, int64_t offset);

// The file's length in bytes, the position left as it was; -1 on failure.
int64_t FileLength(FILE* file);
