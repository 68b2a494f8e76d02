// Huffman tables fitted to one picture, as libjpeg's optimize_coding fits them, without its
// buffer of all the picture's coefficients (three quarters of the pixel block at 4:2:0): in
// a first compression, which keeps no bytes, the counter takes over the step of libjpeg's
// entropy coder that codes each MCU and counts the symbols each table would code, as
// libjpeg's own gathering pass does. The counts of a picture compressed in stripes are summed;
// the tables built from them are then used for the compression that goes to the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

struct JpegSymbolCounter;

// Symbols counted per table, summed over every stripe of a picture that was counted.
struct JpegSymbolCounts {
  int64_t dc[NUM_HUFF_TBLS][256];
  int64_t ac[NUM_HUFF_TBLS][256];
};

// A counter of its own (about 20 KB, nothing of it shared); nullptr when out of memory.
JpegSymbolCounter* NewJpegSymbolCounter();
void FreeJpegSymbolCounter(JpegSymbolCounter* counter);

// Before jpeg_start_compress: counter becomes cinfo's destination, its counts start at zero.
void CountJpegSymbols(j_compress_ptr cinfo, JpegSymbolCounter* counter);

// After jpeg_start_compress, before the first row: the counting starts. A compression with
// restarts is not counted (its count does not come out whole).
void StartJpegSymbolCount(j_compress_ptr cinfo);

// After jpeg_finish_compress of the counted compression: the counter is taken off cinfo (its
// destination is null again). 1 when every MCU was counted, each within baseline's
// magnitudes: its counts are whole.
int EndJpegSymbolCount(j_compress_ptr cinfo, JpegSymbolCounter* counter);

// Adds a whole count's counts to totals.
void AddJpegSymbolCounts(const JpegSymbolCounter* counter, JpegSymbolCounts* totals);

// The DC values at the two ends of a counted stripe, per component of its scan. A stripe is
// counted as if a restart interval began with it; one that goes on another stripe's interval
// codes its first DC differences from that stripe's last values instead of from 0.
struct JpegDcEnds {
  int components;
  int table[MAX_COMPS_IN_SCAN]; // the DC table each component codes with
  int first[MAX_COMPS_IN_SCAN];
  int last[MAX_COMPS_IN_SCAN];
};

// The ends of a whole count.
void GetJpegDcEnds(const JpegSymbolCounter* counter, JpegDcEnds* ends);

// totals hold after's counts as counted; after follows before in one restart interval: its
// first DC differences are counted again from before's last values. 0 when the stripes do not
// match or a difference is beyond baseline's magnitudes (totals then are no longer whole).
int JoinJpegDcEnds(const JpegDcEnds* before, const JpegDcEnds* after, JpegSymbolCounts* totals);

// After jpeg_set_defaults: cinfo's Huffman tables are replaced by ones fitted to totals: 1.
// 0 when a counted table is not one cinfo has; its tables then stay as they were.
int FitJpegHuffmanTables(j_compress_ptr cinfo, const JpegSymbolCounts* totals);
