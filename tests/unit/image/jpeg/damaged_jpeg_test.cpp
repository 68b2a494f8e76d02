// Damaged and hostile JPEG files: each made here from a sound one, checked with the JPEG
// library on its own for the warning it raises, then converted in every way.
#include "image/convert/convert_image.h"
#include "image/jpeg/jpeg_codec.h"
#include "image/jpeg/jpeg_guard.h"
#include "image/jpeg/jpeg_warnings.h"
#include "tests/unit/image/image_test_support.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <functional>
#include <set>

#include <jerror.h>
#include <jpeglib.h>

using namespace imgtest;

namespace {

// ----- sound files, written by the library itself

struct JpegOptions {
  int width = 96;
  int height = 64;
  bool gray = false;
  bool flat = false; // one value everywhere, else a gently varying picture
  bool progressive = false;
  bool arithmetic = false;
  bool optimize = false;
  int restartRows = 0;
  const jpeg_scan_info* scans = nullptr; // a script of one's own
  int scanCount = 0;
};

Bytes MakeJpeg(const JpegOptions& o) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  jpeg_mem_dest(&c, &out, &outSize);
  c.image_width = static_cast<JDIMENSION>(o.width);
  c.image_height = static_cast<JDIMENSION>(o.height);
  c.input_components = o.gray ? 1 : 3;
  c.in_color_space = o.gray ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  if (o.progressive)
    jpeg_simple_progression(&c);
  if (o.scans != nullptr) {
    c.scan_info = o.scans;
    c.num_scans = o.scanCount;
  }
  c.arith_code = o.arithmetic ? TRUE : FALSE;
  c.optimize_coding = o.optimize ? TRUE : FALSE;
  c.restart_in_rows = o.restartRows;
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row(static_cast<size_t>(o.width) * c.input_components);
  while (c.next_scanline < c.image_height) {
    const int y = static_cast<int>(c.next_scanline);
    for (int x = 0; x < o.width; ++x)
      for (int k = 0; k < c.input_components; ++k)
        row[static_cast<size_t>(x) * c.input_components + k] =
            o.flat ? 128 : static_cast<JSAMPLE>((x * 3 + y * 2 + k * 50) & 0xFF);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  Bytes file(out, out + outSize);
  jpeg_destroy_compress(&c);
  free(out);
  return file;
}

// ----- the library's own account of a file: the warnings it raises while decoding all of it

struct Probe {
  jpeg_error_mgr pub;
  jmp_buf jump;
  std::set<int> warnings;
};

void ProbeWarning(j_common_ptr cinfo, int level) {
  if (level < 0)
    reinterpret_cast<Probe*>(cinfo->err)->warnings.insert(cinfo->err->msg_code);
}

void ProbeFatal(j_common_ptr cinfo) { longjmp(reinterpret_cast<Probe*>(cinfo->err)->jump, 1); }

// The warnings; -1 among them when the library gave up with a fatal error.
std::set<int> LibraryWarnings(const Bytes& f) {
  jpeg_decompress_struct d;
  Probe probe;
  d.err = jpeg_std_error(&probe.pub);
  probe.pub.emit_message = ProbeWarning;
  probe.pub.error_exit = ProbeFatal;
  jpeg_create_decompress(&d);
  if (setjmp(probe.jump) != 0) {
    jpeg_destroy_decompress(&d);
    probe.warnings.insert(-1);
    return probe.warnings;
  }
  jpeg_mem_src(&d, f.data(), static_cast<unsigned long>(f.size()));
  jpeg_read_header(&d, TRUE);
  jpeg_start_decompress(&d);
  std::vector<JSAMPLE> row(static_cast<size_t>(d.output_width) * d.output_components);
  JSAMPROW rows[1] = {row.data()};
  while (d.output_scanline < d.output_height)
    jpeg_read_scanlines(&d, rows, 1);
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return probe.warnings;
}

// ----- where things are in a file

// Offset of the first marker 0xFF code among the segments before the entropy data, or 0.
size_t FindMarker(const Bytes& f, int code) {
  size_t at = 2;
  while (at + 4 <= f.size() && f[at] == 0xFF) {
    if (f[at + 1] == code)
      return at;
    if (f[at + 1] == 0xDA)
      return 0;
    at += 2 + ((f[at + 2] << 8) | f[at + 3]);
  }
  return 0;
}

// One scan: its header's offset, and where its entropy data begins and ends.
struct Scan {
  size_t header, data, end;
};

std::vector<Scan> Scans(const Bytes& f) {
  std::vector<Scan> scans;
  size_t at = 2;
  while (at + 4 <= f.size() && f[at] == 0xFF && f[at + 1] != 0xD9) {
    const size_t segmentEnd = at + 2 + ((f[at + 2] << 8) | f[at + 3]);
    if (f[at + 1] != 0xDA) {
      at = segmentEnd;
      continue;
    }
    size_t p = segmentEnd; // entropy data up to a marker that is neither stuffing nor RSTn
    while (p + 1 < f.size() &&
           !(f[p] == 0xFF && f[p + 1] != 0x00 && (f[p + 1] < 0xD0 || f[p + 1] > 0xD7)))
      ++p;
    scans.push_back({at, segmentEnd, p});
    at = p;
  }
  return scans;
}

Bytes Cat(const Bytes& a, const Bytes& b) {
  Bytes out = a;
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

Bytes Slice(const Bytes& f, size_t from, size_t to) {
  return Bytes(f.begin() + from, f.begin() + to);
}

// ----- the damage

Bytes CutAtHalf() {
  const Bytes f = MakeJpeg({});
  return Slice(f, 0, f.size() / 2);
}

// The entropy data stops half way, and the file ends properly after it.
Bytes DataEndsAtAMarker() {
  const Bytes f = MakeJpeg({});
  const Scan s = Scans(f).at(0);
  return Cat(Slice(f, 0, s.data + (s.end - s.data) / 2), {0xFF, 0xD9});
}

// A stretch of one bits (0xFF, stuffed) in the middle: no Huffman table has such a code.
Bytes OneBitsInTheData() {
  Bytes f = MakeJpeg({});
  const Scan s = Scans(f).at(0);
  size_t at = s.data + (s.end - s.data) / 2;
  while (f[at - 1] == 0xFF)
    ++at;
  for (int i = 0; i < 16; ++i) {
    f[at + 2 * i] = 0xFF;
    f[at + 2 * i + 1] = 0x00;
  }
  return f;
}

// A restart interval is declared but the data holds no restart markers.
Bytes RestartIntervalWithoutMarkers() {
  const Bytes f = MakeJpeg({});
  const size_t sos = Scans(f).at(0).header;
  return Cat(Cat(Slice(f, 0, sos), {0xFF, 0xDD, 0x00, 0x04, 0x00, 0x02}), Slice(f, sos, f.size()));
}

// One restart marker of a file that has them is gone: the decoder loses sync.
Bytes RestartMarkerLost() {
  JpegOptions o;
  o.restartRows = 1;
  Bytes f = MakeJpeg(o);
  const Scan s = Scans(f).at(0);
  int seen = 0;
  for (size_t p = s.data; p + 1 < s.end; ++p)
    if (f[p] == 0xFF && f[p + 1] >= 0xD0 && f[p + 1] <= 0xD7 && ++seen == 2) {
      f.erase(f.begin() + p, f.begin() + p + 2);
      break;
    }
  return f;
}

// Arithmetic-coded data overwritten in its middle by 40 bytes of alternating bits.
Bytes ArithmeticDataGarbled() {
  JpegOptions o;
  o.arithmetic = true;
  Bytes f = MakeJpeg(o);
  const Scan s = Scans(f).at(0);
  const size_t middle = s.data + (s.end - s.data) / 2;
  std::fill(f.begin() + middle, f.begin() + middle + 40, 0xAA);
  return f;
}

// A progressive file whose last scan, a refinement, comes twice: the second refines bits
// that were never sent.
Bytes RefinementScanTwice() {
  JpegOptions o;
  o.progressive = true;
  const Bytes f = MakeJpeg(o);
  const Scan last = Scans(f).back();
  return Cat(Slice(f, 0, last.end), Slice(f, last.header, f.size()));
}

// Three bytes of garbage between two segments: skipped by the library.
Bytes ExtraneousBytesBeforeAMarker() {
  const Bytes f = MakeJpeg({});
  const size_t sos = Scans(f).at(0).header;
  return Cat(Cat(Slice(f, 0, sos), {0x12, 0x34, 0x56}), Slice(f, sos, f.size()));
}

// An application segment no reader knows, right after the start of the file.
Bytes UnknownSegment() {
  const Bytes f = MakeJpeg({});
  Bytes segment = {0xFF, 0xEB, 0x00, 0x10};
  for (int i = 0; i < 14; ++i)
    segment.push_back(static_cast<unsigned char>(i * 37));
  return Cat(Cat(Slice(f, 0, 2), segment), Slice(f, 2, f.size()));
}

Bytes JfifFromTheFuture() {
  Bytes f = MakeJpeg({});
  const size_t app0 = FindMarker(f, 0xE0);
  f.at(app0 + 9) = 2; // "JFIF\0" then the major version
  return f;
}

// A gray progressive file of count scans: its DC scan, its AC scan, and the AC scan again
// and again (each overwriting the same coefficients, which the library takes quietly).
Bytes ScansInAll(int count, int width = 64, int height = 64) {
  static const jpeg_scan_info kScript[] = {{1, {0}, 0, 0, 0, 0}, {1, {0}, 1, 63, 0, 0}};
  JpegOptions o;
  o.gray = true;
  o.width = width;
  o.height = height;
  o.scans = kScript;
  o.scanCount = 2;
  const Bytes f = MakeJpeg(o);
  const std::vector<Scan> scans = Scans(f);
  const Bytes ac = Slice(f, scans.at(1).header, scans.at(1).end);
  Bytes out = Slice(f, 0, scans.at(1).end);
  for (int i = 2; i < count; ++i)
    out.insert(out.end(), ac.begin(), ac.end());
  out.insert(out.end(), f.begin() + scans.at(1).end, f.end());
  return out;
}

// A whole gray baseline file by hand, 161 bytes by default: 20000 x 20000 pixels claimed,
// and tables of one one-bit code each (DC difference 0, end of block): 2 bits a block.
Bytes GiantHeader(size_t dataBytes = 21) {
  Bytes f = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x0B, 8,    0x4E, 0x20, 0x4E,
             0x20, 1,    1,    0x11, 0,    0xFF, 0xDB, 0x00, 0x43, 0};
  for (int i = 0; i < 64; ++i)
    f.push_back(1);
  for (int table = 0; table < 2; ++table) {
    const unsigned char head[] = {0xFF, 0xC4, 0x00, 0x14, static_cast<unsigned char>(table << 4),
                                  1};
    f.insert(f.end(), head, head + sizeof head);
    f.insert(f.end(), 15, 0);
    f.push_back(0); // the one symbol: category 0, or end of block
  }
  const unsigned char sos[] = {0xFF, 0xDA, 0x00, 0x08, 1, 1, 0x00, 0, 63, 0};
  f.insert(f.end(), sos, sos + sizeof sos);
  f.insert(f.end(), dataBytes, 0);
  f.push_back(0xFF);
  f.push_back(0xD9);
  return f;
}

// ----- the table

struct DamageCase {
  const char* name;
  std::function<Bytes()> make;
  int warning; // the library's warning this file raises; -2 none at all
  bool refused;
};

const DamageCase kCases[] = {
    {"cut at half", CutAtHalf, JWRN_JPEG_EOF, true},
    {"data ends at a marker", DataEndsAtAMarker, JWRN_HIT_MARKER, true},
    {"one bits in the data", OneBitsInTheData, JWRN_HUFF_BAD_CODE, true},
    {"restart interval without markers", RestartIntervalWithoutMarkers, JWRN_MUST_RESYNC, true},
    {"restart marker lost", RestartMarkerLost, JWRN_MUST_RESYNC, true},
    {"arithmetic data garbled", ArithmeticDataGarbled, JWRN_ARITH_BAD_CODE, true},
    {"refinement scan twice", RefinementScanTwice, JWRN_BOGUS_PROGRESSION, true},
    {"scans beyond the limit", [] { return ScansInAll(kMaxJpegScans + 1); }, -2, true},
    {"5000 scans", [] { return ScansInAll(5000); }, -2, true},
    {"giant header", [] { return GiantHeader(); }, JWRN_HIT_MARKER, true},
    {"extraneous bytes before a marker", ExtraneousBytesBeforeAMarker, JWRN_EXTRANEOUS_DATA, false},
    {"unknown segment", UnknownSegment, -2, false},
    {"JFIF from the future", JfifFromTheFuture, JWRN_JFIF_MAJOR, false},
    {"scans up to the limit", [] { return ScansInAll(kMaxJpegScans); }, -2, false},
};

// The names in the folder of path.
std::set<std::string> Names(const std::string& path) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(fs::path(path).parent_path()))
    names.insert(e.path().filename().string());
  return names;
}

