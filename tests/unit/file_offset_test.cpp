// Seeking and telling beyond 4 GB, in a sparse file (no disk space is taken).
#include "base/file_offset.h"

#include "tests/unit/image/image_test_support.h"

#include <gtest/gtest.h>

using namespace imgtest;

TEST(FileOffset, SeeksAndTellsBeyondFourGigabytes) {
  TempDir dir;
  const std::string path = dir.File("sparse.bin");
  FILE* file = fopen(path.c_str(), "w+b");
  ASSERT_NE(file, nullptr);
  const int64_t far = (int64_t(5) << 30) + 123;
  const struct {
    int64_t offset;
    int origin;
    int64_t expected; // position after the seek, -1 when the seek must fail
  } cases[] = {
      {far, SEEK_SET, far}, {0, SEEK_SET, 0},         {far - 1, SEEK_CUR, far - 1},
      {1, SEEK_CUR, far},   {-far - 1, SEEK_CUR, -1}, {-1, SEEK_SET, -1},
  };
  for (const auto& c : cases) {
    const int ok = SeekFile(file, c.offset, c.origin);
    if (c.expected < 0) {
      EXPECT_EQ(ok, 0) << c.offset;
      continue;
    }
    EXPECT_EQ(ok, 1) << c.offset;
    EXPECT_EQ(TellFile(file), c.expected) << c.offset;
  }
  // A byte written that far is read back from there, and the file's end is past it.
  ASSERT_EQ(SeekFile(file, far, SEEK_SET), 1);
  ASSERT_EQ(fputc(0x5A, file), 0x5A);
  EXPECT_EQ(TellFile(file), far + 1);
  ASSERT_EQ(SeekFile(file, 0, SEEK_END), 1);
  EXPECT_EQ(TellFile(file), far + 1);
  ASSERT_EQ(SeekFile(file, -1, SEEK_END), 1);
  EXPECT_EQ(fgetc(file), 0x5A);
  fclose(file);
}
