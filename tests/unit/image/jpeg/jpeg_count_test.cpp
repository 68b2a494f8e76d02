// A JPEG target's symbols counted in a reader's spare time, as its rows become final: the
// file is the one the writer makes counting alone, whatever was counted ahead.
#include "image/jpeg/jpeg_bands.h"
#include "image/jpeg/jpeg_codec.h"
#include "image/jpeg/jpeg_count_ahead.h"
#include "image/work/scheduler.h"
#include "tests/unit/image/image_test_support.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace imgtest;

struct AheadCase {
  int width, height, channels;
  int quality;
  size_t step;      // rows made final at a time
  size_t finalRows; // when reading ends
};

// Sections wholly within the first rows of the picture.
size_t SectionsWithin(const ImageBuffer& image, int quality, size_t rows) {
  JpegPlan plan;
  const JpegSettings settings = {&image, quality, nullptr};
  EXPECT_TRUE(PlanJpeg(settings, &plan));
  size_t n = 0;
  while (n < plan.sections) {
    const JpegStripe part = JpegSection(plan, n);
    const size_t end = part.first + static_cast<size_t>(JpegStripeView(&image, part).height);
    if (end > rows)
      break;
    ++n;
  }
  return n;
}

// Two reader threads would ask at once: both do spare work until there is none.
void SpareWorkOnTwoThreads(Scheduler* work) {
  auto drain = [work] {
    while (DoSpareWork(work) != 0) {
    }
  };
  std::thread other(drain);
  drain();
  other.join();
}

TEST(ThreadedJpegCount, CountingAheadGivesTheWritersOwnFile) {
  const AheadCase cases[] = {
      {1500, 1200, 3, 80, 37, 1200},  // colour, every row before reading ends
      {1500, 1200, 4, 80, 100, 700},  // alpha, reading ends part way: the writer counts the rest
      {640, 480, 1, 50, 16, 480},     // gray
      {333, 1001, 3, 95, 1001, 1001}, // all rows at once
  };
  for (const AheadCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.channels << " q"
                                    << c.quality << " final " << c.finalRows);
    TempDir dir;
    Image image;
    FillPicture(&image, c.width, c.height, c.channels, 5);

    CallScheduler call;
    JpegCountAhead* const ahead = CountJpegAhead(call.work, &image.b, c.quality);
    ASSERT_NE(ahead, nullptr);
    EXPECT_EQ(DoSpareWork(call.work), 0); // no picture yet
    const size_t height = static_cast<size_t>(c.height);
    PublishRows(call.work, 0, height);
    for (size_t rows = 0; rows < c.finalRows;) {
      rows = rows + c.step < c.finalRows ? rows + c.step : c.finalRows;
      PublishRows(call.work, rows, height);
      SpareWorkOnTwoThreads(call.work);
    }
    EndRows(call.work, true);
    EXPECT_EQ(DoSpareWork(call.work), 0); // reading ended
    const JpegCountsAhead counts = JpegCountedSoFar(ahead);
    EXPECT_EQ(counts.sections, SectionsWithin(image.b, c.quality, c.finalRows));

    const std::string counted = dir.File("counted.jpg"), alone = dir.File("alone.jpg");
    ASSERT_EQ(EncodeJpeg(counted.c_str(), &image.b, c.quality, nullptr, &counts, call.work),
              kImageOk);
    ASSERT_EQ(WriteJpeg(alone.c_str(), &image.b, c.quality), 1);
    EXPECT_EQ(ReadFile(counted), ReadFile(alone));
    FreeJpegCountAhead(ahead);
  }
}

} // namespace
