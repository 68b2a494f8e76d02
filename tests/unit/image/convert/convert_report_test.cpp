// A conversion that tells its caller how far it has come: the same results and files as one
// that does not, and every report on the calling thread, in order.
#include "image/convert/convert_image.h"

#include "image/png/png_codec.h"
#include "tests/unit/image/image_test_support.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace imgtest;

namespace {

struct Heard {
  std::thread::id thread;
  std::vector<int> shares;
  bool elsewhere = false;
};

void Step(void* context, int permille) {
  Heard* heard = static_cast<Heard*>(context);
  if (std::this_thread::get_id() != heard->thread)
    heard->elsewhere = true;
  heard->shares.push_back(permille);
}

int ConvertHeard(const std::string& source, const std::string& target, int from, int to,
                 Heard* heard) {
  heard->thread = std::this_thread::get_id();
  ConvertReport report = {Step, heard};
  return ConvertImage(source.c_str(), target.c_str(), from, to, 80, &report);
}

TEST(ThreadedConvertReport, SameResultsAndFilesWithEveryReportOnTheCallingThread) {
  TempDir dir;
  const std::string png = dir.File("big.png");
  {
    Image picture;
    FillPicture(&picture, 3200, 2000, 3);
    ASSERT_EQ(WritePng(png.c_str(), &picture.b), 1);
  }
  struct Case {
    int from;
    const char* source;
    int to;
    const char* name;
  } cases[] = {
      {kImagePng, "big.png", kImageJpeg, "out.jpg"},
      {kImagePng, "big.png", kImageBmp, "out.bmp"},
      {kImageJpeg, "out.jpg", kImagePng, "out.png"},
      {kImagePng, "missing.png", kImageJpeg, "never.jpg"},
      {kImagePng, "big.png", kImageJpeg, "no-such-folder/x.jpg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.source) + " -> " + c.name);
    const std::string source = dir.File(c.source);
    const std::string plain = dir.File(std::string("plain-") + c.name);
    const int expected = ConvertImage(source.c_str(), plain.c_str(), c.from, c.to, 80);
    Heard heard;
    const std::string target = dir.File(c.name);
    ASSERT_EQ(ConvertHeard(source, target, c.from, c.to, &heard), expected);
    EXPECT_FALSE(heard.elsewhere);
    for (size_t i = 0; i < heard.shares.size(); ++i) {
      EXPECT_GE(heard.shares[i], 0);
      EXPECT_LE(heard.shares[i], 1000);
      if (i > 0) {
        EXPECT_GE(heard.shares[i], heard.shares[i - 1]);
      }
    }
    if (expected != 0) {
      EXPECT_FALSE(Exists(target));
      continue;
    }
    // Compressing 3200 x 2000 pixels takes far longer than one report interval.
    if (c.to == kImagePng) {
      EXPECT_GE(heard.shares.size(), 2u);
    } else { // a PNG holds the time it was written
      EXPECT_TRUE(ReadFile(target) == ReadFile(plain));
    }
  }
}

} // namespace
