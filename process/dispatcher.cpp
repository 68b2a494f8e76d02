// Every item, from the command line or a drop, is turned into work here.
#include "app/settings_dlg.h"

#include "archive/extract.h"
#include "base/limits.h"
#include "base/misread_names.h"
#include "base/path_pieces.h"
#include "win/cp932_names.h"
#include "win/messages.h"
#include "win/program_folder.h"

#include <shellapi.h>

#include <cstring>
#include <string>

namespace {

enum Job { kExtractLha, kExtractSevenZip, kExtractCab, kConvertImage };

struct ExtensionRoute {
  const char* ext;
  Job job;
  int sourceType; // ImageType for conversions
};

// Looked up in this order; the first match decides.
const ExtensionRoute kRoutes[] = {
    {".lzh", kExtractLha, 0},   {".7z", kExtractSevenZip, 0}, {".zip", kExtractSevenZip, 0},
    {".cab", kExtractCab, 0},   {".bmp", kConvertImage, 0},   {".png", kConvertImage, 1},
    {".jpg", kConvertImage, 2}, {".jpeg", kConvertImage, 2},
};

// The folder tests leave the output folder or the dropped folder as the current directory,
// where the search for the archiver libraries would look too: a library planted in a
// dropped folder must never be the one that runs, so the program's own folder returns.
void ReturnToProgramFolder() {
  char folder[MAX_PATH];
  if (GetProgramFolder(folder, sizeof folder))
    ::SetCurrentDirectoryA(folder);
}

} // namespace

int CSettingsDlg::ProcessItem(const char* path) {
  UpdateData(TRUE);
  // Windows would open a device, or t.bmp for t.bmp.: another file than the one named.
  if (HasMisreadName(path)) {
    ShowUnusableName(m_hWnd, path);
    return 1;
  }

  char outputDir[kPathBufferSize];
  if (m_strOutputDir.size() >= sizeof outputDir) {
    ShowTooLong(m_hWnd, m_strOutputDir.c_str());
    return 1;
  }
  std::strcpy(outputDir, m_strOutputDir.c_str());

  if (m_nOutputType == 1 && !::SetCurrentDirectoryA(outputDir)) {
    ShowStop(m_hWnd, "出力ﾌｫﾙﾀﾞがありません。");
    return 1;
  }

  bool isFolder = ::SetCurrentDirectoryA(path) != 0;
  ReturnToProgramFolder();

  PathPieces pieces;
  if (!SplitPath(path, &pieces)) {
    ShowTooLong(m_hWnd, path);
    return 1;
  }
  if (isFolder) {
    // A drive root has no name to give its archive, and is seldom meant whole.
    if (pieces.name[0] == '\0' && pieces.ext[0] == '\0') {
      ShowStop(m_hWnd, (std::string(path) + " はドライブ全体のため圧縮できません。").c_str());
      return 1;
    }
    // The archivers see the folder's contents through ANSI names: one that code page 932
    // cannot hold, or one Windows misreads, would be left out or stand for another file.
    std::wstring unusable;
    if (FindUnusableName(path, &unusable)) {
      ShowUnusableName(m_hWnd, unusable.c_str());
      return 1;
    }
    return CompressItem(path, outputDir, m_nArchiveType, m_nOutputType, m_bAddExt, 1);
  }
  const ExtensionRoute* route = nullptr;
  for (const ExtensionRoute& r : kRoutes) {
    if (::lstrcmpiA(pieces.ext, r.ext) == 0) {
      route = &r;
      break;
    }
  }
  if (route == nullptr)
    return CompressItem(path, outputDir, m_nArchiveType, m_nOutputType, m_bAddExt, 0);

  if (route->job == kConvertImage)
    return ConvertImageItem(path, outputDir, m_nOutputType, route->sourceType, m_nImageType,
                            m_nJpegQuality);

  char destDir[kPathBufferSize];
  const int made =
      MakeExtractDir(path, outputDir, m_nOutputType, m_bMakeDir, destDir, sizeof destDir);
  if (made != 1) {
    if (made == 0)
      ShowTooLong(m_hWnd, path);
    else
      ShowUnusableName(m_hWnd, destDir);
    return 1;
  }
  int result = 0;
  switch (route->job) {
  case kExtractLha:
    result = ExtractLha(m_hWnd, path, destDir);
    break;
  case kExtractSevenZip:
    result = ExtractSevenZip(m_hWnd, path, destDir);
    break;
  default:
    result = ExtractCab(m_hWnd, path, destDir);
    break;
  }
  if (result == 0 && m_bOpenDir == 1)
    return OpenFolder(destDir);
  return result;
}

int CSettingsDlg::OpenFolder(const char* folder) {
  HINSTANCE r = ::ShellExecuteA(m_hWnd, "open", folder, nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(r) > 32)
    return 0;
  ShowStop(m_hWnd, "ﾌｫﾙﾀﾞを開くことが出来ません。");
  return 1;
}
