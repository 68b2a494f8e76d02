#include "image/jpeg_huffman_fit.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

const size_t kBufferBytes = 1 << 16;
const int kLongestCode = 16;
// Codes up to this long are looked up in one step; a table this small stays in the nearest
// cache, which the decoding's speed hangs on. Longer codes are rare: found by length.
const int kFastBits = 10;

enum Phase { kMarker, kMarkerCode, kLengthHigh, kLengthLow, kSegment, kData, kDone };

// A table's canonical codes: symbol and code length for every kFastBits-bit prefix (length 0
// where the code is longer); for each length, the largest code (-1: none) and where its
// symbols start in values.
struct Lookup {
  uint16_t fast[1 << kFastBits];
  int32_t largest[kLongestCode + 1];
  int32_t first[kLongestCode + 1]; // values index of the length's first code, less that code
  uint8_t values[256];
};

} // namespace

struct JpegSymbolCounter {
  jpeg_destination_mgr pub; // first, so libjpeg's pointer to it is a pointer to the counter
  j_compress_ptr cinfo;
  JOCTET buffer[kBufferBytes];

  // The file's structure up to the scan's coded data.
  Phase phase;
  bool inScan;
  unsigned lengthHigh;
  unsigned segmentLeft;

  // The coded data: bits not yet decoded (the lowest bitCount bits of bits).
  bool ready;
  bool broken;
  bool pendingFF;
  uint64_t bits;
  int bitCount;
  int blocksInMcu;
  int dcTable[C_MAX_BLOCKS_IN_MCU];
  int acTable[C_MAX_BLOCKS_IN_MCU];
  uint64_t blocksLeft;
  int block; // within the MCU
  int k;     // the next coefficient of the block, 0 the DC

  Lookup dcLookup[NUM_HUFF_TBLS];
  Lookup acLookup[NUM_HUFF_TBLS];
  int64_t dcCount[NUM_HUFF_TBLS][256];
  int64_t acCount[NUM_HUFF_TBLS][256];
};

