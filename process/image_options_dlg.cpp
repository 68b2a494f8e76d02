#include "process/image_options_dlg.h"

#include "app/quality_scroll.h"
#include "res/resource.h"

CImageOptionsDlg::CImageOptionsDlg(CWnd* pParent)
    : CDialog(IDD_IMAGE_OPTIONS, pParent), m_nType(0), m_nQuality(0) {}

void CImageOptionsDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_QUALITY_SCROLL, m_scrollQuality);
  DDX_CBIndex(pDX, IDC_IMAGE_TYPE, m_nType);
  DDX_Text(pDX, IDC_QUALITY, m_nQuality);
}

BEGIN_MESSAGE_MAP(CImageOptionsDlg, CDialog)
ON_WM_HSCROLL()
END_MESSAGE_MAP()

BOOL CImageOptionsDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  ::SetWindowTextA(m_hWnd, m_strTitle.c_str());
  m_scrollQuality.SetScrollRange(1, 100);
  m_scrollQuality.SetScrollPos(m_nQuality);
  UpdateData(FALSE);
  return TRUE;
}

void CImageOptionsDlg::OnHScroll(UINT nSBCode, UINT nPos, HWND) {
  ScrollQuality(*this, m_scrollQuality, m_nQuality, nSBCode, nPos);
  Default();
}
