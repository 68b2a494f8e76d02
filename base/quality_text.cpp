#include "base/quality_text.h"

#include <climits>

int JpegQualityFromText(const char* text) {
  if (text == nullptr)
    return kDefaultJpegQuality;
  const char* p = text;
  while (*p == ' ' || *p == '\t')
    ++p;
  bool negative = false;
  if (*p == '+' || *p == '-')
    negative = *p++ == '-';
  if (*p < '0' || *p > '9')
    return kDefaultJpegQuality;
  long long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p)
    if (value <= INT_MAX)
      value = value * 10 + (*p - '0');
  if (negative || value < 1)
    return kDefaultJpegQuality;
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}
