// Per-item questions: a choice confirmed with OK becomes the main window's setting.
#include "app/settings_dlg.h"

#include "base/path_pieces.h"
#include "process/archive_type_dlg.h"
#include "process/image_options_dlg.h"

#include <string>

namespace {

// "name.ext - Quillet"; a folder's whole name stands where a file's name and extension do.
std::string ItemTitle(const char* path) {
  PathPieces pieces;
  if (!SplitPath(path, &pieces))
    return "Quillet";
  return std::string(pieces.name) + pieces.ext + " - Quillet";
}

} // namespace

int CSettingsDlg::AskArchiveType(const char* path) {
  UpdateData(TRUE);
  CArchiveTypeDlg dlg(this);
  dlg.m_strTitle = ItemTitle(path);
  dlg.m_nType = m_nArchiveType;
  if (dlg.DoModal() != IDOK)
    return 1;
  m_nArchiveType = dlg.m_nType;
  UpdateData(FALSE);
  return 0;
}

int CSettingsDlg::AskImageOptions(const char* path) {
  UpdateData(TRUE);
  CImageOptionsDlg dlg(this);
  dlg.m_strTitle = ItemTitle(path);
  dlg.m_nType = m_nImageType;
  dlg.m_nQuality = m_nJpegQuality;
  if (dlg.DoModal() != IDOK)
    return 1;
  m_nImageType = dlg.m_nType;
  m_scrollQuality.SetScrollPos(dlg.m_nQuality);
  m_nJpegQuality = dlg.m_nQuality;
  UpdateData(FALSE);
  return 0;
}
