#include "image/jpeg/jpeg_huffman_fit.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

// libjpeg's entropy coder as its compressor calls it (declared in its jpegint.h, which is not
// installed; the same from 6b to libjpeg-turbo 3): the counter takes over its MCU step.
struct jpeg_entropy_encoder {
  void (*start_pass)(j_compress_ptr cinfo, boolean gatherStatistics);
  boolean (*encode_mcu)(j_compress_ptr cinfo, JBLOCKROW* mcu);
  void (*finish_pass)(j_compress_ptr cinfo);
};

namespace {

// Where the compressor's bytes (its headers, and the padding its own coder flushes) go.
const size_t kDiscardBytes = 4096;

// A block's coefficients in the order they are coded.
const uint8_t kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                             12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                             35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                             58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// Baseline magnitudes: a DC difference of up to 11 bits, an AC coefficient of up to 10.
const int kDcBits = 11;
const int kAcBits = 10;

} // namespace

struct JpegSymbolCounter {
  jpeg_destination_mgr pub; // first, so libjpeg's pointer to it is a pointer to the counter
  JOCTET discard[kDiscardBytes];
  bool started;
  bool broken;
  uint64_t mcusLeft;
  bool firstMcu;
  JpegDcEnds ends; // ends.last is the DC prediction as the count goes
  int64_t dcCount[NUM_HUFF_TBLS][256];
  int64_t acCount[NUM_HUFF_TBLS][256];
};

namespace {

void InitDestination(j_compress_ptr cinfo) {
  cinfo->dest->next_output_byte = reinterpret_cast<JpegSymbolCounter*>(cinfo->dest)->discard;
  cinfo->dest->free_in_buffer = kDiscardBytes;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  InitDestination(cinfo);
  return TRUE;
}

void TermDestination(j_compress_ptr) {}

int Magnitude(int value) {
  const unsigned v = static_cast<unsigned>(value < 0 ? -value : value);
  return v == 0 ? 0 : 32 - __builtin_clz(v);
}

// The symbols one block codes, as libjpeg's own gathering pass counts them.
void CountBlock(JpegSymbolCounter* c, const JCOEF* block, int* lastDc, int64_t* dc, int64_t* ac) {
  const int dcBits = Magnitude(block[0] - *lastDc);
  *lastDc = block[0];
  if (dcBits > kDcBits)
    c->broken = true;
  else
    ++dc[dcBits];
  int run = 0;
  for (int k = 1; k < 64; ++k) {
    const int value = block[kZigzag[k]];
    if (value == 0) {
      ++run;
      continue;
    }
    for (; run > 15; run -= 16)
      ++ac[0xF0];
    const int bits = Magnitude(value);
    if (bits > kAcBits)
      c->broken = true;
    else
      ++ac[(run << 4) + bits];
    run = 0;
  }
  if (run > 0)
    ++ac[0];
}

boolean CountMcu(j_compress_ptr cinfo, JBLOCKROW* mcu) {
  JpegSymbolCounter* const c = reinterpret_cast<JpegSymbolCounter*>(cinfo->dest);
  for (int b = 0; b < cinfo->blocks_in_MCU; ++b) {
    const int ci = cinfo->MCU_membership[b];
    const jpeg_component_info* const component = cinfo->cur_comp_info[ci];
    if (c->firstMcu && (b == 0 || cinfo->MCU_membership[b - 1] != ci))
      c->ends.first[ci] = mcu[b][0][0];
    CountBlock(c, mcu[b][0], &c->ends.last[ci], c->dcCount[component->dc_tbl_no],
               c->acCount[component->ac_tbl_no]);
  }
  c->firstMcu = false;
  if (c->mcusLeft == 0)
    c->broken = true;
  else
    --c->mcusLeft;
  return TRUE;
}

// Code lengths for the counts by Huffman's procedure with the JPEG standard's limit of 16 bits
// and no code of all ones (the reserved symbol 256), as libjpeg's optimize_coding builds them.
void FitTable(const int64_t counts[256], JHUFF_TBL* table) {
  int64_t freq[257];
  int codeSize[257];
  int others[257];
  for (int i = 0; i < 256; ++i)
    freq[i] = counts[i];
  freq[256] = 1;
  for (int i = 0; i < 257; ++i) {
    codeSize[i] = 0;
    others[i] = -1;
  }
  for (;;) {
    // The two least frequent symbols, the larger symbol on ties.
    int c1 = -1, c2 = -1;
    for (int i = 0; i <= 256; ++i)
      if (freq[i] != 0 && (c1 < 0 || freq[i] <= freq[c1]))
        c1 = i;
    for (int i = 0; i <= 256; ++i)
      if (freq[i] != 0 && i != c1 && (c2 < 0 || freq[i] <= freq[c2]))
        c2 = i;
    if (c2 < 0)
      break;
    freq[c1] += freq[c2];
    freq[c2] = 0;
    ++codeSize[c1];
    while (others[c1] >= 0) {
      c1 = others[c1];
      ++codeSize[c1];
    }
    others[c1] = c2;
    ++codeSize[c2];
    while (others[c2] >= 0) {
      c2 = others[c2];
      ++codeSize[c2];
    }
  }
  int bits[258] = {};
  int longest = 0;
  for (int i = 0; i <= 256; ++i)
    if (codeSize[i] != 0) {
      ++bits[codeSize[i]];
      if (codeSize[i] > longest)
        longest = codeSize[i];
    }
  // Codes beyond 16 bits: a pair of them moves up one length, where a shorter code splits.
  for (int i = longest; i > 16; --i)
    while (bits[i] > 0) {
      int j = i - 2;
      while (bits[j] == 0)
        --j;
      bits[i] -= 2;
      ++bits[i - 1];
      bits[j + 1] += 2;
      --bits[j];
    }
  int i = 16;
  while (bits[i] == 0)
    --i;
  --bits[i]; // the reserved symbol's code
  table->bits[0] = 0;
  for (int length = 1; length <= 16; ++length)
    table->bits[length] = static_cast<UINT8>(bits[length]);
  int next = 0;
  for (int length = 1; length <= longest; ++length)
    for (int symbol = 0; symbol < 256; ++symbol)
      if (codeSize[symbol] == length)
        table->huffval[next++] = static_cast<UINT8>(symbol);
  table->sent_table = FALSE;
}

bool AnyCount(const int64_t counts[256]) {
  for (int i = 0; i < 256; ++i)
    if (counts[i] != 0)
      return true;
  return false;
}

} // namespace

