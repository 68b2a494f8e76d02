#include "image/deflate/inflater.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

const size_t kHistory = 32768; // the farthest a match may reach back
const size_t kSpan = 131072;   // inflated between two slides of the history to the front
const size_t kSlack = 512;     // a match begun before the span's end, and its 8-byte overrun
const size_t kSpanEnd = kHistory + kSpan;
const size_t kInSize = 65536;

// Table entries: the low 5 bits say how many bits the code takes, the flags what it is.
// Above them: the count of extra bits (or a subtable's index bits) in bits 8-15 and the
// value (literal, base length or distance, code length symbol, subtable start) in 16-31.
const uint32_t kLiteral = 0x20;
const uint32_t kSubtable = 0x40;
const uint32_t kSpecial = 0x80; // value 0: end of block; 1: a code no stream may use
const uint32_t kInvalid = kSpecial | (1u << 16);

const unsigned kLitBits = 10;
const unsigned kDistBits = 8;
const unsigned kLengthCodeBits = 7;
const int kLitCapacity = 4096;
const int kDistCapacity = 1024;

const uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const uint8_t kLengthCodeOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                      11, 4,  12, 3, 13, 2, 14, 1, 15};

enum State { kZlibHeader, kNeedHeader, kStored, kHuffman, kDone };

uint32_t LitEntry(int symbol) {
  if (symbol < 256)
    return kLiteral | static_cast<uint32_t>(symbol) << 16;
  if (symbol == 256)
    return kSpecial;
  if (symbol <= 285)
    return static_cast<uint32_t>(kLengthBase[symbol - 257]) << 16 |
           static_cast<uint32_t>(kLengthExtra[symbol - 257]) << 8;
  return kInvalid;
}

uint32_t DistEntry(int symbol) {
  if (symbol < 30)
    return static_cast<uint32_t>(kDistBase[symbol]) << 16 |
           static_cast<uint32_t>(kDistExtra[symbol]) << 8;
  return kInvalid;
}

uint32_t LengthCodeEntry(int symbol) { return static_cast<uint32_t>(symbol) << 16; }

unsigned Reverse(unsigned code, unsigned bits) {
  unsigned r = 0;
  for (unsigned i = 0; i < bits; ++i, code >>= 1)
    r = (r << 1) | (code & 1);
  return r;
}

