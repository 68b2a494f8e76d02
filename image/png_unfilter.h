// Undoing the PNG row filters, the reader's counterpart of png_filter.h.
#pragma once

#include <cstddef>

// Bytes of room that every row given to UnfilterPngRow needs behind its end: 3-byte pixels
// are moved 4 bytes at a time.
const size_t kUnfilterSlack = 4;

// Undoes the filter of one row: filtered holds the filter type and then bytes filtered bytes;
// prior is the row above, already unfiltered (all zero for the first row); out receives the
// bytes. bpp is the bytes per pixel, 1 to 4. 1 on success, 0 for a filter type beyond 4.
int UnfilterPngRow(const unsigned char* filtered, const unsigned char* prior, size_t bytes,
                   size_t bpp, unsigned char* out);
