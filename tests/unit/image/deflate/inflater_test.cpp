// The PNG reader's own inflater: every kind of deflate stream zlib and libdeflate write, fed and
// read in uneven pieces; damaged and cut streams refused as zlib refuses them.
#include "image/deflate/inflater.h"

#include "tests/unit/image/image_test_support.h"

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

using namespace imgtest;

namespace {

struct Feed {
  const Bytes* stream;
  size_t pos;
  size_t piece; // bytes handed per call at most
};

size_t FeedPiece(void* context, unsigned char* buffer, size_t capacity) {
  Feed& f = *static_cast<Feed*>(context);
  size_t n = std::min({capacity, f.piece, f.stream->size() - f.pos});
  memcpy(buffer, f.stream->data() + f.pos, n);
  f.pos += n;
  return n;
}

// Inflates stream in reads of `read` bytes until length bytes; then one byte more, which must
// fail. Returns the bytes, or an empty vector when a read failed.
Bytes InflateAll(const Bytes& stream, size_t length, size_t piece, size_t read) {
  Feed feed = {&stream, 0, piece};
  Inflater* f = StartInflater(FeedPiece, &feed);
  Bytes out(length);
  bool ok = true;
  for (size_t done = 0; ok && done < length; done += read)
    ok = InflateExactly(f, out.data() + done, std::min(read, length - done)) == 1;
  unsigned char beyond;
  if (ok && InflateExactly(f, &beyond, 1) != 0)
    ADD_FAILURE() << "data beyond the stream's end";
  EndInflater(f);
  return ok ? out : Bytes();
}

Bytes Zlib(const Bytes& data, int level, int strategy) {
  z_stream z = {};
  deflateInit2(&z, level, Z_DEFLATED, 15, 9, strategy);
  Bytes out(data.size() + data.size() / 2 + 1024);
  z.next_in = const_cast<unsigned char*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

Bytes Libdeflate(const Bytes& data, int level) {
  libdeflate_compressor* c = libdeflate_alloc_compressor(level);
  Bytes out(libdeflate_zlib_compress_bound(c, data.size()));
  out.resize(libdeflate_zlib_compress(c, data.data(), data.size(), out.data(), out.size()));
  libdeflate_free_compressor(c);
  return out;
}

// Noise, text-like runs, PNG-like rows (near repeats 3 and 4 back), one byte repeated.
Bytes Data(int kind, size_t length) {
  Bytes b(length);
  uint32_t seed = 12345;
  for (size_t i = 0; i < length; ++i) {
    seed = seed * 1664525u + 1013904223u;
    switch (kind) {
    case 0:
      b[i] = static_cast<unsigned char>(seed >> 24);
      break;
    case 1:
      b[i] = static_cast<unsigned char>("the quick brown fox "[(i + (seed >> 28)) % 20]);
      break;
    case 2:
      b[i] = static_cast<unsigned char>(i >= 4 && (seed >> 29) != 0 ? b[i - 3 - (seed >> 31)]
                                                                    : seed >> 20);
      break;
    default:
      b[i] = 'q';
    }
  }
  return b;
}

// What zlib makes of a zlib stream: its output and whether the stream ended well (the
// Adler-32 aside, which the inflater does not check).
bool ZlibInflate(const Bytes& stream, Bytes* out) {
  out->clear();
  if (stream.size() < 2)
    return false;
  const unsigned cmf = stream[0], flags = stream[1];
  const bool header =
      (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && (flags & 0x20) == 0 && ((cmf << 8) | flags) % 31 == 0;
  z_stream z = {};
  inflateInit2(&z, -15);
  z.next_in = const_cast<unsigned char*>(stream.data() + 2);
  z.avail_in = static_cast<uInt>(stream.size() - 2);
  int status = Z_OK;
  unsigned char buffer[4096];
  while (header && status == Z_OK) {
    z.next_out = buffer;
    z.avail_out = sizeof buffer;
    status = inflate(&z, Z_NO_FLUSH);
    out->insert(out->end(), buffer, buffer + (sizeof buffer - z.avail_out));
  }
  inflateEnd(&z);
  return header && status == Z_STREAM_END;
}

// The inflater agrees with zlib: a stream zlib reads whole gives the same bytes, and no byte
// beyond what zlib could read comes out of one it refuses.
void ExpectAgreesWithZlib(const Bytes& stream, const std::string& what) {
  Bytes expected;
  const bool whole = ZlibInflate(stream, &expected);
  if (whole) {
    EXPECT_EQ(InflateAll(stream, expected.size(), 1000, 777), expected) << what;
    return;
  }
  Feed feed = {&stream, 0, 333};
  Inflater* f = StartInflater(FeedPiece, &feed);
  Bytes out(expected.size() + 1);
  EXPECT_EQ(InflateExactly(f, out.data(), out.size()), 0) << what;
  EndInflater(f);
}

TEST(Inflater, ReadsEveryKindOfStreamInAnyPieces) {
  const size_t lengths[] = {1, 1000, 300000, 700001};
  for (int kind = 0; kind < 4; ++kind)
    for (size_t length : lengths) {
      const Bytes data = Data(kind, length);
      std::vector<std::pair<std::string, Bytes>> streams = {
          {"zlib 0", Zlib(data, 0, Z_DEFAULT_STRATEGY)},
          {"zlib 1", Zlib(data, 1, Z_DEFAULT_STRATEGY)},
          {"zlib 9 filtered", Zlib(data, 9, Z_FILTERED)},
          {"zlib huffman only", Zlib(data, 6, Z_HUFFMAN_ONLY)},
          {"zlib rle", Zlib(data, 6, Z_RLE)},
          {"zlib fixed", Zlib(data, 6, Z_FIXED)},
          {"libdeflate 1", Libdeflate(data, 1)},
          {"libdeflate 12", Libdeflate(data, 12)},
      };
      for (const auto& s : streams) {
        const std::string what =
            s.first + ", kind " + std::to_string(kind) + ", " + std::to_string(length) + " bytes";
        EXPECT_EQ(InflateAll(s.second, length, 1, 1 + length / 3), data) << what;
        EXPECT_EQ(InflateAll(s.second, length, 65536, 12001), data) << what;
        EXPECT_EQ(InflateAll(s.second, length, 7, 1), data) << what;
      }
    }
}

TEST(Inflater, RefusesDamagedHeadersAndBlocks) {
  const Bytes good = Zlib(Data(2, 5000), 9, Z_DEFAULT_STRATEGY); // one dynamic block
  ASSERT_EQ((good[2] >> 1) & 3, 2);
  const struct Case {
    const char* what;
    unsigned char cmf, flags; // the header check bits are made right unless check is set
    bool check;
    size_t at; // and one byte of the first block's header ORed with mask
    unsigned char mask;
  } cases[] = {
      {"method 7", 0x77, 0xC0, false, 2, 0},
      {"window of 64 KB", 0x88, 0xC0, false, 2, 0},
      {"preset dictionary", 0x78, 0xE0, false, 2, 0},
      {"header check", 0x78, 0xC0, true, 2, 0},
      {"block type 3", 0x78, 0xC0, false, 2, 0x06},
      {"288 literal/length codes", 0x78, 0xC0, false, 2, 0xF8},
      {"32 distance codes", 0x78, 0xC0, false, 3, 0x1F},
  };
  for (const Case& c : cases) {
    Bytes bad = good;
    bad[0] = c.cmf;
    bad[1] = static_cast<unsigned char>(c.flags + (31 - (c.cmf << 8 | c.flags) % 31) % 31);
    bad[1] = static_cast<unsigned char>(bad[1] ^ (c.check ? 1 : 0));
    bad[c.at] |= c.mask;
    EXPECT_TRUE(InflateAll(bad, 5000, 100, 5000).empty()) << c.what;
  }
  for (size_t cut = 0; cut + 4 < good.size(); ++cut)
    ExpectAgreesWithZlib(Bytes(good.begin(), good.begin() + cut), "cut at " + std::to_string(cut));
  // Only the Adler-32 missing: all the data is there.
  EXPECT_EQ(InflateAll(Bytes(good.begin(), good.end() - 4), 5000, 100, 5000), Data(2, 5000));
}

// Hand-made fixed-code blocks: codes go first bit highest, extra bits lowest first.
struct Bits {
  Bits() {
    bytes.push_back(0x78);
    bytes.push_back(0x9C);
  }
  Bytes bytes;
  unsigned count = 0;
  void Put(unsigned value, unsigned n) {
    for (unsigned i = 0; i < n; ++i, ++count) {
      if (count % 8 == 0)
        bytes.push_back(0);
      bytes.back() |= static_cast<unsigned char>(((value >> i) & 1) << (count % 8));
    }
  }
  void Code(unsigned code, unsigned n) {
    for (unsigned i = n; i-- > 0;)
      Put(code >> i, 1);
  }
  void Lit(unsigned symbol) { // literal/length symbols below 280
    if (symbol < 144)
      Code(0x30 + symbol, 8);
    else if (symbol < 256)
      Code(0x190 + symbol - 144, 9);
    else
      Code(symbol - 256, 7);
  }
};

TEST(Inflater, RefusesMatchesBeforeTheStartAndCodesNoStreamMayUse) {
  const struct Case {
    const char* what;
    unsigned distanceCode; // after the literal 'a', a match of 3 at this distance code
    unsigned lengthSymbol;
    bool good;
  } cases[] = {
      {"distance 1", 0, 257, true},
      {"distance 2 after one byte", 1, 257, false},
      {"distance code 30", 30, 257, false},
      {"length symbol 286", 0, 286, false},
  };
  for (const Case& c : cases) {
    Bits b;
    b.Put(1, 1); // last block
    b.Put(1, 2); // fixed codes
    b.Lit('a');
    if (c.lengthSymbol < 280)
      b.Lit(c.lengthSymbol);
    else
      b.Code(0xC0 + c.lengthSymbol - 280, 8);
    b.Code(c.distanceCode, 5);
    b.Lit(256);
    const Bytes out = InflateAll(b.bytes, 4, 100, 4);
    EXPECT_EQ(out, c.good ? Bytes(4, 'a') : Bytes()) << c.what;
  }
  // A stored block whose length and its complement disagree.
  Bits s;
  s.Put(1, 3);
  s.bytes.insert(s.bytes.end(), {3, 0, 0xFC, 0xFE, 'x', 'y', 'z'});
  EXPECT_TRUE(InflateAll(s.bytes, 3, 100, 3).empty());
  s.bytes[6] = 0xFF;
  EXPECT_EQ(InflateAll(s.bytes, 3, 100, 3), Bytes({'x', 'y', 'z'}));
}

TEST(Inflater, DamagedStreamsAgreeWithZlib) {
  uint32_t seed = 99;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  const Bytes sources[] = {Zlib(Data(2, 3000), 9, Z_DEFAULT_STRATEGY),
                           Zlib(Data(1, 3000), 1, Z_FIXED), Libdeflate(Data(0, 300), 12),
                           Zlib(Data(3, 2000), 6, Z_RLE)};
  for (const Bytes& source : sources)
    for (int round = 0; round < 1500; ++round) {
      Bytes s = source;
      const int changes = 1 + static_cast<int>(next() % 4);
      for (int k = 0; k < changes; ++k) {
        const size_t at = 2 + next() % (s.size() - 2);
        if (next() % 2)
          s[at] ^= static_cast<unsigned char>(1u << (next() % 8));
        else
          s[at] = static_cast<unsigned char>(next());
      }
      ExpectAgreesWithZlib(s, "round " + std::to_string(round));
    }
}

} // namespace
