#include "cp932_text.h"

#include "base/cp932.h"

#include <windows.h>

namespace {

const unsigned kCodePage = 932;

// Byte offsets where each character of text starts, then text's length.
std::vector<size_t> CharStarts(const std::string& text) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < text.size();) {
    starts.push_back(i);
    i += Cp932CharLength(text.c_str() + i);
  }
  starts.push_back(text.size());
  return starts;
}

bool IsBackslashAt(const std::string& text, const std::vector<size_t>& starts, size_t n) {
  return starts[n + 1] - starts[n] == 1 && text[starts[n]] == '\\';
}

} // namespace

bool EndsWithBackslashChar(const std::string& text) {
  std::vector<size_t> starts = CharStarts(text);
  return starts.size() > 1 && IsBackslashAt(text, starts, starts.size() - 2);
}

bool HasBackslashChar(const std::string& text) {
  std::vector<size_t> starts = CharStarts(text);
  for (size_t n = 0; n + 1 < starts.size(); ++n)
    if (IsBackslashAt(text, starts, n))
      return true;
  return false;
}

bool EndsWithChars(const std::string& text, const std::string& suffix) {
  if (suffix.size() > text.size() ||
      text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0)
    return false;
  for (size_t start : CharStarts(text))
    if (start == text.size() - suffix.size())
      return true;
  return false;
}

std::string LastComponent(const std::string& path) {
  std::vector<std::string> pieces = SplitAtBackslashes(path);
  return pieces.back();
}

std::string WithoutExtension(const std::string& name) {
  std::vector<size_t> starts = CharStarts(name);
  for (size_t n = starts.size() - 1; n-- > 0;)
    if (starts[n + 1] - starts[n] == 1 && name[starts[n]] == '.')
      return name.substr(0, starts[n]);
  return name;
}

std::vector<std::string> SplitAtBackslashes(const std::string& path) {
  std::vector<std::string> pieces(1);
  std::vector<size_t> starts = CharStarts(path);
  for (size_t n = 0; n + 1 < starts.size(); ++n) {
    if (IsBackslashAt(path, starts, n))
      pieces.emplace_back();
    else
      pieces.back().append(path, starts[n], starts[n + 1] - starts[n]);
  }
  return pieces;
}

bool Cp932ToWide(const std::string& text, std::wstring* wide) {
  wide->clear();
  if (text.empty())
    return true;
  int size = static_cast<int>(text.size());
  int length = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (length <= 0)
    return false;
  wide->resize(length);
  return MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text.data(), size, &(*wide)[0],
                             length) == length;
}

bool WideToCp932(const std::wstring& wide, std::string* text) {
  text->clear();
  if (wide.empty())
    return true;
  int size = static_cast<int>(wide.size());
  BOOL lossy = FALSE;
  int length = WideCharToMultiByte(kCodePage, 0, wide.data(), size, nullptr, 0, nullptr, &lossy);
  if (length <= 0 || lossy)
    return false;
  text->resize(length);
  return WideCharToMultiByte(kCodePage, 0, wide.data(), size, &(*text)[0], length, nullptr,
                             nullptr) == length;
}
