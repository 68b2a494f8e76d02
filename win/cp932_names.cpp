#include "win/cp932_names.h"

#include "base/misread_names.h"

#include <windows.h>

#include <vector>

std::wstring ToWide(const char* text) {
  const int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  if (n <= 0)
    return std::wstring();
  std::vector<wchar_t> wide(static_cast<size_t>(n));
  ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, wide.data(), n);
  return std::wstring(wide.data());
}

namespace {

// Paths past MAX_PATH are still listed: the long-path form for drive and UNC paths.
std::wstring Listable(const std::wstring& folder) {
  if (folder.size() >= 3 && folder[1] == L':' && folder[2] == L'\\')
    return L"\\\\?\\" + folder;
  if (folder.size() >= 2 && folder[0] == L'\\' && folder[1] == L'\\' &&
      folder.compare(0, 4, L"\\\\?\\") != 0)
    return L"\\\\?\\UNC\\" + folder.substr(2);
  return folder;
}

} // namespace

int ToCp932Exactly(const wchar_t* wide, std::string* out) {
  BOOL usedDefault = FALSE;
  const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0, nullptr,
                                      &usedDefault);
  if (n <= 0 || usedDefault)
    return 0;
  std::vector<char> text(static_cast<size_t>(n));
  usedDefault = FALSE;
  if (::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, text.data(), n, nullptr,
                            &usedDefault) != n ||
      usedDefault)
    return 0;
  if (ToWide(text.data()) != wide)
    return 0;
  out->assign(text.data());
  return 1;
}

int ToUsablePath(const wchar_t* path, std::string* out) {
  return !HasMisreadName(path) && ToCp932Exactly(path, out);
}

int FindUnusableName(const char* folder, std::wstring* firstBad) {
  std::wstring root = ToWide(folder);
  while (!root.empty() && root.back() == L'\\')
    root.pop_back();
  std::vector<std::wstring> pending(1, root);
  while (!pending.empty()) {
    const std::wstring dir = pending.back();
    pending.pop_back();
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW((Listable(dir) + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
      continue;
    std::vector<std::wstring> subfolders;
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..")
        continue;
      std::string ignored;
      if (HasMisreadName(name.c_str()) || !ToCp932Exactly(name.c_str(), &ignored)) {
        *firstBad = dir + L"\\" + name;
        ::FindClose(find);
        return 1;
      }
      // Junctions are not followed: one could lead back up the tree.
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
          !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        subfolders.push_back(dir + L"\\" + name);
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    // Depth first, in listing order.
    pending.insert(pending.end(), subfolders.rbegin(), subfolders.rend());
  }
  return 0;
}
