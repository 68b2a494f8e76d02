#include "image/meta/xmp_orientation.h"

#include <cstring>

void MakeXmpUpright(unsigned char* xmp, size_t size) {
  static const char kName[] = "tiff:Orientation";
  const size_t name = sizeof kName - 1;
  if (xmp == nullptr)
    return;
  for (size_t at = 0; size - at >= name + 4 && at < size;) {
    const void* found = memchr(xmp + at, 't', size - at);
    if (found == nullptr)
      break;
    at = static_cast<size_t>(static_cast<const unsigned char*>(found) - xmp);
    if (size - at < name + 4)
      break;
    unsigned char* const p = xmp + at + name;
    if (memcmp(xmp + at, kName, name) == 0) {
      // ="d" or >d<: one digit between the two.
      const bool attribute = p[0] == '=' && (p[1] == '"' || p[1] == '\'') && p[3] == p[1];
      const bool element = p[0] == '>' && p[2] == '<';
      if (attribute && p[2] >= '1' && p[2] <= '8')
        p[2] = '1';
      else if (element && p[1] >= '1' && p[1] <= '8')
        p[1] = '1';
    }
    ++at;
  }
}
