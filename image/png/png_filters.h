// The PNG row filters both ways: filtering for the writer, undoing for the reader.
// A row is bytes bytes of bpp bytes per pixel (1 to 4); prior is the row above it, all zero
// for the first row.
#pragma once

#include <cstddef>

// The filter types, as the byte before each row names them.
const int kFilterNone = 0;
const int kFilterSub = 1;
const int kFilterUp = 2;
const int kFilterAverage = 3;
const int kFilterPaeth = 4;

// Filters one row and writes the filter type and the filtered bytes to out (1 + bytes).
// filter kFilterNone to kFilterPaeth is that filter; kChooseFilter (as libpng chooses) takes
// the one of the five whose output has the smallest sum of magnitudes, bytes read as signed,
// the first in filter order on a tie. scratch holds 4 x bytes.
const int kChooseFilter = -1;
void FilterPngRow(const unsigned char* row, const unsigned char* prior, size_t bytes, size_t bpp,
                  int filter, unsigned char* out, unsigned char* scratch);

// Bytes of room that every row given to UnfilterPngRow needs behind its end: 3-byte pixels
// are moved 4 bytes at a time.
const size_t kUnfilterSlack = 4;

// Undoes the filter of one row: filtered holds the filter type and then bytes filtered bytes;
// prior is already unfiltered; out receives the bytes. 1 on success, 0 for a filter type
// beyond kFilterPaeth.
int UnfilterPngRow(const unsigned char* filtered, const unsigned char* prior, size_t bytes,
                   size_t bpp, unsigned char* out);