// Builds the decoding table of a canonical code from its code lengths. An over-subscribed
// code is refused; so is an incomplete one, except a code of at most one symbol of one bit
// where partial is set (as zlib allows for literal/length and distance codes). Unused entries
// read as invalid.
int BuildTable(const uint8_t* lengths, int count, uint32_t (*entry)(int), unsigned rootBits,
               int partial, uint32_t* table, int capacity) {
  int perLength[16] = {};
  for (int s = 0; s < count; ++s)
    ++perLength[lengths[s]];
  perLength[0] = 0;
  int used = 0, longest = 0;
  long left = 1;
  for (int l = 1; l <= 15; ++l) {
    left = left * 2 - perLength[l];
    if (left < 0)
      return 0;
    used += perLength[l];
    if (perLength[l] > 0)
      longest = l;
  }
  if (left > 0 && !(partial && longest <= 1))
    return 0;
  const int rootSize = 1 << rootBits;
  for (int i = 0; i < rootSize; ++i)
    table[i] = kInvalid;

  // Symbols in canonical order, with their codes (first bit highest).
  int start[16];
  unsigned next[16];
  start[1] = 0;
  next[1] = 0;
  for (int l = 1; l < 15; ++l) {
    start[l + 1] = start[l] + perLength[l];
    next[l + 1] = (next[l] + perLength[l]) << 1;
  }
  uint16_t order[288];
  uint16_t codes[288];
  for (int s = 0; s < count; ++s) {
    const int l = lengths[s];
    if (l == 0)
      continue;
    order[start[l]] = static_cast<uint16_t>(s);
    codes[start[l]++] = static_cast<uint16_t>(next[l]++);
  }

  int free = rootSize;
  unsigned prefix = ~0u, subStart = 0, subBits = 0;
  for (int k = 0; k < used; ++k) {
    const int s = order[k];
    const unsigned l = lengths[s], code = codes[k];
    const uint32_t value = entry(s);
    if (l <= rootBits) {
      for (unsigned i = Reverse(code, l); i < static_cast<unsigned>(rootSize); i += 1u << l)
        table[i] = value | l;
      continue;
    }
    // Longer codes go to subtables, one per root prefix; a prefix's codes come together,
    // its longest last.
    const unsigned p = code >> (l - rootBits);
    if (p != prefix) {
      int last = k;
      while (last + 1 < used &&
             static_cast<unsigned>(codes[last + 1] >> (lengths[order[last + 1]] - rootBits)) == p)
        ++last;
      prefix = p;
      subBits = lengths[order[last]] - rootBits;
      if (free + (1 << subBits) > capacity)
        return 0;
      subStart = static_cast<unsigned>(free);
      free += 1 << subBits;
      for (unsigned i = 0; i < (1u << subBits); ++i)
        table[subStart + i] = kInvalid;
      table[Reverse(p, rootBits)] = kSubtable | rootBits | subBits << 8 | subStart << 16;
    }
    const unsigned rest = l - rootBits;
    for (unsigned i = Reverse(code & ((1u << rest) - 1), rest); i < (1u << subBits);
         i += 1u << rest)
      table[subStart + i] = value | rest;
  }
  return 1;
}

} // namespace

struct Inflater {
  InflateSource source;
  void* context;
  int ended;  // the source has nothing more
  int failed; // damaged or short data: nothing more is given
  State state;
  int lastBlock;
  size_t storedLeft;

  uint64_t bits; // next input bits, first bit lowest; above count, the input's next bytes or 0
  unsigned count;
  unsigned phantom; // zero bytes put behind the input's end; using them is an error
  size_t inPos, inEnd;

  size_t readPos, writePos; // in out: what was handed out, what is inflated

  const uint32_t* lit;
  const uint32_t* dist;
  uint32_t litTable[kLitCapacity];
  uint32_t distTable[kDistCapacity];
  uint32_t fixedLit[kLitCapacity];
  uint32_t fixedDist[kDistCapacity];

  unsigned char in[kInSize];
  unsigned char out[kSpanEnd + kSlack];
};

