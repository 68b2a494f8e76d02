// One file or folder into an archive of the chosen format.
#include "app/settings_dlg.h"

#include "archive/archive_formats.h"
#include "archive/compress.h"
#include "base/path_pieces.h"
#include "win/messages.h"

int CSettingsDlg::CompressItem(const char* path, const char* outputDir, int archiveType,
                               int outputType, int addExt, int isFolder) {
  // Most commands name the item bare, and the libraries read a leading - as a switch and a
  // leading @ as a list of names (-sdel: delete what was compressed). Quotes do not help.
  PathPieces pieces;
  if (SplitPath(path, &pieces) && (pieces.name[0] == '-' || pieces.name[0] == '@')) {
    ShowSwitchLikeName(m_hWnd, path);
    return 1;
  }
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
  return CompressToArchive(m_hWnd, path, isFolder, *format, addExt, outputDir, outputType);
}
