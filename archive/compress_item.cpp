// One file or folder into an archive of the chosen format.
#include "app/settings_dlg.h"

#include "app/too_long.h"
#include "archive/archive_commands.h"
#include "archive/archive_formats.h"
#include "archive/archive_names.h"
#include "archive/compress.h"
#include "archive/temp_archive.h"

#include <string>

int CSettingsDlg::CompressItem(const char* path, const char* outputDir, int archiveType,
                               int outputType, int addExt, int isFolder) {
  UpdateData(TRUE);
  if (m_bArchiveSelect == 1) {
    if (AskArchiveType(path) == 1)
      return 1;
    UpdateData(TRUE);
    archiveType = m_nArchiveType;
  }
  const ArchiveFormat* format = FindArchiveFormat(archiveType);
  if (format == nullptr)
    return 0; // an unknown format from the settings file makes nothing

  char archive[2500];
  if (!MakeArchivePath(path, format->extension, addExt, outputDir, outputType, archive,
                       sizeof archive)) {
    ShowTooLong(m_hWnd, path);
    return 1;
  }
  switch (archiveType) {
  case 0:
    return CompressLha(m_hWnd, path, archive, isFolder);
  case 2:
  case 3:
    return CompressSevenZip(m_hWnd, path, archive, format->typeName, isFolder);
  case 4:
    return CompressCab(m_hWnd, path, archive, isFolder);
  default:
    break;
  }
  TempArchive temp;
  int prepared = PrepareTempArchive(archive, &temp);
  if (prepared == 0) {
    ShowTooLong(m_hWnd, path);
    return 1;
  }
  if (prepared < 0) {
    std::string text = std::string(temp.path) + " を作成することが出来ませんでした";
    ::MessageBoxA(m_hWnd, text.c_str(), "Quillet", MB_OK | MB_ICONEXCLAMATION);
    return 1;
  }
  int result = archiveType == 1 ? CompressLhaSfx(m_hWnd, path, archive, isFolder, temp.path)
                                : CompressCabSfx(m_hWnd, path, archive, isFolder, temp.path);
  ReleaseTempArchive(&temp);
  return result;
}