TEST(DamagedJpeg, EachFileIsRefusedOrConvertsAsItsWarningSays) {
  TempDir dir;
  for (const DamageCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const Bytes f = c.make();
    // The file is what its name says: the library alone raises that warning, and no fatal error.
    const std::set<int> warnings = LibraryWarnings(f);
    EXPECT_EQ(warnings.count(-1), 0u);
    if (c.warning == -2) {
      EXPECT_TRUE(warnings.empty());
    } else {
      EXPECT_EQ(warnings.count(c.warning), 1u);
      EXPECT_EQ(JpegWarningRefusal(c.warning) != nullptr, c.refused);
    }

    const std::string source = dir.File("picture.jpg");
    for (int target : {kImagePng, kImageBmp, kImageJpeg}) {
      WriteFile(source, f);
      const std::string out = target == kImageJpeg
                                  ? source // onto itself
                                  : dir.File(target == kImagePng ? "picture.png" : "picture.bmp");
      const int result = ConvertImage(source.c_str(), out.c_str(), kImageJpeg, target, 80);
      if (c.refused) {
        EXPECT_EQ(result, 1) << "target " << target;
        EXPECT_EQ(ReadFile(source), f) << "target " << target;
        EXPECT_EQ(Names(source), std::set<std::string>{"picture.jpg"}) << "target " << target;
      } else {
        EXPECT_EQ(result, 0) << "target " << target;
        fs::remove(dir.File("picture.png"));
        fs::remove(dir.File("picture.bmp"));
      }
    }
  }
}

