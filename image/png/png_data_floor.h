// Refuses a PNG whose header promises far more pixels than its image data could inflate to.
#pragma once

#include <cstdint>
#include <cstdio>

// Deflate spends at least 2 bits on a match of at most 258 bytes: no stream of n bytes
// inflates to more than 1032 x n.
const uint64_t kMaxDeflateRatio = 1032;

// Bytes of the filtered rows (a filter byte in front of every row of every pass) that a
// picture of this header inflates to; UINT64_MAX when beyond counting.
uint64_t PngFilteredBytes(uint32_t width, uint32_t height, int bitDepth, int colorType,
                          int interlaced);

// With file standing just behind the first IDAT chunk's length and type, as png_read_info
// leaves it: 1 when the IDAT chunks together are long enough to inflate to the filtered rows,
// 0 when they are not (or cannot be walked). The file's position is left as it was.
int PngDataCanHold(FILE* file, uint64_t filteredBytes);
