// The PNG writer's segmented zlib stream: joined segments, pictures at the segment boundaries
// read back by libpng, ImageMagick and pngcheck, and failures that release everything.
#include "image/deflate/zlib_segments.h"
#include "image/png/png_codec.h"

#include "tests/unit/image/image_test_support.h"

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <png.h>
#include <zlib.h>
#ifndef _WIN32
#include <malloc.h>
#include <sys/resource.h>
#endif

using namespace imgtest;

namespace {

struct Pieces {
  std::vector<Bytes> segments;
  Bytes stream;
};

size_t FillPiece(void* context, size_t k, unsigned char* out, unsigned char*) {
  const Bytes& piece = static_cast<Pieces*>(context)->segments[k];
  memcpy(out, piece.data(), piece.size());
  return piece.size();
}

int Collect(void* context, const unsigned char* data, size_t length) {
  Bytes& stream = static_cast<Pieces*>(context)->stream;
  stream.insert(stream.end(), data, data + length);
  return 1;
}

// Noise (stored blocks), runs (long matches) and a gradient, in uneven pieces.
Bytes Piece(size_t length, int kind, uint32_t seed) {
  Bytes b(length);
  for (size_t i = 0; i < length; ++i) {
    seed = seed * 1664525u + 1013904223u;
    b[i] = static_cast<unsigned char>(kind == 0 ? seed >> 24 : kind == 1 ? (i / 977) & 3 : i / 5);
  }
  return b;
}

TEST(ThreadedPngSegments, JoinedStreamInflatesToEverySegmentInOrder) {
  const struct Case {
    std::vector<size_t> lengths;
    std::vector<int> levels;
  } cases[] = {
      {{1}, {10, 6}},
      {{5, 1, 70000, 3}, {10, 6}},
      {{300000, 2, 40000, 123457}, {6}},
      {{2, 2, 2, 2, 2, 2, 2, 2, 2}, {12, 1, 9}},
  };
  for (const Case& c : cases) {
    Pieces pieces;
    Bytes whole;
    for (size_t i = 0; i < c.lengths.size(); ++i) {
      pieces.segments.push_back(Piece(c.lengths[i], static_cast<int>(i % 3), 7 + i));
      whole.insert(whole.end(), pieces.segments.back().begin(), pieces.segments.back().end());
    }
    SegmentedInput input = {c.lengths.size(), *std::max_element(c.lengths.begin(), c.lengths.end()),
                            0, FillPiece, &pieces};
    CallScheduler call;
    ASSERT_EQ(
        WriteZlibInSegments(&input, c.levels.data(), c.levels.size(), Collect, &pieces, call.work),
        kImageOk);
    Bytes back(whole.size() + 1);
    uLongf length = back.size();
    // uncompress also checks the header and the Adler-32 of the whole.
    ASSERT_EQ(uncompress(back.data(), &length, pieces.stream.data(), pieces.stream.size()), Z_OK)
        << c.lengths.size() << " segments";
    back.resize(length);
    EXPECT_TRUE(back == whole) << c.lengths.size() << " segments";
  }
}

TEST(PngSegments, OnlyACompleteStreamIsContinued) {
  const Bytes data = Piece(5000, 1, 3);
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(6);
  Bytes out(6000);
  size_t n = libdeflate_deflate_compress(compressor, data.data(), data.size(), out.data(), 5990);
  libdeflate_free_compressor(compressor);
  ASSERT_GT(n, 4u);
  size_t cut = n - 2;
  EXPECT_EQ(UnfinishDeflateStream(out.data(), &cut), 0);
  EXPECT_EQ(UnfinishDeflateStream(out.data(), &n), 1);
}

// The file's rows as libpng stores them, without any transformation.
bool LibpngRows(const std::string& path, int* colorType, std::vector<Bytes>* rows) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr)
    return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  *colorType = png_get_color_type(png, info);
  rows->assign(png_get_image_height(png, info), Bytes(png_get_rowbytes(png, info)));
  std::vector<png_bytep> pointers;
  for (Bytes& row : *rows)
    pointers.push_back(row.data());
  png_read_image(png, pointers.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  fclose(file);
  return true;
}

::testing::AssertionResult SameAsLibpng(const ImageBuffer& image, const std::string& path) {
  int colorType = -1;
  std::vector<Bytes> rows;
  if (!LibpngRows(path, &colorType, &rows))
    return ::testing::AssertionFailure() << "libpng refused " << path;
  const int wanted[] = {0, 0, 4, 2, 6};
  const int picks[5][4] = {{}, {0}, {0, 3}, {0, 1, 2}, {0, 1, 2, 3}};
  const int samples = image.channels;
  if (colorType != wanted[samples] || rows.size() != static_cast<size_t>(image.height))
    return ::testing::AssertionFailure() << "colour type " << colorType << ", rows " << rows.size();
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      for (int s = 0; s < samples; ++s) {
        const unsigned char want =
            image.pixels[((image.height - 1 - static_cast<size_t>(y)) * image.width + x) * 4 +
                         picks[samples][s]];
        if (rows[y][static_cast<size_t>(x) * samples + s] != want)
          return ::testing::AssertionFailure() << "row " << y << " pixel " << x << " sample " << s;
      }
  return ::testing::AssertionSuccess();
}