// What a harmless warning leaves is the picture the file holds: the same as without it.
TEST(DamagedJpeg, HarmlessWarningsLeaveThePictureAsItIs) {
  TempDir dir;
  const std::string sound = dir.File("sound.jpg");
  WriteFile(sound, MakeJpeg({}));
  Image expected;
  ASSERT_EQ(ReadJpeg(sound.c_str(), &expected.b), 1);
  for (const DamageCase& c : kCases) {
    if (c.refused || c.name == std::string("scans up to the limit"))
      continue;
    SCOPED_TRACE(c.name);
    const std::string path = dir.File("warned.jpg");
    WriteFile(path, c.make());
    Image image;
    ASSERT_EQ(ReadJpeg(path.c_str(), &image.b), 1);
    EXPECT_TRUE(SameImage(expected.b, image.b));
  }
}

// ----- the floor of bits per block

// jpeg_read_header on the bytes, then the floor's verdict; -1 when the header is not read.
int FloorVerdict(const Bytes& f) {
  jpeg_decompress_struct d;
  Probe probe;
  d.err = jpeg_std_error(&probe.pub);
  probe.pub.emit_message = ProbeWarning;
  probe.pub.error_exit = ProbeFatal;
  jpeg_create_decompress(&d);
  if (setjmp(probe.jump) != 0) {
    jpeg_destroy_decompress(&d);
    return -1;
  }
  jpeg_mem_src(&d, f.data(), static_cast<unsigned long>(f.size()));
  jpeg_read_header(&d, TRUE);
  const int verdict = JpegDataCanHold(&d, static_cast<int64_t>(f.size()));
  jpeg_destroy_decompress(&d);
  return verdict;
}