JpegSymbolCounter* NewJpegSymbolCounter() {
  return static_cast<JpegSymbolCounter*>(malloc(sizeof(JpegSymbolCounter)));
}

void FreeJpegSymbolCounter(JpegSymbolCounter* counter) { free(counter); }

void CountJpegSymbols(j_compress_ptr cinfo, JpegSymbolCounter* counter) {
  JpegSymbolCounter* const c = counter;
  c->pub.init_destination = InitDestination;
  c->pub.empty_output_buffer = EmptyOutputBuffer;
  c->pub.term_destination = TermDestination;
  c->started = false;
  c->broken = false;
  c->mcusLeft = 0;
  c->firstMcu = true;
  memset(&c->ends, 0, sizeof c->ends);
  memset(c->dcCount, 0, sizeof c->dcCount);
  memset(c->acCount, 0, sizeof c->acCount);
  cinfo->dest = &c->pub;
}

void StartJpegSymbolCount(j_compress_ptr cinfo) {
  JpegSymbolCounter* const c = reinterpret_cast<JpegSymbolCounter*>(cinfo->dest);
  c->started = true;
  // One scan of every component, without restarts: the layout counted here.
  if (cinfo->entropy == nullptr || cinfo->restart_interval != 0 || cinfo->comps_in_scan < 1 ||
      cinfo->comps_in_scan > MAX_COMPS_IN_SCAN || cinfo->blocks_in_MCU < 1 ||
      cinfo->blocks_in_MCU > C_MAX_BLOCKS_IN_MCU) {
    c->broken = true;
    return;
  }
  c->mcusLeft = static_cast<uint64_t>(cinfo->MCUs_per_row) * cinfo->MCU_rows_in_scan;
  c->ends.components = cinfo->comps_in_scan;
  for (int ci = 0; ci < cinfo->comps_in_scan; ++ci)
    c->ends.table[ci] = cinfo->cur_comp_info[ci]->dc_tbl_no;
  cinfo->entropy->encode_mcu = CountMcu;
}

int EndJpegSymbolCount(j_compress_ptr cinfo, JpegSymbolCounter* counter) {
  cinfo->dest = nullptr;
  return counter->started && !counter->broken && counter->mcusLeft == 0 ? 1 : 0;
}

void AddJpegSymbolCounts(const JpegSymbolCounter* counter, JpegSymbolCounts* totals) {
  for (int t = 0; t < NUM_HUFF_TBLS; ++t)
    for (int i = 0; i < 256; ++i) {
      totals->dc[t][i] += counter->dcCount[t][i];
      totals->ac[t][i] += counter->acCount[t][i];
    }
}

void GetJpegDcEnds(const JpegSymbolCounter* counter, JpegDcEnds* ends) { *ends = counter->ends; }

int JoinJpegDcEnds(const JpegDcEnds* before, const JpegDcEnds* after, JpegSymbolCounts* totals) {
  if (before->components != after->components)
    return 0;
  for (int ci = 0; ci < after->components; ++ci) {
    const int table = after->table[ci];
    const int counted = Magnitude(after->first[ci]);
    const int coded = Magnitude(after->first[ci] - before->last[ci]);
    if (table != before->table[ci] || table < 0 || table >= NUM_HUFF_TBLS || coded > kDcBits ||
        totals->dc[table][counted] == 0)
      return 0;
    --totals->dc[table][counted];
    ++totals->dc[table][coded];
  }
  return 1;
}

int FitJpegHuffmanTables(j_compress_ptr cinfo, const JpegSymbolCounts* totals) {
  for (int t = 0; t < NUM_HUFF_TBLS; ++t) {
    if (AnyCount(totals->dc[t]) && cinfo->dc_huff_tbl_ptrs[t] == nullptr)
      return 0;
    if (AnyCount(totals->ac[t]) && cinfo->ac_huff_tbl_ptrs[t] == nullptr)
      return 0;
  }
  for (int t = 0; t < NUM_HUFF_TBLS; ++t) {
    if (AnyCount(totals->dc[t]))
      FitTable(totals->dc[t], cinfo->dc_huff_tbl_ptrs[t]);
    if (AnyCount(totals->ac[t]))
      FitTable(totals->ac[t], cinfo->ac_huff_tbl_ptrs[t]);
  }
  return 1;
}
