#include "base/ansi_text.h"

#include <windows.h>

#include <cstring>

bool AnsiCodePoints(const char* text, std::vector<uint32_t>* out) {
  const size_t length = strlen(text);
  if (length == 0)
    return true;
  const int n = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
  if (n <= 0)
    return false;
  std::vector<wchar_t> wide(static_cast<size_t>(n));
  MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), wide.data(), n);
  for (size_t i = 0; i < wide.size(); ++i) {
    uint32_t c = static_cast<uint16_t>(wide[i]);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size()) {
      const uint32_t low = static_cast<uint16_t>(wide[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF)
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00), ++i;
    }
    out->push_back(c);
  }
  return true;
}