namespace {

// Canonical codes of a table in the file's form (counts per length, then the symbols).
bool BuildLookup(const JHUFF_TBL* table, Lookup* lookup) {
  memset(lookup->fast, 0, sizeof lookup->fast);
  if (table == nullptr)
    return false;
  unsigned code = 0;
  int next = 0;
  for (int length = 1; length <= kLongestCode; ++length) {
    lookup->first[length] = next - static_cast<int32_t>(code);
    for (int i = 0; i < table->bits[length]; ++i) {
      if (next > 255 || code >= (1u << length))
        return false;
      lookup->values[next] = table->huffval[next];
      if (length <= kFastBits) {
        const unsigned first = code << (kFastBits - length);
        const unsigned last = (code + 1) << (kFastBits - length);
        const uint16_t entry = static_cast<uint16_t>((length << 8) | table->huffval[next]);
        for (unsigned prefix = first; prefix < last; ++prefix)
          lookup->fast[prefix] = entry;
      }
      ++next;
      ++code;
    }
    lookup->largest[length] = table->bits[length] > 0 ? static_cast<int32_t>(code) - 1 : -1;
    code <<= 1;
  }
  return true;
}

// The scan's layout, once libjpeg has chosen it (it has by the time it writes the scan header).
void StartScan(JpegSymbolCounter* c) {
  const j_compress_ptr cinfo = c->cinfo;
  c->ready = true;
  if (cinfo->comps_in_scan < 1 || cinfo->blocks_in_MCU < 1 ||
      cinfo->blocks_in_MCU > C_MAX_BLOCKS_IN_MCU || cinfo->restart_interval != 0) {
    c->broken = true;
    return;
  }
  bool used[2][NUM_HUFF_TBLS] = {};
  c->blocksInMcu = cinfo->blocks_in_MCU;
  for (int b = 0; b < c->blocksInMcu; ++b) {
    const jpeg_component_info* const component = cinfo->cur_comp_info[cinfo->MCU_membership[b]];
    c->dcTable[b] = component->dc_tbl_no;
    c->acTable[b] = component->ac_tbl_no;
    used[0][component->dc_tbl_no] = used[1][component->ac_tbl_no] = true;
  }
  for (int t = 0; t < NUM_HUFF_TBLS; ++t) {
    if (used[0][t] && !BuildLookup(cinfo->dc_huff_tbl_ptrs[t], &c->dcLookup[t]))
      c->broken = true;
    if (used[1][t] && !BuildLookup(cinfo->ac_huff_tbl_ptrs[t], &c->acLookup[t]))
      c->broken = true;
  }
  c->blocksLeft = static_cast<uint64_t>(cinfo->MCUs_per_row) * cinfo->MCU_rows_in_scan *
                  static_cast<uint64_t>(c->blocksInMcu);
}

// Decodes one symbol and skips its extra bits; needs at least 32 bits in hand (16 for the
// code, at most 15 more).
void DecodeSymbol(JpegSymbolCounter* c) {
  const bool dc = c->k == 0;
  const int table = dc ? c->dcTable[c->block] : c->acTable[c->block];
  const Lookup& lookup = dc ? c->dcLookup[table] : c->acLookup[table];
  const unsigned peek =
      static_cast<unsigned>(c->bits >> (c->bitCount - kLongestCode)) & ((1u << kLongestCode) - 1);
  const uint16_t entry = lookup.fast[peek >> (kLongestCode - kFastBits)];
  int length = entry >> 8;
  int symbol = entry & 0xFF;
  if (length == 0) {
    for (length = kFastBits + 1; length <= kLongestCode; ++length) {
      const int32_t code = static_cast<int32_t>(peek >> (kLongestCode - length));
      if (code <= lookup.largest[length]) {
        symbol = lookup.values[lookup.first[length] + code];
        break;
      }
    }
    if (length > kLongestCode) {
      c->broken = true;
      return;
    }
  }
  c->bitCount -= length;
  if (dc) {
    ++c->dcCount[table][symbol];
    c->bitCount -= symbol & 15;
    c->k = 1;
  } else {
    ++c->acCount[table][symbol];
    const int run = symbol >> 4, size = symbol & 15;
    c->bitCount -= size;
    c->k = size != 0 ? c->k + run + 1 : run == 15 ? c->k + 16 : 64;
    if (c->k > 64)
      c->broken = true;
  }
  if (c->k >= 64) {
    c->k = 0;
    --c->blocksLeft;
    if (++c->block == c->blocksInMcu)
      c->block = 0;
  }
}

void TakeDataByte(JpegSymbolCounter* c, unsigned byte) {
  c->bits = (c->bits << 8) | byte;
  c->bitCount += 8;
  while (c->bitCount >= 32 && c->blocksLeft > 0 && !c->broken)
    DecodeSymbol(c);
  if (c->bitCount > 56) // more bits than symbols: not the data this counter expects
    c->broken = true;
}

void TakeByte(JpegSymbolCounter* c, unsigned byte) {
  switch (c->phase) {
  case kMarker:
    if (byte == 0xFF)
      c->phase = kMarkerCode;
    else
      c->broken = true;
    break;
  case kMarkerCode:
    if (byte == 0xFF) // fill byte
      break;
    if (byte == 0xD8) { // start of image: no segment follows
      c->phase = kMarker;
      break;
    }
    c->inScan = byte == 0xDA;
    c->phase = kLengthHigh;
    break;
  case kLengthHigh:
    c->lengthHigh = byte;
    c->phase = kLengthLow;
    break;
  case kLengthLow:
    c->segmentLeft = (c->lengthHigh << 8 | byte) - 2u;
    if (c->segmentLeft > 0xFFFF)
      c->broken = true;
    else if (c->segmentLeft == 0)
      c->phase = c->inScan ? kData : kMarker;
    else
      c->phase = kSegment;
    break;
  case kSegment:
    if (--c->segmentLeft == 0)
      c->phase = c->inScan ? kData : kMarker;
    break;
  case kData:
    if (!c->ready)
      StartScan(c);
    if (c->pendingFF) {
      c->pendingFF = false;
      if (byte == 0x00)
        TakeDataByte(c, 0xFF);
      else
        c->phase = kDone; // the marker that ends the scan
    } else if (byte == 0xFF) {
      c->pendingFF = true;
    } else {
      TakeDataByte(c, byte);
    }
    break;
  case kDone:
    break;
  }
}

void TakeBytes(JpegSymbolCounter* c, const JOCTET* bytes, size_t count) {
  for (size_t i = 0; i < count && !c->broken; ++i)
    TakeByte(c, bytes[i]);
}

void InitDestination(j_compress_ptr cinfo) {
  JpegSymbolCounter* const c = reinterpret_cast<JpegSymbolCounter*>(cinfo->dest);
  c->pub.next_output_byte = c->buffer;
  c->pub.free_in_buffer = kBufferBytes;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  JpegSymbolCounter* const c = reinterpret_cast<JpegSymbolCounter*>(cinfo->dest);
  TakeBytes(c, c->buffer, kBufferBytes);
  InitDestination(cinfo);
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  JpegSymbolCounter* const c = reinterpret_cast<JpegSymbolCounter*>(cinfo->dest);
  TakeBytes(c, c->buffer, kBufferBytes - c->pub.free_in_buffer);
  // The last symbols: 32 bits of padding let each be decoded; they must end within the data.
  if (c->broken || c->phase != kDone)
    return;
  const int dataBits = c->bitCount;
  c->bits <<= 32;
  c->bitCount += 32;
  while (c->blocksLeft > 0 && !c->broken && c->bitCount > 32)
    DecodeSymbol(c);
  if (c->blocksLeft != 0 || c->bitCount < 32 || dataBits > 56)
    c->broken = true;
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
  c->cinfo = cinfo;
  c->phase = kMarker;
  c->inScan = false;
  c->lengthHigh = 0;
  c->segmentLeft = 0;
  c->ready = false;
  c->broken = false;
  c->pendingFF = false;
  c->bits = 0;
  c->bitCount = 0;
  c->blocksInMcu = 0;
  c->blocksLeft = 0;
  c->block = 0;
  c->k = 0;
  memset(c->dcCount, 0, sizeof c->dcCount);
  memset(c->acCount, 0, sizeof c->acCount);
  cinfo->dest = &c->pub;
}

int EndJpegSymbolCount(j_compress_ptr cinfo, JpegSymbolCounter* counter) {
  cinfo->dest = nullptr;
  return counter->broken || counter->phase != kDone || counter->blocksLeft != 0 ? 0 : 1;
}

void AddJpegSymbolCounts(const JpegSymbolCounter* counter, JpegSymbolCounts* totals) {
  for (int t = 0; t < NUM_HUFF_TBLS; ++t)
    for (int i = 0; i < 256; ++i) {
      totals->dc[t][i] += counter->dcCount[t][i];
      totals->ac[t][i] += counter->acCount[t][i];
    }
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