namespace {

// Keeps the unread input and appends what the source gives, up to half a buffer at least.
void PullInput(Inflater* f) {
  if (f->ended)
    return;
  const size_t keep = f->inEnd - f->inPos;
  memmove(f->in, f->in + f->inPos, keep);
  f->inPos = 0;
  f->inEnd = keep;
  while (f->inEnd < kInSize / 2) {
    const size_t n = f->source(f->context, f->in + f->inEnd, kInSize - f->inEnd);
    if (n == 0) {
      f->ended = 1;
      break;
    }
    f->inEnd += n;
  }
}

// At least n (at most 57) bits in f->bits; behind the input's end they are zeros, which
// Overrun() then tells.
void NeedBits(Inflater* f, unsigned n) {
  while (f->count < n) {
    if (f->inPos == f->inEnd)
      PullInput(f);
    uint64_t byte = 0;
    if (f->inPos < f->inEnd)
      byte = f->in[f->inPos++];
    else
      ++f->phantom;
    f->bits |= byte << f->count;
    f->count += 8;
  }
}

int Overrun(const Inflater* f) { return f->phantom * 8 > f->count; }

unsigned TakeBits(Inflater* f, unsigned n) {
  const unsigned v = static_cast<unsigned>(f->bits & ((uint64_t{1} << n) - 1));
  f->bits >>= n;
  f->count -= n;
  return v;
}

// The entry of the code at the bottom of bits (15 of them at least), a subtable followed, its
// code's bits taken.
inline uint32_t Lookup(const uint32_t* table, unsigned rootBits, uint64_t* bits, unsigned* count) {
  uint32_t e = table[*bits & ((1u << rootBits) - 1)];
  if (e & kSubtable) {
    *bits >>= rootBits;
    *count -= rootBits;
    e = table[(e >> 16) + (*bits & ((1u << ((e >> 8) & 0xFF)) - 1))];
  }
  *bits >>= e & 31;
  *count -= e & 31;
  return e;
}

// An entry's value plus its extra bits, taken from bits.
inline unsigned WithExtra(uint32_t e, uint64_t* bits, unsigned* count) {
  const unsigned extra = (e >> 8) & 0xFF;
  const unsigned value = (e >> 16) + static_cast<unsigned>(*bits & ((1u << extra) - 1));
  *bits >>= extra;
  *count -= extra;
  return value;
}

// One symbol's entry, its code's bits taken.
uint32_t Decode(Inflater* f, const uint32_t* table, unsigned rootBits) {
  NeedBits(f, 15);
  return Lookup(table, rootBits, &f->bits, &f->count);
}

int ReadDynamicTables(Inflater* f) {
  NeedBits(f, 14);
  const int lits = 257 + static_cast<int>(TakeBits(f, 5));
  const int dists = 1 + static_cast<int>(TakeBits(f, 5));
  const int lengthCodes = 4 + static_cast<int>(TakeBits(f, 4));
  if (lits > 286 || dists > 30)
    return 0;
  uint8_t codeLengths[19] = {};
  for (int i = 0; i < lengthCodes; ++i) {
    NeedBits(f, 3);
    codeLengths[kLengthCodeOrder[i]] = static_cast<uint8_t>(TakeBits(f, 3));
  }
  uint32_t lengthTable[1 << kLengthCodeBits];
  if (!BuildTable(codeLengths, 19, LengthCodeEntry, kLengthCodeBits, 0, lengthTable,
                  1 << kLengthCodeBits))
    return 0;

  uint8_t lengths[286 + 30];
  const int total = lits + dists;
  for (int i = 0; i < total;) {
    const unsigned symbol = Decode(f, lengthTable, kLengthCodeBits) >> 16;
    if (symbol < 16) {
      lengths[i++] = static_cast<uint8_t>(symbol);
      continue;
    }
    uint8_t value = 0;
    unsigned repeat;
    NeedBits(f, 7);
    if (symbol == 16) {
      if (i == 0)
        return 0;
      value = lengths[i - 1];
      repeat = 3 + TakeBits(f, 2);
    } else if (symbol == 17) {
      repeat = 3 + TakeBits(f, 3);
    } else {
      repeat = 11 + TakeBits(f, 7);
    }
    if (i + static_cast<int>(repeat) > total)
      return 0;
    memset(lengths + i, value, repeat);
    i += static_cast<int>(repeat);
  }
  if (Overrun(f) || lengths[256] == 0)
    return 0;
  if (!BuildTable(lengths, lits, LitEntry, kLitBits, 1, f->litTable, kLitCapacity) ||
      !BuildTable(lengths + lits, dists, DistEntry, kDistBits, 1, f->distTable, kDistCapacity))
    return 0;
  f->lit = f->litTable;
  f->dist = f->distTable;
  return 1;
}

int ReadBlockHeader(Inflater* f) {
  NeedBits(f, 3);
  f->lastBlock = static_cast<int>(TakeBits(f, 1));
  switch (TakeBits(f, 2)) {
  case 0: {
    TakeBits(f, f->count & 7);
    NeedBits(f, 32);
    const unsigned length = TakeBits(f, 16), complement = TakeBits(f, 16);
    if (length != (~complement & 0xFFFF))
      return 0;
    f->storedLeft = length;
    f->state = kStored;
    break;
  }
  case 1:
    f->lit = f->fixedLit;
    f->dist = f->fixedDist;
    f->state = kHuffman;
    break;
  case 2:
    if (!ReadDynamicTables(f))
      return 0;
    f->state = kHuffman;
    break;
  default:
    return 0;
  }
  return !Overrun(f);
}

// Copies a stored block's bytes: first whole bytes still held as bits, then the input's.
int CopyStored(Inflater* f) {
  while (f->storedLeft > 0 && f->count >= 8 && f->writePos < kSpanEnd) {
    f->out[f->writePos++] = static_cast<unsigned char>(TakeBits(f, 8));
    --f->storedLeft;
  }
  if (Overrun(f))
    return 0;
  if (f->count == 0) {
    f->bits = 0; // drop input bytes read ahead into the bits; they are read again below
    f->phantom = 0;
  }
  while (f->storedLeft > 0 && f->writePos < kSpanEnd) {
    if (f->inPos == f->inEnd) {
      PullInput(f);
      if (f->inPos == f->inEnd)
        return 0;
    }
    size_t n = f->inEnd - f->inPos;
    if (n > f->storedLeft)
      n = f->storedLeft;
    if (n > kSpanEnd - f->writePos)
      n = kSpanEnd - f->writePos;
    memcpy(f->out + f->writePos, f->in + f->inPos, n);
    f->inPos += n;
    f->writePos += n;
    f->storedLeft -= n;
  }
  if (f->storedLeft == 0)
    f->state = kNeedHeader;
  return 1;
}

inline void CopyMatch(unsigned char* to, size_t distance, unsigned length) {
  const unsigned char* from = to - distance;
  if (distance >= 8) {
    // 8 bytes at a time, overrunning into the slack behind the span.
    for (unsigned i = 0; i < length; i += 8)
      memcpy(to + i, from + i, 8);
  } else if (distance == 1) {
    memset(to, *from, length);
  } else {
    for (unsigned i = 0; i < length; ++i)
      to[i] = from[i];
  }
}

inline uint64_t Load64(const unsigned char* p) {
  uint64_t v;
  memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  return v;
}

// Symbols while at least 8 input bytes remain and the span has room: one refill gives 56
// bits or more, enough for a length and distance with their extra bits. Returns 0 on damage.
int FastSymbols(Inflater* f) {
  uint64_t bits = f->bits;
  unsigned count = f->count;
  size_t inPos = f->inPos, writePos = f->writePos;
  const size_t inLimit = f->inEnd - 8;
  const unsigned char* const in = f->in;
  unsigned char* const out = f->out;
  const uint32_t* const lit = f->lit;
  const uint32_t* const dist = f->dist;
  int ok = 1;
  while (inPos <= inLimit && writePos < kSpanEnd) {
    bits |= Load64(in + inPos) << count;
    inPos += (63 - count) >> 3;
    count |= 56;

    uint32_t e = Lookup(lit, kLitBits, &bits, &count);
    if (e & kLiteral) {
      out[writePos++] = static_cast<unsigned char>(e >> 16);
      continue;
    }
    if (e & kSpecial) {
      if ((e >> 16) == 0)
        f->state = kNeedHeader;
      else
        ok = 0;
      break;
    }
    const unsigned length = WithExtra(e, &bits, &count);
    e = Lookup(dist, kDistBits, &bits, &count);
    const size_t distance = WithExtra(e, &bits, &count);
    if ((e & kSpecial) || distance > writePos) {
      ok = 0;
      break;
    }
    CopyMatch(out + writePos, distance, length);
    writePos += length;
  }
  f->bits = bits;
  f->count = count;
  f->inPos = inPos;
  f->writePos = writePos;
  return ok;
}

// One symbol, bit by bit, near the input's end.
int SlowSymbol(Inflater* f) {
  uint32_t e = Decode(f, f->lit, kLitBits);
  if (e & kLiteral) {
    f->out[f->writePos++] = static_cast<unsigned char>(e >> 16);
    return !Overrun(f);
  }
  if (e & kSpecial) {
    if ((e >> 16) != 0)
      return 0;
    f->state = kNeedHeader;
    return !Overrun(f);
  }
  NeedBits(f, 5);
  const unsigned length = WithExtra(e, &f->bits, &f->count);
  e = Decode(f, f->dist, kDistBits);
  if (e & kSpecial)
    return 0;
  NeedBits(f, 13);
  const size_t distance = WithExtra(e, &f->bits, &f->count);
  if (Overrun(f) || distance > f->writePos)
    return 0;
  CopyMatch(f->out + f->writePos, distance, length);
  f->writePos += length;
  return 1;
}

int ReadZlibHeader(Inflater* f) {
  NeedBits(f, 16);
  const unsigned cmf = TakeBits(f, 8), flags = TakeBits(f, 8);
  return !Overrun(f) && (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && (flags & 0x20) == 0 &&
         ((cmf << 8) | flags) % 31 == 0;
}

// Inflates until the span is full or the stream ends.
int InflateSpan(Inflater* f) {
  while (f->writePos < kSpanEnd) {
    switch (f->state) {
    case kDone:
      return 1;
    case kZlibHeader:
      if (!ReadZlibHeader(f))
        return 0;
      f->state = kNeedHeader;
      break;
    case kNeedHeader:
      if (f->lastBlock) {
        f->state = kDone;
        return 1;
      }
      if (!ReadBlockHeader(f))
        return 0;
      break;
    case kStored:
      if (!CopyStored(f))
        return 0;
      break;
    case kHuffman:
      if (f->inEnd - f->inPos < 8)
        PullInput(f);
      if (!(f->inEnd - f->inPos >= 8 ? FastSymbols(f) : SlowSymbol(f)))
        return 0;
      break;
    }
  }
  return 1;
}

} // namespace

Inflater* StartInflater(InflateSource source, void* context) {
  Inflater* const f = static_cast<Inflater*>(malloc(sizeof(Inflater)));
  if (f == nullptr)
    return nullptr;
  f->source = source;
  f->context = context;
  f->ended = 0;
  f->failed = 0;
  f->state = kZlibHeader;
  f->lastBlock = 0;
  f->storedLeft = 0;
  f->bits = 0;
  f->count = 0;
  f->phantom = 0;
  f->inPos = f->inEnd = 0;
  f->readPos = f->writePos = 0;
  uint8_t lengths[288];
  memset(lengths, 8, 144);
  memset(lengths + 144, 9, 112);
  memset(lengths + 256, 7, 24);
  memset(lengths + 280, 8, 8);
  BuildTable(lengths, 288, LitEntry, kLitBits, 0, f->fixedLit, kLitCapacity);
  memset(lengths, 5, 32);
  BuildTable(lengths, 32, DistEntry, kDistBits, 0, f->fixedDist, kDistCapacity);
  f->lit = f->fixedLit;
  f->dist = f->fixedDist;
  return f;
}

int InflateExactly(Inflater* f, unsigned char* out, size_t length) {
  if (f->failed)
    return 0;
  while (length > 0) {
    const size_t ready = f->writePos - f->readPos;
    if (ready > 0) {
      const size_t n = ready < length ? ready : length;
      memcpy(out, f->out + f->readPos, n);
      f->readPos += n;
      out += n;
      length -= n;
      continue;
    }
    if (f->state == kDone) {
      f->failed = 1;
      return 0;
    }
    if (f->writePos >= kSpanEnd) {
      memmove(f->out, f->out + f->writePos - kHistory, kHistory);
      f->readPos = f->writePos = kHistory;
    }
    if (!InflateSpan(f)) {
      f->failed = 1;
      return 0;
    }
  }
  return 1;
}

void EndInflater(Inflater* f) { free(f); }
