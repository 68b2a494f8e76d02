#include "base/cp932.h"

int IsCp932LeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

size_t Cp932CharLength(const char* text) {
  return IsCp932LeadByte(static_cast<unsigned char>(text[0])) && text[1] != '\0' ? 2 : 1;
}
