// Little-endian fields appended to a byte string, for the archive headers we write.
#pragma once

#include <cstdint>
#include <string>

inline void PutByte(std::string* out, unsigned value) { out->push_back(static_cast<char>(value)); }

inline void Put16(std::string* out, unsigned value) {
  PutByte(out, value & 0xFF);
  PutByte(out, (value >> 8) & 0xFF);
}

inline void Put32(std::string* out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

inline void Set16(std::string* out, size_t offset, unsigned value) {
  (*out)[offset] = static_cast<char>(value & 0xFF);
  (*out)[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
}

inline void Set32(std::string* out, size_t offset, uint32_t value) {
  Set16(out, offset, value & 0xFFFF);
  Set16(out, offset + 2, value >> 16);
}
