#include "folder_maker.h"

#include "cp932_text.h"

#include <windows.h>

namespace {

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

bool MakeFolders(const std::string& path) {
  std::vector<std::string> levels = SplitAtBackslashes(path);
  std::string sofar;
  for (size_t i = 0; i < levels.size(); ++i) {
    if (i > 0)
      sofar += '\\';
    sofar += levels[i];
    // The drive ("C:"), a UNC prefix's empty levels and a trailing separator make nothing.
    if (levels[i].empty() || (i == 0 && levels[i].back() == ':'))
      continue;
    if (!IsFolder(sofar) && !CreateDirectoryA(sofar.c_str(), nullptr) && !IsFolder(sofar))
      return false;
  }
  return IsFolder(sofar);
}
