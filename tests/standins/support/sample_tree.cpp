#include "sample_tree.h"

#include "scratch.h"

#include <windows.h>

#include <map>

namespace {

std::string PseudoRandomBytes(size_t size) {
  std::string bytes(size, '\0');
  unsigned state = 12345;
  for (char& byte : bytes) {
    state = state * 1103515245 + 12345;
    byte = static_cast<char>(state >> 16);
  }
  return bytes;
}

// Relative name -> content; folders map to a marker that no file content equals here.
const char kFolderMark[] = "<folder>";

void List(const std::string& root, const std::string& prefix,
          std::map<std::string, std::string>* entries) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((root + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..")
      continue;
    std::string relative = prefix + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      (*entries)[relative] = kFolderMark;
      List(root + "\\" + name, relative + "\\", entries);
    } else {
      std::string bytes;
      ReadFileBytes(root + "\\" + name, &bytes);
      (*entries)[relative] = bytes;
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

void DropEmptyFolders(std::map<std::string, std::string>* entries) {
  for (auto it = entries->begin(); it != entries->end();) {
    bool holdsFile = false;
    if (it->second == kFolderMark) {
      std::string inside = it->first + "\\";
      for (const auto& entry : *entries)
        if (entry.first.compare(0, inside.size(), inside) == 0 && entry.second != kFolderMark)
          holdsFile = true;
    }
    it = (it->second == kFolderMark && !holdsFile) ? entries->erase(it) : std::next(it);
  }
}

} // namespace

bool MakeSampleTree(const std::string& path) {
  return MakeFolder(path) && WriteFileBytes(path + "\\readme.txt", "hello\r\nworld\r\n") &&
         WriteFileBytes(path + "\\empty.dat", "") &&
         WriteFileBytes(path + "\\big.bin", PseudoRandomBytes(100000)) &&
         MakeFolder(path + "\\sub") && MakeFolder(path + "\\sub\\deeper") &&
         WriteFileBytes(path + "\\sub\\deeper\\note.txt", "deep") &&
         WriteFileBytes(path + "\\表ソ.txt", "表とソ") && MakeFolder(path + "\\フォルダ") &&
         WriteFileBytes(path + "\\フォルダ\\画像.bin", PseudoRandomBytes(777)) &&
         MakeFolder(path + "\\emptydir");
}

std::string CompareTrees(const std::string& expected, const std::string& actual,
                         bool ignoreEmptyFolders) {
  std::map<std::string, std::string> want, got;
  List(expected, "", &want);
  List(actual, "", &got);
  if (ignoreEmptyFolders) {
    DropEmptyFolders(&want);
    DropEmptyFolders(&got);
  }
  std::string differences;
  for (const auto& entry : want) {
    auto match = got.find(entry.first);
    if (match == got.end())
      differences += "missing: " + entry.first + "\n";
    else if (match->second != entry.second)
      differences += "differs: " + entry.first + "\n";
  }
  for (const auto& entry : got)
    if (!want.count(entry.first))
      differences += "extra: " + entry.first + "\n";
  return differences;
}