TEST(PngSegments, PicturesAtTheSegmentBoundariesReadBackExactly) {
  QUILLET_REQUIRE_IMAGEMAGICK();
  const bool pngcheck = RunShell("command -v pngcheck >/dev/null 2>&1") == 0;
  TempDir dir;
  // 1000 x 1500 RGB: 698 rows of 3001 bytes per 2 MB segment, the last segment 104 rows;
  // 777 x 1400 RGBA: 674 rows, then 52. An odd number of rows per segment (349 of 6001 bytes)
  // starts every other segment on an odd row, whose row above is packed elsewhere.
  const struct Case {
    int width, height, channels;
  } cases[] = {{1, 1, 3},      {1, 1, 4},      {5000, 1, 3},    {64, 64, 4},
               {64, 48, 1},    {33, 20, 2},    {1000, 1500, 3}, {777, 1400, 4},
               {2000, 800, 3}, {3000, 750, 2}, {6000, 720, 1}};
  for (const Case& c : cases) {
    Image image;
    FillPicture(&image, c.width, c.height, c.channels);
    const std::string path = dir.File("s.png");
    ASSERT_EQ(WritePng(path.c_str(), &image.b), 1);
    const std::string what =
        std::to_string(c.width) + "x" + std::to_string(c.height) + "x" + std::to_string(c.channels);
    EXPECT_TRUE(SameAsLibpng(image.b, path)) << what;
    Decoded d;
    ASSERT_TRUE(MagickDecode(path, &d)) << what;
    EXPECT_TRUE(SamePixels(image.b, d)) << what;
    if (pngcheck) {
      EXPECT_EQ(RunShell("pngcheck -q " + QuotePath(path) + " >/dev/null"), 0) << what;
    }
    Image back;
    ASSERT_EQ(ReadPng(path.c_str(), &back.b), 1) << what;
    EXPECT_TRUE(SameImage(image.b, back.b)) << what;
  }
  if (!pngcheck)
    GTEST_SKIP() << "pngcheck is not installed (scripts/install-packages installs it)";
}

#ifndef _WIN32
// The heap's count (mallinfo2), /dev/full and address-space limits are Linux's.

// What a failed write must leave as it found: threads, open files, heap. The heap's count
// includes blocks the C library keeps at hand for reuse (and a finished thread's cached stack
// keeps its own), so a first write fills those caches and a few kilobytes of difference are
// allowed: any segment, compressor or row table would be hundreds of kilobytes.
struct Footprint {
  int threads = ThreadCount();
  int files = OpenFileCount();
  size_t heap = mallinfo2().uordblks;
  bool Keeps(const Footprint& before) const {
    return threads != before.threads || files != before.files || heap > before.heap + 16384;
  }
};

TEST(ThreadedPngSegments, AFullDiskReleasesEverything) {
  if (!Exists("/dev/full"))
    GTEST_SKIP() << "no /dev/full";
  Image image;
  FillPicture(&image, 1000, 1500, 3); // several segments in flight when writing fails
  TempDir dir;
  ASSERT_EQ(WritePng(dir.File("warm.png").c_str(), &image.b), 1);
  const Footprint before;
  EXPECT_EQ(WritePng("/dev/full", &image.b), 0);
  const Footprint after;
  EXPECT_FALSE(after.Keeps(before)) << after.threads << " threads, " << after.files
                                    << " files, heap " << before.heap << " -> " << after.heap;
}

// Run by FailedAllocationsReleaseEverything in a fresh process (whose heap has no free space
// to serve the writer from): the address space is capped a little above what it uses, so
// that the writer's allocations (compressors, segments, threads' stacks) fail at different
// points. A file named in the environment tells that the write failed. Disabled: not a test
// of its own, so a normal run neither runs nor counts it.
TEST(PngSegments, DISABLED_WriteUnderAnAddressSpaceCap) {
  const char* headroom = std::getenv("QUILLET_CAP_HEADROOM");
  const char* marker = std::getenv("QUILLET_CAP_MARKER");
  ASSERT_NE(headroom, nullptr);
  ASSERT_NE(marker, nullptr);
  TempDir dir;
  Image image;
  FillPicture(&image, 1000, 1500, 3);
  long pages = 0;
  FILE* statm = fopen("/proc/self/statm", "r");
  ASSERT_NE(statm, nullptr);
  ASSERT_EQ(fscanf(statm, "%ld", &pages), 1);
  fclose(statm);
  const rlim_t cap = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + atol(headroom);
  const struct rlimit limit = {cap, cap};
  ASSERT_EQ(setrlimit(RLIMIT_AS, &limit), 0);
  const Footprint before;
  const int result = WritePng(dir.File("a.png").c_str(), &image.b);
  const Footprint after;
  EXPECT_FALSE(after.Keeps(before)) << after.threads << " threads, " << after.files
                                    << " files, heap " << before.heap << " -> " << after.heap;
  if (result == 0)
    WriteFile(marker, Bytes{1});
}

TEST(PngSegments, FailedAllocationsReleaseEverything) {
  TempDir dir;
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  int failures = 0;
  for (long headroom : {1L << 20, 4L << 20, 9L << 20, 16L << 20, 40L << 20}) {
    const std::string marker = dir.File("failed-" + std::to_string(headroom));
    const std::string command = "QUILLET_CAP_HEADROOM=" + std::to_string(headroom) +
                                " QUILLET_CAP_MARKER=" + Quote(marker) + " " + Quote(self) +
                                " --gtest_also_run_disabled_tests" +
                                " --gtest_filter=PngSegments.DISABLED_WriteUnderAnAddressSpaceCap" +
                                " >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << "headroom " << headroom;
    failures += Exists(marker) ? 1 : 0;
  }
  EXPECT_GT(failures, 0) << "no allocation failed";
}

#endif

} // namespace
