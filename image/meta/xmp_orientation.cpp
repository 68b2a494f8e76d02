#include "image/meta/xmp_orientation.h"

#include <cstring>

namespace {

const char kName[] = "tiff:Orientation";
const size_t kNameSize = sizeof kName - 1;

// Where the digit of the next tiff:Orientation from at on lies (written ="d" or >d<), or size
// when there is none; at moves past the name.
size_t NextOrientation(const unsigned char* xmp, size_t size, size_t* at) {
  while (*at < size && size - *at >= kNameSize + 4) {
    const void* found = memchr(xmp + *at, 't', size - *at);
    if (found == nullptr)
      break;
    const size_t name = static_cast<size_t>(static_cast<const unsigned char*>(found) - xmp);
    *at = name + 1;
    if (size - name < kNameSize + 4 || memcmp(xmp + name, kName, kNameSize) != 0)
      continue;
    const unsigned char* const p = xmp + name + kNameSize;
    const bool attribute = p[0] == '=' && (p[1] == '"' || p[1] == '\'') && p[3] == p[1];
    const bool element = p[0] == '>' && p[2] == '<';
    const size_t digit = name + kNameSize + (attribute ? 2 : 1);
    if ((attribute || element) && xmp[digit] >= '1' && xmp[digit] <= '8')
      return digit;
  }
  return size;
}

} // namespace

int XmpOrientation(const unsigned char* xmp, size_t size) {
  size_t at = 0;
  const size_t digit = xmp != nullptr ? NextOrientation(xmp, size, &at) : size;
  return digit < size ? xmp[digit] - '0' : 0;
}

void MakeXmpUpright(unsigned char* xmp, size_t size) {
  size_t at = 0;
  for (size_t digit; xmp != nullptr && (digit = NextOrientation(xmp, size, &at)) < size;)
    xmp[digit] = '1';
}
