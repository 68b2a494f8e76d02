#include "base/ansi_text.h"

#include <iconv.h>

#include <cstring>

bool AnsiCodePoints(const char* text, std::vector<uint32_t>* out) {
  const size_t length = strlen(text);
  if (length == 0)
    return true;
  iconv_t cd = iconv_open("UTF-32LE", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1))
    return false;
  std::vector<char> in(text, text + length);
  std::vector<char> wide(length * 4);
  char* src = in.data();
  char* dst = wide.data();
  size_t inLeft = length, outLeft = wide.size();
  const size_t done = iconv(cd, &src, &inLeft, &dst, &outLeft);
  iconv_close(cd);
  if (done == static_cast<size_t>(-1))
    return false;
  for (size_t i = 0; i + 4 <= wide.size() - outLeft; i += 4)
    out->push_back(static_cast<unsigned char>(wide[i]) |
                   (static_cast<uint32_t>(static_cast<unsigned char>(wide[i + 1])) << 8) |
                   (static_cast<uint32_t>(static_cast<unsigned char>(wide[i + 2])) << 16));
  return true;
}
