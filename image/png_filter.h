// The PNG writer's choice of row filter.
#pragma once

#include <cstddef>

// Filters one row of bytes (bpp bytes per pixel, 1 to 4) against the row above it (prior: all
// zero for the first row) and writes the filter type and the filtered bytes to out (1 + bytes).
// filter 0 to 4 is that filter; kChooseFilter (as libpng chooses) takes the one of the five
// whose output has the smallest sum of magnitudes, bytes read as signed, the first in filter
// order on a tie. scratch holds 4 x bytes.
const int kChooseFilter = -1;
void FilterPngRow(const unsigned char* row, const unsigned char* prior, size_t bytes, size_t bpp,
                  int filter, unsigned char* out, unsigned char* scratch);
