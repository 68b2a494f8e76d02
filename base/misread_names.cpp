#include "base/misread_names.h"

#include "base/cp932.h"

#include <cstddef>

namespace {

unsigned Unit(char c) { return static_cast<unsigned char>(c); }
unsigned Unit(wchar_t c) { return static_cast<unsigned>(c); }

// A trail byte of code page 932 may be 0x5C, never a separator.
size_t CharLength(const char* text) { return Cp932CharLength(text); }
size_t CharLength(const wchar_t*) { return 1; }

unsigned Upper(unsigned c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; }

// In code page 932 the bytes of the superscript digits' code points are half-width katakana.
bool IsDeviceDigit(char c) { return c >= '0' && c <= '9'; }
bool IsDeviceDigit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || c == 0xB9 || c == 0xB2 || c == 0xB3;
}

// stem: the name up to its first dot, the spaces before that dot left out.
template <typename Char> bool IsDevice(const Char* stem, size_t length) {
  static const char* const kThree[] = {"CON", "PRN", "AUX", "NUL"};
  static const char* const kNumbered[] = {"COM", "LPT"};
  if (length != 3 && length != 4)
    return false;
  const char* const* words = length == 3 ? kThree : kNumbered;
  const size_t count = length == 3 ? 4 : 2;
  for (size_t w = 0; w < count; ++w) {
    size_t i = 0;
    while (i < 3 && Upper(Unit(stem[i])) == static_cast<unsigned>(words[w][i]))
      ++i;
    if (i == 3 && (length == 3 || IsDeviceDigit(stem[3])))
      return true;
  }
  return false;
}

// A dot or a space is never a trail byte in code page 932, and a device's name holds no lead
// byte: the bytes of a name can be looked at one by one.
template <typename Char> bool IsMisread(const Char* name, size_t length) {
  if (length == 0 || (name[0] == '.' && (length == 1 || (length == 2 && name[1] == '.'))))
    return false;
  if (name[length - 1] == '.' || name[length - 1] == ' ')
    return true;
  size_t stem = 0;
  while (stem < length && name[stem] != '.')
    ++stem;
  while (stem > 0 && name[stem - 1] == ' ')
    --stem;
  return IsDevice(name, stem);
}

template <typename Char> int FindMisread(const Char* path) {
  const Char* name = path;
  for (const Char* p = path;; p += CharLength(p)) {
    if (*p == '\0' || *p == '\\' || *p == '/') {
      if (IsMisread(name, static_cast<size_t>(p - name)))
        return 1;
      if (*p == '\0')
        return 0;
      name = p + 1;
    }
  }
}

} // namespace

int HasMisreadName(const char* path) { return FindMisread(path); }
int HasMisreadName(const wchar_t* path) { return FindMisread(path); }