TEST(DamagedJpeg, HeadersPromisingMoreBlocksThanTheBytesHoldAreRefusedUpFront) {
  // 20000 x 20000 gray: 6,250,000 blocks, at least 2 bits each: 1,562,500 bytes.
  EXPECT_EQ(FloorVerdict(GiantHeader()), 0) << GiantHeader().size() << " bytes";
  EXPECT_EQ(FloorVerdict(GiantHeader(1562500 - 150)), 0);
  EXPECT_EQ(FloorVerdict(GiantHeader(1562500)), 1);
  // Real files at the floor: flat pictures with optimal tables, at 2 bits a block (sequential)
  // and 1 bit a block in the DC scan (progressive); arithmetic coding below a bit a block.
  for (bool progressive : {false, true})
    for (bool arithmetic : {false, true}) {
      JpegOptions o;
      o.width = 2048;
      o.height = 1024;
      o.gray = true;
      o.flat = true;
      o.optimize = !arithmetic; // the arithmetic coder adapts by itself
      o.progressive = progressive;
      o.arithmetic = arithmetic;
      const Bytes f = MakeJpeg(o);
      SCOPED_TRACE(std::string(progressive ? "progressive" : "sequential") +
                   (arithmetic ? " arithmetic" : " Huffman") + ", " + std::to_string(f.size()) +
                   " bytes");
      EXPECT_EQ(FloorVerdict(f), 1);
      TempDir dir;
      WriteFile(dir.File("flat.jpg"), f);
      EXPECT_EQ(ConvertImage(dir.File("flat.jpg").c_str(), dir.File("flat.png").c_str(), kImageJpeg,
                             kImagePng, 80),
                0);
    }
}

