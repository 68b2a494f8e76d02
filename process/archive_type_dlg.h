// The per-item question for the archive format.
#pragma once

#include "framework/afxwin.h"

#include <string>

class CArchiveTypeDlg : public CDialog {
 public:
  explicit CArchiveTypeDlg(CWnd* pParent = nullptr);
  int m_nType; // ArchiveType, bound to the list by row
  std::string m_strTitle;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
};
