// The JPEG quality read from the settings file.
#include "base/quality_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TEST(QualityText, UnusableValuesReadAsTheDefault) {
  const struct {
    const char* text;
    int quality; // 0: the default
  } cases[] = {
      {"80", 80},    {"1", 1},    {"100", 100},
      {"150", 150},  {" 75", 75}, {"+42", 42},
      {"12abc", 12}, {"007", 7},  {"", 0},
      {"abc", 0},    {"0", 0},    {"-5", 0},
      {"-0", 0},     {"000", 0},  {"x12", 0},
      {"- 5", 0},    {"+", 0},    {"99999999999999", INT_MAX},
  };
  for (const auto& c : cases)
    EXPECT_EQ(JpegQualityFromText(c.text), c.quality != 0 ? c.quality : kDefaultJpegQuality)
        << "\"" << c.text << "\"";
  EXPECT_EQ(JpegQualityFromText(nullptr), kDefaultJpegQuality);
}

} // namespace
