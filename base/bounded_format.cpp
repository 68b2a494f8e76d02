#include "base/bounded_format.h"

#include <cstdarg>
#include <cstdio>

int FormatBounded(char* out, size_t outSize, const char* format, ...) {
  if (outSize == 0)
    return 0;
  va_list args;
  va_start(args, format);
  int length = vsnprintf(out, outSize, format, args);
  va_end(args);
  // Older runtimes answer -1, or leave the text unterminated, when it fills the buffer.
  if (length < 0 || static_cast<size_t>(length) >= outSize) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}