// A flat 20000 x 20000 picture is 1.6 GB in memory and half a minute of work: read when asked
// for with QUILLET_BIG_PICTURES=1 and that much memory may be taken.
TEST(DamagedJpeg, AFlatGiantAtTheFloorStillReads) {
  if (std::getenv("QUILLET_BIG_PICTURES") == nullptr)
    GTEST_SKIP() << "set QUILLET_BIG_PICTURES=1 to read a flat 20000 x 20000 picture";
  if (ImagePixelsAffordable(20000, 20000) == 0 || ImagePixelBytes(20000, 20000) == 0)
    GTEST_SKIP() << "not enough memory for a 20000 x 20000 picture";
  JpegOptions o;
  o.width = 20000;
  o.height = 20000;
  o.gray = true;
  o.flat = true;
  o.optimize = true;
  const Bytes f = MakeJpeg(o);
  TempDir dir;
  WriteFile(dir.File("giant.jpg"), f);
  Image image;
  ASSERT_EQ(ReadJpeg(dir.File("giant.jpg").c_str(), &image.b), 1) << f.size() << " bytes";
  EXPECT_EQ(image.b.width, 20000);
  EXPECT_EQ(image.b.pixels[0], 128);
  EXPECT_EQ(image.b.pixels[image.Bytes() - 2], 128);
}

} // namespace
