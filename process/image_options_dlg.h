// The per-item question for the image format and JPEG quality.
#pragma once

#include "framework/afxwin.h"

#include <string>

class CImageOptionsDlg : public CDialog {
 public:
  typedef CImageOptionsDlg ThisClass;
  explicit CImageOptionsDlg(CWnd* pParent = nullptr);
  int m_nType;    // ImageType, bound to the list by row
  int m_nQuality; // JPEG quality, shown in the read-only edit
  std::string m_strTitle;

 protected:
  CScrollBar m_scrollQuality;
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnHScroll(UINT nSBCode, UINT nPos, HWND pScrollBar);
  DECLARE_MESSAGE_MAP()
};
