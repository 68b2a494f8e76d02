// Seeking and telling with 64-bit offsets on every platform: long, which fseek and ftell
// take, is 32 bits on Windows, so they fail on files beyond 2 GB there.
#pragma once

#include <cstdint>
#include <cstdio>

// fseek with a 64-bit offset (origin SEEK_SET, SEEK_CUR or SEEK_END): 1 on success, else 0.
int SeekFile(FILE* file, int64_t offset, int origin);

// ftell with a 64-bit result: the position, or -1 on failure.
int64_t TellFile(FILE* file);

// The file's length in bytes, the position left as it was; -1 on failure.
int64_t FileLength(FILE* file);
